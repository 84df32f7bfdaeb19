// The real program against a scripted loopback peer: what goes on the wire, the loss of a
// silent device and the reconnection, and what a termination signal saves.
#include <gtest/gtest.h>

#include "devices/net_test_support.h"
#include "e2e_support.h"
#include "platform/ini_file.h"

namespace {

using namespace std::string_literals;

size_t Occurrences(const std::string& Text, const std::string& Part) {
  size_t N = 0;
  for (size_t At = Text.find(Part); At != std::string::npos; At = Text.find(Part, At + 1)) ++N;
  return N;
}

// Reads until the peer closes the connection or the deadline passes.
std::string ReadToClose(int Fd, bool& Closed, int TimeoutMs) {
  std::string Got;
  Closed = false;
  ReadUntil(Fd, Got, std::string(1, '\x7F') + "never", &Closed, TimeoutMs);
  return Got;
}

}  // namespace

TEST(LinkEndToEnd, LinkTestsLossReconnectionAndSaveOnTermination) {
  TempDir Dir;
  TLoopbackListener Device;
  const std::string Comm = "[Comm]\nPort=0\nMode=0\nipAddress=127.0.0.1\nipPort=" + std::to_string(Device.Port) + "\n";
  WriteFile(Dir.File("q.ini"), Comm + "\n[Antennas]\nName2=Beverage\n");
  TQuill Quill(Dir.File("q.ini"));

  const int First = Device.Accept(60000);
  ASSERT_GE(First, 0);
  std::string Got;
  // The link test as it goes over the LAN: CR NUL after the packet.
  ASSERT_TRUE(ReadUntil(First, Got, "[C10503]\r\0"s, nullptr, 30000)) << Got;
  SendAll(First, "[LINKOK]\r\n");

  // Silent from now on: five more tests come about 2 s apart, then the sixth due test declares
  // the loss, and the program closes the connection and opens a new one.
  bool Closed = false;
  const std::string Silent = ReadToClose(First, Closed, 60000);
  EXPECT_TRUE(Closed);
  EXPECT_EQ(Occurrences(Got + Silent, "[C10503]\r\0"s), 6u) << Got + Silent;
  close(First);
  const int Second = Device.Accept(30000);
  ASSERT_GE(Second, 0);
  Got.clear();
  EXPECT_TRUE(ReadUntil(Second, Got, "[C10503]\r\0"s, nullptr, 30000));

  EXPECT_TRUE(Quill.Stop(SIGTERM));
  close(Second);
  const std::string Saved = ReadFile(Dir.File("q.ini"));
  // [Comm] is left exactly as it was; the main window's sections are written.
  EXPECT_EQ(Saved.rfind(Comm, 0), 0u) << Saved;
  TIniFile Ini(Dir.File("q.ini"));
  EXPECT_EQ(Ini.ReadString("Antennas", "Name2", ""), "Beverage");
  EXPECT_EQ(Ini.ReadString("Antennas", "Name1", ""), "Antenna 1");
  EXPECT_EQ(Ini.ReadInteger("Radio", "Number", -5), 0);
  EXPECT_TRUE(Ini.ValueExists("Form", "Top"));
  EXPECT_TRUE(Ini.ValueExists("Form", "Left"));
}

TEST(LinkEndToEnd, GarbageAndResetsDoNotStopTheProgram) {
  TempDir Dir;
  TLoopbackListener Device;
  WriteFile(Dir.File("q.ini"), "[Comm]\nMode=0\nipAddress=127.0.0.1\nipPort=" + std::to_string(Device.Port) + "\n");
  TQuill Quill(Dir.File("q.ini"));
  const int Fd = Device.Accept(60000);
  ASSERT_GE(Fd, 0);
  std::string Junk;
  for (int I = 0; I < 20000; ++I) Junk += char(I * 7919 % 256);
  SendAll(Fd, Junk + "\r[05C1C5]\r[05C1C5FFFFFFFF]\r");
  ResetClose(Fd);
  // Still alive and still closing cleanly.
  EXPECT_TRUE(Quill.Stop(SIGTERM));
}
