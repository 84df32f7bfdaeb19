// The serial device layer on real pseudo-terminals: the test holds the master side as "the
// device" and maps the slave as COM5. Covers opening and closing (no thread or descriptor
// left), exclusive opens and their errors (refused to another user: serial_open_test.cpp), reads and writes past the ring sizes, a flush with
// a peer that does not read, hang-up, line settings, closing inside a data handler, and the
// order of status items between data blocks through scripted modem lines.
#include <gtest/gtest.h>

#include <asm/termbits.h>  // termios2 for reading back rates; no <termios.h> in this file
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>

#include "devices/serial_layer.h"
#include "platform/dialogs.h"
#include "port/com_port.h"
#include "pty_pair.h"
#include "test_support.h"

namespace {

int CountEntries(const char* Dir) {
  int N = 0;
  if (DIR* D = opendir(Dir)) {
    while (dirent* E = readdir(D))
      if (E->d_name[0] != '.') ++N;
    closedir(D);
  }
  return N;
}
int Descriptors() { return CountEntries("/proc/self/fd"); }
// The layer's worker threads (named "serial-..."); the dispatcher thread holds the dispatcher,
// so a released dispatcher shows that one has gone.
int Workers() {
  int N = 0;
  if (DIR* D = opendir("/proc/self/task")) {
    while (dirent* E = readdir(D))
      if (E->d_name[0] != '.' && ReadFile(std::string("/proc/self/task/") + E->d_name + "/comm").rfind("serial-", 0) == 0) ++N;
    closedir(D);
  }
  return N;
}

// Modem lines scripted for the status thread and the escape functions.
class TScriptedLines : public TSerialLines {
 public:
  int GetLines(int) override {
    ++Calls;
    if (OnGetLines) OnGetLines();
    return Lines.load();
  }
  int ChangeLines(int, int Bits, bool On) override {
    if (ChangeResult != 0) return ChangeResult;
    Lines = On ? (Lines | Bits) : (Lines & ~Bits);
    return 0;
  }
  int GetCounts(int, TSerialCounts&) override { return -ENOTTY; }
  int SetBreak(int, bool) override { return 0; }
  std::atomic<int> Lines{lnCts | lnDsr};
  std::atomic<int> ChangeResult{0};
  std::atomic<int> Calls{0};
  std::function<void()> OnGetLines;
};

TSerialMapSources MapWith(const std::string& Env, const std::string& EmptyDir) {
  TSerialMapSources S;
  S.SysRoot = EmptyDir;  // no kernel serial ports: only the mapped ones exist
  S.EnvironmentMap = Env;
  return S;
}

class SerialLayerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(Pty.Path.empty()); }
  // Threads are detached: the last one lets the dispatcher go a moment after the close.
  void TearDown() override { EXPECT_TRUE(WaitFor([&] { return Last.expired(); })); }
  // A port on COM5 whose dispatchers are serial ones with this test's OS facts.
  void Configure(TQpComPort& P, std::shared_ptr<TSerialLines> Lines = nullptr) {
    P.SetComNumber(5);
    P.SetBaud(9600);
    TSerialLayerOptions O;
    O.Lines = std::move(Lines);
    O.MapSources = MapWith("COM5=" + Pty.Path + ";COM7=/dev/pts/999999", Dir.Path());
    O.StatusPollMs = 20;
    P.SetCustomDispatcher([this, O](TQpCustomComPort* Owner) {
      auto D = std::make_shared<TQpWin32Dispatcher>(Owner, O);
      Last = D;
      return D;
    });
  }
  // Opens P with every byte it receives appended to Got.
  static void OpenCollecting(TQpComPort& P, std::string& Got) {
    P.OnTriggerAvail = [&Got](TQpCustomComPort* CP, std::uint16_t Count) {
      std::string Block(Count, '\0');
      CP->GetBlock(Block.data(), Count);
      Got += Block;
    };
    P.SetOpen(true);
    P.UpdateHandlerFlag();
  }
  TempDir Dir;
  TPty Pty;
  ScopedScriptedDialogs Script;
  std::weak_ptr<TQpWin32Dispatcher> Last;
};

TEST_F(SerialLayerTest, OpenAndCloseManyTimesLeavesNoThreadOrDescriptor) {
  TQpComPort P;
  Configure(P);
  P.SetOpen(true);  // warm-up: whatever the toolkit starts once stays out of the count
  P.SetOpen(false);
  ASSERT_TRUE(WaitFor([&] { return Last.expired() && Workers() == 0; }));
  const int BaseFds = Descriptors();
  for (int I = 0; I < 25; ++I) {
    P.SetOpen(true);
    ASSERT_TRUE(P.Open());
    EXPECT_EQ(Workers(), 3) << "read, write and status threads";
    EXPECT_TRUE(Last.lock()->DispThread() != nullptr);
    if (I % 8 == 0) {
      P.PutString("ping" + std::to_string(I));
      EXPECT_EQ(Pty.Receive(5 + (I >= 10)), "ping" + std::to_string(I));
    }
    P.SetOpen(false);
    EXPECT_TRUE(WaitFor([&] { return Last.expired(); })) << "the dispatcher goes with the close";
    EXPECT_TRUE(WaitFor([&] { return Workers() == 0; }));
    EXPECT_EQ(Descriptors(), BaseFds);
  }
  EXPECT_TRUE(Script->Errors.empty());
}

TEST_F(SerialLayerTest, ReadsBurstsPastTheRingAndWritesExactRingFill) {
  TQpComPort P;
  Configure(P);
  P.SetOutSize(1024);
  std::string Got;
  OpenCollecting(P, Got);
  // Every byte value, both ways: raw, no CR/LF translation, no XON/XOFF taken out.
  std::string Burst;
  for (int I = 0; I < 40000; ++I) Burst += char(I * 7 % 256);
  Pty.Send(Burst);
  ASSERT_TRUE(WaitFor([&] { return Got.size() >= Burst.size(); }, 30000));
  EXPECT_EQ(Got, Burst);

  // A block that fills the output ring exactly is sent whole.
  std::string Full;
  for (int I = 0; I < 1024; ++I) Full += char(255 - I % 256);
  P.PutBlock(Full.data(), std::uint32_t(Full.size()));
  EXPECT_EQ(Pty.Receive(Full.size()), Full);
  EXPECT_TRUE(WaitFor([&] { return P.OutBuffUsed() == 0; }));
  P.SetOpen(false);
}

// A device that streams whole blocks has its input gathered into fuller notifications; a
// burst that ends on any block or ring boundary (or just beside one) must still arrive whole,
// in order, without waiting for more input that never comes.
TEST_F(SerialLayerTest, BurstsEndingAtEveryBoundaryArriveWholeWithoutMoreInput) {
  TQpComPort P;
  Configure(P);
  std::string Got;
  OpenCollecting(P, Got);
  std::string Sent;
  int Seed = 0;
  for (const size_t Size : {1u, 2047u, 2048u, 4095u, 4096u, 4097u, 8191u, 8192u, 8193u, 12287u, 16384u, 65537u}) {
    std::string Burst;
    for (size_t I = 0; I < Size; ++I) Burst += char(Seed++ * 13 % 251);
    Sent += Burst;
    Pty.Send(Burst);
    ASSERT_TRUE(WaitFor([&] { return Got.size() >= Sent.size(); })) << "burst of " << Size;
    ASSERT_EQ(Got, Sent) << "burst of " << Size;
  }
  P.SetOpen(false);
}

TEST_F(SerialLayerTest, FlushWithAPeerThatDoesNotReadReturnsAndCountsTheStuckBlock) {
  TQpComPort P;
  Configure(P);
  P.SetOutSize(4096);
  P.SetOpen(true);
  auto D = Last.lock();
  // Fill the terminal until the writer is stuck with a block of its own.
  const std::string Chunk(4096, 'z');
  ASSERT_TRUE(WaitFor([&] {
    if (P.OutBuffUsed() == 0) P.PutBlock(Chunk.data(), std::uint32_t(Chunk.size()));
    return D->OutBufUsed() == 0 && P.OutBuffUsed() > 0;
  }, 30000));
  // Output still in the writer's hands counts as unsent.
  EXPECT_GT(D->OutputPending(), 0u);
  P.FlushOutBuffer();
  EXPECT_EQ(D->OutBufUsed(), 0u);
  EXPECT_EQ(D->OutputPending(), 0u) << "the block was abandoned";
  D.reset();
  P.SetOpen(false);
  EXPECT_TRUE(Script->Errors.empty());
}

TEST_F(SerialLayerTest, HangUpIsReportedOnceAndTheNextWriteFails) {
  TQpComPort P;
  Configure(P);
  P.SetOpen(true);
  auto D = Last.lock();
  Pty.Send("before");
  Pty.HangUp();
  ASSERT_TRUE(WaitFor([&] { return !Script->Errors.empty(); }));
  EXPECT_TRUE(WaitFor([&] { return Workers() == 0 && !D->Active() && !D->DispThread(); })) << "all four threads end";
  WaitFor([] { return false; }, 200);  // let any further report arrive
  ASSERT_EQ(Script->Errors.size(), 1u);
  EXPECT_EQ(Script->Errors[0], "Device read error");
  EXPECT_THROW(P.PutString("after"), EPutBlockFail);
  D.reset();
  P.SetOpen(false);
  EXPECT_EQ(Script->Errors.size(), 1u);
}

TEST_F(SerialLayerTest, HeldAndMissingPortsAndTheirTexts) {
  TQpComPort A, B;
  Configure(A);
  Configure(B);
  A.SetOpen(true);
  try {
    B.SetOpen(true);
    ADD_FAILURE() << "a held port opened twice";
  } catch (const EAlreadyOpen& E) {
    EXPECT_STREQ(E.what(), "ie_Open - device already open");
  }
  EXPECT_FALSE(B.Open());
  A.SetOpen(false);
  // Held by another open file (another program's lock).
  const int Holder = ::open(Pty.Path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_EQ(::flock(Holder, LOCK_EX | LOCK_NB), 0);
  EXPECT_THROW(B.SetOpen(true), EAlreadyOpen);
  ::close(Holder);
  B.SetOpen(true);
  EXPECT_TRUE(B.Open());
  B.SetOpen(false);
  // A number mapped to a node that is not there, and one nothing names.
  for (int Number : {7, 200}) {
    B.SetComNumber(std::uint16_t(Number));
    try {
      B.SetOpen(true);
      ADD_FAILURE() << "COM" << Number << " opened";
    } catch (const EBadId& E) {
      EXPECT_STREQ(E.what(), "ie_BadId - Specified comport doesn't exist");
    }
  }
}

TEST_F(SerialLayerTest, TheAdoptingLayerUsesAnOpenDescriptor) {
  TQpComPort P;
  P.SetComNumber(5);
  P.SetCustomDispatcher([](TQpCustomComPort* Owner) { return std::make_shared<TQpTAPI32Dispatcher>(Owner, 0); });
  try {
    P.SetOpen(true);
    ADD_FAILURE() << "opened without a descriptor";
  } catch (const EQpException& E) {
    EXPECT_EQ(E.ErrorCode(), ecCommNotOpen);
  }
  const int Fd = SerialOpen(Pty.Path);
  ASSERT_GE(Fd, 0);
  P.SetCustomDispatcher([Fd](TQpCustomComPort* Owner) { return std::make_shared<TQpTAPI32Dispatcher>(Owner, Fd); });
  P.SetOpen(true);
  P.PutString("adopted");
  EXPECT_EQ(Pty.Receive(7), "adopted");
  P.SetOpen(false);
  EXPECT_EQ(::fcntl(Fd, F_GETFD), -1) << "closed with the port";
}

TEST_F(SerialLayerTest, CheckPortWithOrWithoutThePrefixAndACloseTwice) {
  TSerialLayerOptions O;
  O.MapSources = MapWith("COM5=" + Pty.Path, Dir.Path());
  auto D = std::make_shared<TQpWin32Dispatcher>(nullptr, O);
  for (const char* Name : {"\\\\.\\COM5", "\\\\.\\com5", "COM5", "com5"}) EXPECT_TRUE(D->CheckPort(Name)) << Name;
  for (const char* Name : {"\\\\.\\COM6", "COM", "", "\\\\.\\"}) EXPECT_FALSE(D->CheckPort(Name)) << Name;
  // Driven without a port: open, then close twice (the second finds nothing to do).
  ASSERT_EQ(D->InitPort("\\\\.\\COM5", 9600, 0, 8, 1, 4096, 4096, 0), 0);
  EXPECT_TRUE(D->Active());
  EXPECT_EQ(D->CloseCom(), 0);
  EXPECT_LT(D->ComHandle(), 0);
  EXPECT_EQ(D->CloseCom(), 0);
  D->Destroy();
  Last = D;
}

TEST_F(SerialLayerTest, LineSettingsReachTheTerminal) {
  struct Case {
    std::int32_t Baud;
    TParity Parity;
    int StopBits;
    bool HwFlow;
  };
  // Pseudo-terminals keep the rate, stop bits, mark/space and hardware flow bits (they force
  // eight data bits and drop parity, so those are not read back here).
  for (const Case C : {Case{9600, pNone, 1, false}, Case{115200, pMark, 2, false}, Case{14400, pSpace, 1, true},
                       Case{56000, pNone, 2, false}, Case{12345, pNone, 1, false}, Case{921600, pEven, 1, true}}) {
    SCOPED_TRACE(C.Baud);
    TQpComPort P;
    Configure(P);
    P.SetBaud(C.Baud);
    P.SetParity(C.Parity);
    P.SetStopBits(std::uint16_t(C.StopBits));
    if (C.HwFlow) P.SetHWFlowOptions(hwfUseRTS | hwfRequireCTS);
    ASSERT_NO_THROW(P.SetOpen(true));
    auto D = Last.lock();
    termios2 T{};
    ASSERT_EQ(ioctl(D->DeviceFd(), TCGETS2, &T), 0);
    EXPECT_EQ(T.c_ospeed, speed_t(C.Baud)) << C.Baud;
    EXPECT_EQ((T.c_cflag & CSTOPB) != 0, C.StopBits == 2) << C.Baud;
    EXPECT_EQ((T.c_cflag & CMSPAR) != 0, C.Parity == pMark || C.Parity == pSpace) << C.Baud;
    EXPECT_EQ((T.c_cflag & CRTSCTS) != 0, C.HwFlow) << C.Baud;
    EXPECT_EQ(T.c_lflag & (ICANON | ECHO), 0u) << "raw";
    EXPECT_EQ(T.c_cc[VMIN], 1);
    // A rate of 0 would hang the line up: refused.
    TDCB Zero = D->DCB;
    Zero.BaudRate = 0;
    EXPECT_EQ(SerialApplyDcb(D->DeviceFd(), Zero), -EINVAL);
    // A second start is refused with the dispatcher's text.
    try {
      D->StartDispatcher();
      ADD_FAILURE() << "started twice";
    } catch (const std::runtime_error& E) {
      EXPECT_STREQ(E.what(), "Dispatcher already started.");
    }
    D.reset();
    P.SetOpen(false);
  }
}

TEST_F(SerialLayerTest, ModemLinesAbsentAreNoErrorButFailuresAre) {
  {
    // A pseudo-terminal has no DTR or RTS: opening (which sets both) succeeds.
    TQpComPort P;
    Configure(P);
    P.SetOpen(true);
    auto D = Last.lock();
    EXPECT_FALSE(D->HasModemLines());
    EXPECT_EQ(D->EscapeComFunction(SETDTR), 0);
    EXPECT_EQ(D->EscapeComFunction(CLRRTS), 0);
    EXPECT_EQ(D->GetComModemStatus(), 0);
    D.reset();
    P.SetOpen(false);
  }
  {
    auto Lines = std::make_shared<TScriptedLines>();
    Lines->ChangeResult = -EIO;
    TQpComPort P;
    Configure(P, Lines);
    EXPECT_THROW(P.SetOpen(true), EBadArgument) << "a failed DTR change is no success";
    EXPECT_FALSE(P.Open());
  }
}

TEST_F(SerialLayerTest, CloseInsideADataHandlerWithFourThreadsRunning) {
  const int BaseFds = Descriptors();
  TQpComPort P;
  Configure(P);
  int Calls = 0;
  P.OnTriggerAvail = [&](TQpCustomComPort* CP, std::uint16_t) {
    ++Calls;
    CP->SetOpen(false);
  };
  P.SetOpen(true);
  P.UpdateHandlerFlag();
  EXPECT_EQ(Workers(), 3);
  Pty.Send("data");
  ASSERT_TRUE(WaitFor([&] { return Calls > 0 && !P.Open() && P.PortState() == psClosed; }));
  EXPECT_TRUE(WaitFor([&] { return Last.expired() && Workers() == 0 && Descriptors() == BaseFds; }));
  EXPECT_EQ(Calls, 1);
  EXPECT_TRUE(Script->Errors.empty());
}

TEST_F(SerialLayerTest, StatusItemsKeepTheirPlaceBetweenDataBlocks) {
  // The queue itself: a status item between two blocks ends a read early.
  {
    auto D = std::make_shared<TQpWin32Dispatcher>(nullptr);
    auto Block = [](const std::string& S) {
      auto* B = new TDataBuffer(IO_BUFFER_SIZE);
      std::memcpy(B->Data(), S.data(), S.size());
      B->SetBytesUsed(std::int32_t(S.size()));
      return B;
    };
    D->FQueue.Push(Block("AAAA"));
    D->FQueue.Push(new TStatusBuffer(ev_Cts));
    D->FQueue.Push(Block("BB"));
    char Buf[16];
    EXPECT_EQ(D->InQueueUsed(), 4u);
    EXPECT_EQ(D->ReadCom(Buf, sizeof Buf), 4);
    EXPECT_EQ(D->InQueueUsed(), 0u) << "a status item at the head";
    EXPECT_EQ(D->ReadCom(Buf, sizeof Buf), 0);
    delete D->FQueue.Pop();
    EXPECT_EQ(D->ReadCom(Buf, sizeof Buf), 2);
    D->Destroy();
  }
  // Through the threads: bytes before a CTS change are in the ring when its trigger fires,
  // bytes after it are not.
  auto Lines = std::make_shared<TScriptedLines>();
  std::mutex M;
  std::condition_variable CV;
  bool Flip = false, Pushed = false;
  int FlippedAt = -1;
  Lines->OnGetLines = [&] {
    std::lock_guard<std::mutex> G(M);
    if (Flip && FlippedAt < 0) {
      FlippedAt = Lines->Calls;
      Lines->Lines = Lines->Lines & ~lnCts;
    } else if (FlippedAt >= 0 && Lines->Calls > FlippedAt + 1 && !Pushed) {
      Pushed = true;  // the look after the change: its status item is queued by now
      CV.notify_all();
    }
  };
  TQpComPort P;
  Configure(P, Lines);
  std::uint32_t SeenAtStatus = 0;
  int StatusCalls = 0;
  P.OnTriggerStatus = [&](TQpCustomComPort* CP, std::uint16_t) {
    ++StatusCalls;
    SeenAtStatus = CP->InBuffUsed();
  };
  P.SetOpen(true);
  auto D = Last.lock();
  ASSERT_TRUE(D->HasModemLines());
  const std::uint32_t Trigger = P.AddStatusTrigger(stModem);
  P.SetStatusTrigger(Trigger, msCTSDelta, true);
  P.UpdateHandlerFlag();
  Pty.Send("before");
  ASSERT_TRUE(WaitFor([&] { return P.InBuffUsed() == 6; }));
  {
    std::unique_lock<std::mutex> G(M);
    Flip = true;
    ASSERT_TRUE(CV.wait_for(G, std::chrono::seconds(20), [&] { return Pushed; }));
  }
  Pty.Send("after");
  ASSERT_TRUE(WaitFor([&] { return StatusCalls > 0 && P.InBuffUsed() == 11; }));
  EXPECT_EQ(StatusCalls, 1);
  EXPECT_EQ(SeenAtStatus, 6u);
  EXPECT_FALSE(P.CTS());
  D.reset();
  P.SetOpen(false);
}

}  // namespace
