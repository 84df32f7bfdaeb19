// The terminal control on a port whose dispatcher runs its own thread (as the serial layer
// does): attach and detach across open, close and reopen, bursts processed once and in order,
// and a flood from another thread.

#include "terminal/terminal_control.h"

#include "../port/memory_dispatcher.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

struct LinkFixture : ::testing::Test {
  TMemoryPort Port;
  TQpTerminal Term;
  LinkFixture() {
    Port.SetAutoOpen(false);
    Term.SetComPort(&Port);
  }
  ~LinkFixture() override { Term.SetComPort(nullptr); }
};

TEST_F(LinkFixture, AttachesOnOpenDetachesOnCloseAndReattaches) {
  ProcessMessages();
  EXPECT_FALSE(Term.Attached());
  EXPECT_EQ(Port.MasterTerminal(), &Term);
  Port.SetOpen(true);
  ASSERT_TRUE(WaitFor([&] { return Term.Attached(); }));
  Port.Disp()->Feed("[C1050103]\r\n[C2070001]\r\n");
  ASSERT_TRUE(WaitFor([&] { return Term.Line(2).rfind("[C2070001]", 0) == 0; }));
  Port.SetOpen(false);
  ASSERT_TRUE(WaitFor([&] { return !Port.Open(); }));
  EXPECT_FALSE(Term.Attached());
  EXPECT_TRUE(Term.WaitingForComPortOpen());
  Port.SetOpen(true);
  ASSERT_TRUE(WaitFor([&] { return Term.Attached(); }));
  // The screen survives the reopen, and what comes next goes below it: from row 1 a short
  // answer would be shown as "[LINKOK]1050103]", two messages as one.
  Port.Disp()->Feed("[LINKOK]\r\n");
  ASSERT_TRUE(WaitFor([&] { return Term.Line(3).rfind("[LINKOK]", 0) == 0; }));
  auto Trimmed = [&](int R) {
    std::string L = Term.Line(R);
    return L.erase(L.find_last_not_of(' ') + 1);
  };
  EXPECT_EQ(Trimmed(1), "[C1050103]");
  EXPECT_EQ(Trimmed(2), "[C2070001]");
  EXPECT_EQ(Trimmed(3), "[LINKOK]");
}

TEST_F(LinkFixture, APortAlreadyOpenIsAttachedThroughOnePostedMessage) {
  TQpTerminal Late;
  Port.SetOpen(true);
  Late.SetComPort(&Port);
  EXPECT_FALSE(Late.Attached());
  EXPECT_NE(Port.MasterTerminal(), &Late);
  ASSERT_TRUE(WaitFor([&] { return Late.Attached(); }));
  Port.Disp()->Feed("both");
  ASSERT_TRUE(WaitFor([&] { return Late.Line(1).rfind("both", 0) == 0 && Term.Line(1).rfind("both", 0) == 0; }));
  Late.SetComPort(nullptr);
}

TEST_F(LinkFixture, TypedCharactersGoToThePortOnlyWhileOpen) {
  Term.WriteString("x");
  Port.SetOpen(true);
  ASSERT_TRUE(WaitFor([&] { return Term.Attached(); }));
  Term.PortPutChar('A');
  ASSERT_TRUE(WaitFor([&] { return Port.Disp()->Sent() == "A"; }));
  auto D = Port.Disp();
  Port.SetOpen(false);
  Term.PortPutChar('B');  // closed: dropped, no error
  EXPECT_EQ(D->Sent(), "A");
}

// Bytes in order, once, while another thread floods; the queue never passes its bound.
TEST_F(LinkFixture, FloodFromTheDispatcherThreadArrivesInOrder) {
  TempDir Dir;
  Term.SetCaptureFile(Dir.File("flood.cap"));
  Term.SetCapture(cmOn);
  Port.SetOpen(true);
  ASSERT_TRUE(WaitFor([&] { return Term.Attached(); }));
  std::string All;
  for (int I = 0; I < 40000; ++I) All += "line " + std::to_string(I) + " of the flood\r\n";
  auto D = Port.Disp();
  std::thread Device([&] {
    for (std::size_t Pos = 0; Pos < All.size(); Pos += 4096) D->Feed(All.substr(Pos, 4096), 1024);
  });
  std::size_t MaxCount = 0;
  const bool Done = WaitFor([&] {
    MaxCount = std::max(MaxCount, Term.Input().Count());
    return Term.ProcessedBytes() == All.size();
  }, 120000);
  Device.join();
  ASSERT_TRUE(Done) << Term.ProcessedBytes() << " of " << All.size();
  EXPECT_LE(MaxCount, Term.Input().Limit());
  EXPECT_EQ(Term.Input().Dropped(), 0u);
  Term.SetCapture(cmOff);
  EXPECT_EQ(ReadFile(Dir.File("flood.cap")), All);
}

TEST_F(LinkFixture, NothingArrivesAfterDetachWhileTheDeviceGoesOnSending) {
  Port.SetOpen(true);
  ASSERT_TRUE(WaitFor([&] { return Term.Attached(); }));
  auto D = Port.Disp();
  std::atomic<bool> Stop{false};
  std::atomic<int> Feeds{0};
  std::thread Device([&] {
    while (!Stop) {
      D->Feed(std::string(512, 'z'), 128);
      ++Feeds;
    }
  });
  ASSERT_TRUE(WaitFor([&] { return Term.ProcessedBytes() > 10000; }));
  Term.SetActive(false);
  EXPECT_FALSE(Term.Attached());
  ASSERT_TRUE(WaitFor([&] { return Term.PendingBytes() == 0; }));
  const std::uint64_t Done = Term.ProcessedBytes();
  const int Fed = Feeds;
  ASSERT_TRUE(WaitFor([&] { return Feeds > Fed + 50; }));
  Stop = true;
  Device.join();
  ProcessMessages();
  EXPECT_EQ(Term.PendingBytes(), 0u);
  EXPECT_EQ(Term.ProcessedBytes(), Done);
}

TEST(TerminalLink, AControlDestroyedDuringAFloodIsNeverCalledAgain) {
  TMemoryPort Port;
  Port.SetAutoOpen(false);
  auto Term = std::make_unique<TQpTerminal>();
  Term->SetComPort(&Port);
  Port.SetOpen(true);
  ASSERT_TRUE(WaitFor([&] { return Term->Attached(); }));
  auto D = Port.Disp();
  std::atomic<bool> Stop{false};
  std::atomic<int> Feeds{0};
  std::thread Device([&] {
    while (!Stop) {
      D->Feed(std::string(256, 'w'), 64);
      ++Feeds;
    }
  });
  ASSERT_TRUE(WaitFor([&] { return Term->ProcessedBytes() > 4096; }));
  Term.reset();  // detaches first; a delivery in flight finds the gate closed
  EXPECT_EQ(Port.MasterTerminal(), nullptr);
  const int Fed = Feeds;
  ASSERT_TRUE(WaitFor([&] { return Feeds > Fed + 50; }));
  Stop = true;
  Device.join();
  ProcessMessages();
  Port.SetOpen(false);
}

}  // namespace
