#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QProcess>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>

#include "e2e_support.h"

namespace {

using namespace std::string_literals;

}  // namespace

TEST(QuillSim, AnswersLinkTestsAndCommandsOverTelnet) {
  TSim Sim({"--port", "0"});
  const int Port = ListenPort(Sim);
  ASSERT_GT(Port, 0);
  const int Fd = Connect(Port);
  ASSERT_GE(Fd, 0);
  std::string Got;
  // The first status packets come at once: radio 1 on 40 m in Auto with antenna 3.
  EXPECT_TRUE(ReadUntil(Fd, Got, "[05C1C501050103]\r"));

  // Option requests are refused; CR NUL and a stray LF are what the controller sends.
  Send(Fd, "\xFF\xFD\x01\xFF\xFB\x03[C10503]\r\0\n"s);
  EXPECT_TRUE(ReadUntil(Fd, Got, "[LINKOK]\r"));
  EXPECT_NE(Got.find("\xFF\xFC\x01\xFF\xFE\x03"), std::string::npos);

  Got.clear();
  Send(Fd, "[C105350104]\r\0"s);
  EXPECT_TRUE(ReadUntil(Fd, Got, "[05C1C501050004]\r")) << Got;  // manual now, antenna 4
  Got.clear();
  Send(Fd, "[C2055301]\r\0"s);
  EXPECT_TRUE(ReadUntil(Fd, Got, "[05C2C5020701")) << Got;  // radio 2 in Auto
  // A command for another address or in lower case does nothing.
  Got.clear();
  Send(Fd, "[C305350101]\r\0[c105350101]\r\0[C10503]\r\0"s);
  EXPECT_TRUE(ReadUntil(Fd, Got, "[LINKOK]\r"));
  EXPECT_EQ(Got.find("[05C1C3]"), std::string::npos) << Got;
  close(Fd);
}

TEST(QuillSim, FallsSilentDropsAndTakesTheNextClient) {
  TSim Sim({"--port", "0", "--verbose"});
  const int Port = ListenPort(Sim);
  ASSERT_GT(Port, 0);
  int Fd = Connect(Port);
  ASSERT_GE(Fd, 0);
  std::string Got;
  ASSERT_TRUE(ReadUntil(Fd, Got, "[05C2C5"));

  ASSERT_TRUE(Sim.Control("silent on"));
  Drain(Fd);  // whatever was sent before the acknowledgement has arrived by now
  Send(Fd, "[C10503]\r\0"s);
  // Once the simulator has read the test, ending the silence shows what it sent meanwhile.
  ASSERT_TRUE(WaitFor([&] {
    Sim.Collect();
    return Sim.Err.find("< [C10503]") != std::string::npos;
  }, 20000));
  ASSERT_TRUE(Sim.Control("silent off"));
  Got.clear();
  ASSERT_TRUE(ReadUntil(Fd, Got, "[05C2C5"));
  EXPECT_EQ(Got.find("[LINKOK]"), std::string::npos) << Got;

  ASSERT_TRUE(Sim.Control("garbage"));
  Got.clear();
  EXPECT_TRUE(ReadUntil(Fd, Got, "GARBAGE\r"));

  // A stream without carriage returns comes whole; what fell due meanwhile follows it.
  const size_t Stream = 100000;
  ASSERT_TRUE(Sim.Control("nocr " + std::to_string(Stream)));
  Got.clear();
  // Sent in runs of 4096 bytes, each counting A to Z from A.
  const char Last = char('A' + (Stream % 4096 - 1) % 26);
  ASSERT_TRUE(ReadUntil(Fd, Got, std::string(1, Last) + "[05C"));
  const size_t Start = Got.find("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  ASSERT_NE(Start, std::string::npos);
  ASSERT_GE(Got.size(), Start + Stream);
  EXPECT_EQ(Got.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ", Start), Start + Stream);

  ASSERT_TRUE(Sim.Control("drop"));
  bool Closed = false;
  ReadUntil(Fd, Got, "never sent", &Closed);
  EXPECT_TRUE(Closed);
  close(Fd);

  // The controller reconnects: a second client is served like the first.
  for (int Round = 0; Round < 2; ++Round) {
    Fd = Connect(Port);
    ASSERT_GE(Fd, 0);
    Got.clear();
    Send(Fd, "[C20503]\r\0"s);
    EXPECT_TRUE(ReadUntil(Fd, Got, "[LINKOK]\r"));
    close(Fd);
  }
  // "reset" ends the connection with a reset rather than an orderly close.
  Fd = Connect(Port);
  ASSERT_GE(Fd, 0);
  Got.clear();
  ASSERT_TRUE(ReadUntil(Fd, Got, "[05C2C5"));
  ASSERT_TRUE(Sim.Control("reset"));
  Closed = false;
  ReadUntil(Fd, Got, "never sent", &Closed);
  EXPECT_TRUE(Closed);
  EXPECT_EQ(errno, ECONNRESET);
  close(Fd);
  Sim.P.write("quit\n");
  ASSERT_TRUE(Sim.P.waitForFinished(20000));
  EXPECT_EQ(Sim.P.exitCode(), 0);
}

TEST(QuillSim, ServesAPseudoTerminal) {
  TSim Sim({"--pty"});
  const std::string Path = Sim.WaitLine("PTY ");
  ASSERT_EQ(Path.rfind("/dev/pts/", 0), 0u) << Path;
  const int Fd = open(Path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(Fd, 0);
  Send(Fd, "[C10503]\r");
  std::string Got;
  EXPECT_TRUE(ReadUntil(Fd, Got, "[LINKOK]\r"));
  ASSERT_TRUE(Sim.Control("band 1 7"));
  EXPECT_TRUE(ReadUntil(Fd, Got, "[05C1C5010701"));  // Auto follows the band
  close(Fd);
}

TEST(QuillSim, WalkingBandsShowsTheAntennaFollowing) {
  TSim Sim({"--port", "0", "--walk", "1"});
  const int Port = ListenPort(Sim);
  ASSERT_GT(Port, 0);
  const int Fd = Connect(Port);
  ASSERT_GE(Fd, 0);
  std::string Got;
  // Radio 1 starts on band 5 in Auto; the next band brings its own antenna.
  EXPECT_TRUE(ReadUntil(Fd, Got, "[05C1C501050103]\r"));
  EXPECT_TRUE(ReadUntil(Fd, Got, "[05C1C501060104]\r"));
  // Radio 2 is manual: its band moves, its antenna stays.
  EXPECT_TRUE(ReadUntil(Fd, Got, "[05C2C502080001]\r"));
  close(Fd);
}

TEST(QuillSim, RejectsBadOptionsAndExplainsItself) {
  QProcess P;
  const QString Sim = QString::fromLocal8Bit(std::getenv("QUILL_BIN_DIR")) + "/quill-sim";
  P.start(Sim, {"--help"});
  ASSERT_TRUE(P.waitForFinished(20000));
  EXPECT_EQ(P.exitCode(), 0);
  const std::string Help = P.readAllStandardOutput().toStdString();
  for (const char* Word : {"--port", "--bind", "--pty", "--walk", "--log", "silent on|off", "drop", "garbage", "quit"})
    EXPECT_NE(Help.find(Word), std::string::npos) << Word;
  for (QStringList Args : {QStringList{"--port", "70000"}, QStringList{"--walk", "0"}, QStringList{"--nonsense"},
                           QStringList{"--bind", "not-an-address", "--port", "0"}, QStringList{"--log"},
                           QStringList{"--log", "/nonexistent-folder/received.log", "--port", "0"}}) {
    P.start(Sim, Args);
    ASSERT_TRUE(P.waitForFinished(20000));
    EXPECT_NE(P.exitCode(), 0) << Args.join(' ').toStdString();
  }
}

TEST(QuillSim, LogsEveryArrivalOfBytesReadably) {
  TempDir Dir;
  const std::string Log = Dir.File("received.log");
  TSim Sim({"--port", "0", "--log", QString::fromStdString(Log)});
  const int Port = ListenPort(Sim);
  ASSERT_GT(Port, 0);
  const int Fd = Connect(Port);
  ASSERT_GE(Fd, 0);
  std::string Got;
  // A link test as the controller sends it, then what typing in its pane might send: no
  // carriage return, a backslash, a tab, a control byte, a high byte and a telnet-doubled 0xFF.
  Send(Fd, "[C10503]\r\0"s);
  ASSERT_TRUE(ReadUntil(Fd, Got, "[LINKOK]\r"));
  Send(Fd, "ab\\\t\x01\xE9\xFF\xFF"s);
  // Each line: seconds since the start, the client, "<", the bytes escaped; the second write
  // went out after the first was answered, so it is an arrival of its own.
  const std::regex Line(R"(([0-9]+\.[0-9]{3}) ([0-9]+) < (.*))");
  const std::string Want = R"([C10503]\r\0ab\\\t\x01\xE9\xFF\xFF)";
  std::string Text, Stream;
  int Lines = 0;
  EXPECT_TRUE(WaitFor([&] {
    Text = ReadFile(Log);
    Stream.clear();
    Lines = 0;
    std::istringstream In(Text);
    for (std::string L; std::getline(In, L); ++Lines) {
      std::smatch M;
      if (!std::regex_match(L, M, Line) || M[2] != "1") return false;
      Stream += M[3];
    }
    return Stream == Want;
  }, 20000)) << Text;
  EXPECT_GE(Lines, 2) << Text;
  close(Fd);
}

TEST(QuillSim, TextFloodSendsNumberedLinesAsFastAsTheClientReads) {
  for (const char* Rate : {"max", "200"}) {
    TSim Sim({"--port", "0", "--text", Rate});
    const int Port = ListenPort(Sim);
    ASSERT_GT(Port, 0);
    const int Fd = Connect(Port);
    ASSERT_GE(Fd, 0);
    std::string Got;
    ASSERT_TRUE(ReadUntil(Fd, Got, "TEXT 00000040 ")) << Rate;
    // Lines in order, each 80 bytes of printable text ending in CR LF (status packets between).
    std::size_t Pos = Got.find("TEXT 00000000 ");
    ASSERT_NE(Pos, std::string::npos);
    for (int N = 0; N < 40; ++N) {
      char Head[32];
      std::snprintf(Head, sizeof Head, "TEXT %08d ", N);
      Pos = Got.find(Head, Pos);
      ASSERT_NE(Pos, std::string::npos) << N;
      const std::string Line = Got.substr(Pos, 80);
      EXPECT_EQ(Line.substr(78), "\r\n");
      for (char C : Line.substr(0, 78)) EXPECT_TRUE(C >= 32 && C < 127);
    }
    close(Fd);
  }
  QProcess P;
  P.start(QString::fromLocal8Bit(std::getenv("QUILL_BIN_DIR")) + "/quill-sim", {"--text", "0"});
  ASSERT_TRUE(P.waitForFinished(20000));
  EXPECT_NE(P.exitCode(), 0);
}
