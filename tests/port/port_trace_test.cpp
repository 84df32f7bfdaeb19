// Trace and dispatch log: the file texts against golden text, the limits, the files, and the
// port's Tracing / Logging states on a port with the in-memory device layer.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "memory_dispatcher.h"
#include "port/port_trace.h"
#include "test_support.h"

namespace {

using namespace std::string_literals;

std::string Repeat(char C, std::size_t N) { return std::string(N, C); }

void Record(TQpPortRecorder& R, const std::vector<std::pair<char, std::string>>& Runs,
            std::uint32_t Slots) {
  R.InitTrace(Slots);
  for (const auto& [Type, Bytes] : Runs)
    R.AddTrace(Type, reinterpret_cast<const std::uint8_t*>(Bytes.data()), std::uint32_t(Bytes.size()));
}

TEST(TraceText, GoldenTexts) {
  const std::string Printable = [] {
    std::string S;
    for (int I = 0; I < 100; ++I) S += char('0' + I % 10);
    return S;
  }();
  struct {
    const char* Name;
    std::vector<std::pair<char, std::string>> Runs;
    bool InHex, AllHex;
    std::string Expected;
  } Cases[] = {
      {"decimal", {{'T', "A\rB"}}, false, false, "Transmit: \nA[13]B"},
      {"hex", {{'T', "A\rB"}}, true, false, "Transmit: \nA[0D]B"},
      {"all hex", {{'T', "A\rB"}}, true, true, "Transmit: \n[41][0D][42]"},
      {"all hex without InHex", {{'T', "A\rB"}}, false, true, "Transmit: \n[41][0D][42]"},
      {"widths", {{'R', "\x05\x3f\x7f\xc8 !"s}}, false, false, "Receive: \n[5]?[127][200] !"},
      {"space is hex with InHex", {{'R', " !\xff"s}}, true, false, "Receive: \n[20]![FF]"},
      {"100 printable bytes wrap after 78", {{'T', Printable}}, false, false,
       "Transmit: \n" + Printable.substr(0, 78) + "\n" + Printable.substr(78)},
      {"a wide byte that would pass column 78 starts the next line",
       {{'T', Repeat('x', 76) + "\x01"s}}, true, false,
       "Transmit: \n" + Repeat('x', 76) + "\n[01]"},
      {"type changes", {{'R', "ab"}, {'T', "c"}, {'X', "d"}, {'R', "e"}}, false, false,
       "Receive: \nab\n\nTransmit: \nc\n\nSpecial-X: \nd\n\nReceive: \ne"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TQpPortRecorder R;
    Record(R, C.Runs, 1000);
    EXPECT_EQ(R.TraceText(C.InHex, C.AllHex), C.Expected);
  }
}

TEST(TraceText, AWrappedTraceDumpsTheNewestOldestFirst) {
  std::string Bytes;
  for (int I = 0; I < 10005; ++I) Bytes += char('0' + I % 10);
  TQpPortRecorder R;
  Record(R, {{'R', Bytes}}, 10000);
  EXPECT_TRUE(R.TraceWrapped());
  std::string Text = R.TraceText(false, false);
  ASSERT_EQ(Text.rfind("Receive: \n", 0), 0u);
  Text.erase(0, 10);
  std::string Joined;
  for (char C : Text)
    if (C != '\n') Joined += C;
  EXPECT_EQ(Joined, Bytes.substr(5));
  EXPECT_EQ(Text.substr(0, 79), Bytes.substr(5, 78) + "\n");
}

TEST(TraceText, LimitsAndEmptyTraces) {
  TQpPortRecorder R;
  EXPECT_EQ(R.InitTrace(HighestTrace + 1), ecBadArgument);
  EXPECT_FALSE(R.HasTrace());
  EXPECT_EQ(R.InitTrace(0), 0);  // no slots: nothing is recorded
  R.AddTrace('R', 'x');
  EXPECT_EQ(R.TraceText(false, false), "");
  EXPECT_EQ(R.InitTrace(10), 0);
  R.AddTrace('R', 'x');
  EXPECT_EQ(R.InitTrace(99), 0);  // an existing buffer is only emptied
  EXPECT_EQ(R.TraceMax(), 10u);
  EXPECT_EQ(R.TraceText(false, false), "");
}

std::string EntryText(TDispatchType T, TDispatchSubType S, std::uint32_t Time, std::uint32_t Data,
                      const std::string& Bytes, bool InHex = false, bool AllHex = false) {
  TLogBuffer E(T, S, Time, Data, Bytes.data(), std::int32_t(Bytes.size()));
  return TQpPortRecorder::LogEntryText(E, InHex, AllHex);
}

TEST(LogText, GoldenEntryLines) {
  const std::string Fifty = Repeat('z', 50);
  struct {
    const char* Name;
    std::string Got, Expected;
  } Cases[] = {
      {"write at 1234 ms", EntryText(dtDispatch, dstWriteCom, 1234, 3, "ABC"),
       "0001.234  Dispatch  WriteCom      00000003  ABC\n"},
      {"no subtype, no bytes", EntryText(dtError, dstNone, 5, 0, ""),
       "0000.005  Error                   00000000  \n"},
      {"time past 2^31 ms stays positive", EntryText(dtTrigger, dstAvail, 2147483653u, 0xABCDEF, ""),
       "2147483.653  Trigger   Avail         00ABCDEF  \n"},
      {"bytes in decimal and hex", EntryText(dtDispatch, dstReadCom, 0, 3, "A\rB"),
       "0000.000  Dispatch  ReadCom       00000003  A[13]B\n"},
      {"all hex", EntryText(dtDispatch, dstReadCom, 0, 3, "A\rB", true, true),
       "0000.000  Dispatch  ReadCom       00000003  [41][0D][42]\n"},
      {"user text stays characters with all hex", EntryText(dtUser, dstNone, 0, 0, "Hi\r", true, true),
       "0000.000  User                    00000000  Hi[0D]\n"},
      {"long data continues indented", EntryText(dtDispatch, dstReadCom, 0, 50, Fifty),
       "0000.000  Dispatch  ReadCom       00000032  " + Repeat('z', 34) + "\n" + Repeat(' ', 44) +
           Repeat('z', 16) + "\n"},
      {"modem bits 0 and 4", EntryText(dtDispatch, dstModemStatus, 0, 0x11, "ABC"),
       "0000.000  Dispatch  Modem status  00000011  ABC(DCTS CTS)\n"},
      {"telnet option 1", EntryText(dtTelnet, dstRDo, 0, 1, ""),
       "0000.000  Telnet    Recv DO       00000001  [Echo]\n"},
      {"telnet option 50", EntryText(dtTelnet, dstSWont, 0, 50, ""),
       "0000.000  Telnet    Sent WON'T    00000032  []\n"},
      {"terminal type text", EntryText(dtTelnet, dstSTerm, 0, 0, "vt100"),
       "0000.000  Telnet    Sent Term     00000000  vt100\n"},
      {"status trigger alloc", EntryText(dtTriggerAlloc, dstStatusTrigger, 0, 0x1001, "\x01"s),
       "0000.000  TrigAllc  Status        00001001  (Modem status)\n"},
      {"status trigger dispose", EntryText(dtTriggerDispose, dstStatusTrigger, 0, 0x1005, "\x05"s),
       "0000.000  TrigDisp  Status        00001005  (Output sent)\n"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    EXPECT_EQ(C.Got, C.Expected);
  }
}

TEST(LogQueue, TheSizeLimitDropsTheOldestAndCountsEntriesWithoutBytes) {
  TQpPortRecorder R;
  R.InitLog(10);
  for (char C : {'1', '2', '3'}) R.AddLog(dtDispatch, dstWriteCom, 0, 8, Repeat(C, 8).data(), 8);
  EXPECT_EQ(R.LogCount(), 2u);  // the oldest went when the third came
  R.InitLog(10);
  for (int I = 0; I < 1000; ++I) R.AddLog(dtTrigger, dstTimer, 0, 1, nullptr, 0);
  EXPECT_LE(R.LogCount(), 11u);
  R.InitLog(0);
  for (int I = 0; I < 1000; ++I) R.AddLog(dtTrigger, dstTimer, 0, 1, nullptr, 0);
  EXPECT_EQ(R.LogCount(), 1000u);  // no limit
}

class TraceFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    R.DateTimeText = [] { return "10/12/26, 13:45:00"s; };
    R.SystemText = [] { return "Linux " + Repeat('9', 100); };
  }
  std::string Header() const {
    return "QPORT v1.00\nCompiler : Unknown\nOperating System : Linux " + Repeat('9', 74) +
           "\nDevice: COM5\nDate/time: 10/12/26, 13:45:00\n"
           "Time      Type      SubType       Data      OtherData\n"
           "--------  --------  ------------  --------  ---------\n";
  }
  TempDir Dir;
  TQpPortRecorder R;
};

TEST_F(TraceFiles, DumpCreatesAppendAddsAndTheRecordersEmpty) {
  const std::string Log = Dir.File("QPORT.LOG"), Trc = Dir.File("QPORT.TRC");
  EXPECT_EQ(R.WriteLog(Log, false, false, false, "COM5"), 0);  // empty: no file
  struct stat St;
  EXPECT_NE(::stat(Log.c_str(), &St), 0);

  R.InitLog(0);
  R.AddLog(dtDispatch, dstWriteCom, 1234, 3, "ABC", 3);
  EXPECT_EQ(R.WriteLog(Log, false, false, false, "COM5"), 0);
  const std::string One = Header() + "0001.234  Dispatch  WriteCom      00000003  ABC\n";
  EXPECT_EQ(ReadFile(Log), One);
  EXPECT_EQ(R.LogCount(), 0u);
  R.AddLog(dtUser, dstNone, 2000, 0, "x", 1);
  EXPECT_EQ(R.WriteLog(Log, false, false, true, "COM5"), 0);
  EXPECT_EQ(ReadFile(Log), One + Header() + "0002.000  User                    00000000  x\n");
  R.AddLog(dtUser, dstNone, 2000, 0, "y", 1);
  EXPECT_EQ(R.WriteLog(Log, false, false, false, "COM5"), 0);  // replaced
  EXPECT_EQ(ReadFile(Log), Header() + "0002.000  User                    00000000  y\n");

  R.InitTrace(100);
  R.AddTrace('T', reinterpret_cast<const std::uint8_t*>("A\rB"), 3);
  EXPECT_EQ(R.WriteTrace(Trc, false, false, false), 0);
  R.AddTrace('R', 'z');
  EXPECT_EQ(R.WriteTrace(Trc, false, false, true), 0);
  EXPECT_EQ(ReadFile(Trc), "Transmit: \nA[13]BReceive: \nz");  // no final line end
  EXPECT_TRUE(R.HasTrace());  // emptied, still recording
  EXPECT_EQ(R.TraceIndex(), 0u);
}

TEST_F(TraceFiles, AnUnwritablePathFailsWithItsErrorNumber) {
  const std::string Bad = Dir.File("missing/QPORT.LOG");
  R.InitLog(0);
  R.AddLog(dtUser, dstNone, 0, 0, "x", 1);
  EXPECT_EQ(R.WriteLog(Bad, false, false, false, "COM5"), -ENOENT);
  EXPECT_EQ(R.LogCount(), 1u);  // kept for a dump that works
  R.InitTrace(10);
  R.AddTrace('R', 'x');
  EXPECT_EQ(R.WriteTrace(Bad, false, false, false), -ENOENT);
  EXPECT_FALSE(R.HasTrace());  // a failed trace dump frees the trace
}

TEST_F(TraceFiles, FourMillionEntriesDump) {
  R.InitTrace(HighestTrace);
  std::string Block(4096, 'q');
  for (std::uint32_t I = 0; I < HighestTrace / 4096 + 1; ++I)
    R.AddTrace(I % 2 ? 'R' : 'T', reinterpret_cast<const std::uint8_t*>(Block.data()), 4096);
  EXPECT_EQ(R.WriteTrace(Dir.File("big.trc"), true, false, false), 0);
  struct stat St;
  ASSERT_EQ(::stat(Dir.File("big.trc").c_str(), &St), 0);
  EXPECT_GT(St.st_size, std::int64_t(HighestTrace));
}

// ------------------------------------------------------------------ on the port

class TracedPort : public ::testing::Test {
 protected:
  void SetUp() override {
    char Cwd[4096];
    ASSERT_NE(::getcwd(Cwd, sizeof Cwd), nullptr);
    OldDir = Cwd;
    ASSERT_EQ(::chdir(Dir.Path().c_str()), 0);  // relative names use the working directory
    P.Configure = [](TMemoryDispatcher& D) {
      D.Recorder.DateTimeText = [] { return "10/12/26, 13:45:00"s; };
      D.Recorder.SystemText = [] { return "Linux 6"s; };
    };
    P.OnTriggerAvail = [this](TQpCustomComPort* CP, std::uint16_t Count) {
      for (int I = 0; I < Count; ++I) Received += char(CP->GetChar());
    };
  }
  void TearDown() override {
    if (P.Open()) P.SetOpen(false);
    WaitFor([&] { return !P.Open(); });
    EXPECT_EQ(::chdir(OldDir.c_str()), 0);
  }
  std::string OldDir;
  TempDir Dir;
  TMemoryPort P;
  std::string Received;
};

TEST_F(TracedPort, StatesWhileClosedAreKeptOnlyAsOnOrOff) {
  const TTraceLogState Table[][2] = {{tlOn, tlOn},        {tlOff, tlOff},  {tlDump, tlOff},
                                     {tlAppend, tlOff},   {tlClear, tlOff}, {tlPause, tlOff},
                                     {tlAppendAndContinue, tlOff}};
  for (const auto& Row : Table) {
    P.SetTracing(tlOn);
    P.SetTracing(Row[0]);
    EXPECT_EQ(P.Tracing(), Row[1]);
    P.SetLogging(tlOn);
    P.SetLogging(Row[0]);
    EXPECT_EQ(P.Logging(), Row[1]);
  }
  P.SetTraceSize(HighestTrace + 5);
  EXPECT_EQ(P.TraceSize(), HighestTrace);
  P.SetLogSize(MaxDLogQueueSize + 5);
  EXPECT_EQ(P.LogSize(), MaxDLogQueueSize);
}

TEST_F(TracedPort, TracingAppliedAtOpenPausedClearedAndDumpedAtClose) {
  P.SetTracing(tlOn);
  P.SetTraceHex(false);
  P.SetOpen(true);
  ASSERT_TRUE(P.Disp()->TracingOn);
  P.PutString("A\rB");
  P.SetTracing(tlPause);
  EXPECT_EQ(P.Tracing(), tlPause);
  P.PutString("unseen");
  P.SetTracing(tlOn);  // from pause: started again, nothing lost
  P.Disp()->Feed("ok");
  ASSERT_TRUE(WaitFor([&] { return Received == "ok"; }));
  P.SetOpen(false);  // dumps to QPORT.TRC first
  EXPECT_EQ(ReadFile("QPORT.TRC"), "Transmit: \nA[13]B\n\nReceive: \nok");
  EXPECT_EQ(P.Tracing(), tlOff);
  // A delivery still in flight finishes the close later; the next open waits for that.
  ASSERT_TRUE(WaitFor([&] { return P.PortState() == psClosed; }));

  P.SetTracing(tlOn);
  P.SetOpen(true);
  P.PutString("x");
  P.SetTracing(tlClear);
  P.PutString("y");
  P.SetTracing(tlAppendAndContinue);
  EXPECT_EQ(P.Tracing(), tlOn);
  P.PutString("z");
  P.SetTracing(tlAppend);
  EXPECT_EQ(P.Tracing(), tlOff);
  EXPECT_FALSE(P.Disp()->TracingOn);
  EXPECT_EQ(ReadFile("QPORT.TRC"), "Transmit: \nA[13]B\n\nReceive: \nokTransmit: \nyTransmit: \nz");
}

TEST_F(TracedPort, ASizeChangeRestartsARunningTraceAndEndsAPausedOne) {
  P.SetOpen(true);
  P.SetTracing(tlOn);
  P.PutString("before");
  P.SetTraceSize(50);
  EXPECT_EQ(P.Tracing(), tlOn);
  EXPECT_EQ(P.Disp()->Recorder.TraceMax(), 50u);
  EXPECT_EQ(P.Disp()->Recorder.TraceIndex(), 0u);  // a fresh buffer
  P.SetTracing(tlPause);
  P.SetTraceSize(60);
  EXPECT_EQ(P.Tracing(), tlOff);
  EXPECT_FALSE(P.Disp()->Recorder.HasTrace());
}

TEST_F(TracedPort, LogGetsDeviceEventsAndUserTextAndAFailedDumpRaisesButCloses) {
  P.SetLogging(tlOn);
  P.SetLogName(Dir.File("no/such/dir/QPORT.LOG"));
  P.SetOpen(true);
  P.AddStringToLog("hello");
  const std::uint32_t H = P.AddStatusTrigger(stModem);
  P.RemoveTrigger(H);
  P.PutString("AB");
  try {
    P.SetOpen(false);
    ADD_FAILURE() << "the failed dump was not raised";
  } catch (const EInOutError& E) {
    EXPECT_EQ(E.ErrorCode(), ENOENT);
  }
  EXPECT_FALSE(P.Open());

  P.SetLogName("QPORT.LOG");
  P.SetLogging(tlOn);
  P.SetOpen(true);
  P.AddStringToLog("hello");
  const std::uint32_t H2 = P.AddStatusTrigger(stModem);
  P.RemoveTrigger(H2);
  P.SetLogging(tlDump);
  const std::string Text = ReadFile("QPORT.LOG");
  EXPECT_NE(Text.find("Device: COM1\n"), std::string::npos) << Text;
  EXPECT_NE(Text.find("  User                    00000000  hello\n"), std::string::npos) << Text;
  EXPECT_NE(Text.find("  TrigAllc  Status        0000"), std::string::npos) << Text;
  EXPECT_NE(Text.find("  (Modem status)\n"), std::string::npos) << Text;
  EXPECT_NE(Text.find("  TrigDisp  Status        0000"), std::string::npos) << Text;
}

// The dispatcher thread logs each read while the GUI thread dumps: every entry lands in
// exactly one dump, and nothing races.
TEST_F(TracedPort, LoggingOnTheDispatcherThreadWhileTheGuiThreadDumps) {
  P.SetLogging(tlOn);
  P.SetLogSize(0);
  P.SetOpen(true);
  const int Blocks = 300;
  std::thread Device([&] {
    for (int I = 0; I < Blocks; ++I) P.Disp()->Feed("0123456789", 10);
  });
  std::string All;
  const std::string Name = Dir.File("dump.log");
  while (Received.size() < Blocks * 10u) {
    const std::size_t Before = Received.size();
    ASSERT_TRUE(WaitFor([&] { return Received.size() > Before; }));
    P.AppendLog(Name, false, tlOn);
  }
  Device.join();
  P.AppendLog(Name, false, tlOn);
  const std::string Text = ReadFile(Name);
  std::size_t Bytes = 0;
  for (std::size_t Pos = Text.find("  ReadCom       "); Pos != std::string::npos;
       Pos = Text.find("  ReadCom       ", Pos + 1)) {
    Bytes += std::stoul(Text.substr(Pos + 16, 8), nullptr, 16);
  }
  EXPECT_EQ(Bytes, Blocks * 10u);
}

}  // namespace
