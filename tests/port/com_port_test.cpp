// The port component with the real dispatcher thread over the in-memory device layer:
// opening and its failures, the receive path to OnTriggerAvail, closing inside a handler,
// reopening while a close is pending, trigger survival across a reopen, errors from workers.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "memory_dispatcher.h"
#include "platform/dialogs.h"
#include "test_support.h"
#include "thread_switches.h"

namespace {

TEST(ComPortOpenTest, PortSelectionAndOpenFailures) {
  {
    TQpComPort P;
    P.SetPromptForPort(false);
    EXPECT_THROW(P.SetOpen(true), ENoPortSelected);
    EXPECT_FALSE(P.Open());
  }
  {
    TMemoryPort P;
    P.SetComNumber(0);
    int Asked = 0;
    P.PortSelector = [&](std::uint16_t& N) {
      ++Asked;
      N = 4;
      return true;
    };
    P.SetOpen(true);
    EXPECT_EQ(Asked, 1);
    EXPECT_EQ(P.ComNumber(), 4);
    EXPECT_EQ(P.Disp()->OpenedName, "\\\\.\\COM4");
    EXPECT_EQ(P.Disp()->DeviceName, "COM4");
    P.SetOpen(false);
    P.SetComNumber(0);
    P.PortSelector = [](std::uint16_t&) { return false; };
    EXPECT_THROW(P.SetOpen(true), ENoPortSelected);
  }
  // No device layer at all.
  {
    TQpComPort P;
    P.SetComNumber(1);
    EXPECT_THROW(P.SetOpen(true), ENullApi);
    EXPECT_FALSE(P.Open());
  }
  struct Case {
    int Errno;
    bool Silent;
    const char* Text;
  };
  for (Case C : {Case{ENOENT, false, "ie_BadId - Specified comport doesn't exist"},
                 Case{EBUSY, false, "ie_Open - device already open"},
                 Case{0, true, "ie_NOpen - device not open"}}) {
    TMemoryPort P;
    P.Configure = [&](TMemoryDispatcher& D) {
      D.OpenErrno = C.Errno;
      D.OpenFailsSilently = C.Silent;
    };
    try {
      P.SetOpen(true);
      ADD_FAILURE() << "opened: " << C.Text;
    } catch (const EQpException& E) {
      EXPECT_STREQ(E.what(), C.Text);
    }
    EXPECT_FALSE(P.Open());
    EXPECT_EQ(P.PortState(), psClosed);
    EXPECT_EQ(P.FDispatcher, nullptr);
  }
}

TEST(ComPortOpenTest, ClosedPortOperationsAndDeviceLayer) {
  TMemoryPort P;
  P.SetAutoOpen(false);
  EXPECT_THROW(P.PutString("x"), ECommNotOpen);
  EXPECT_THROW(P.ModemStatus(), ECommNotOpen);
  EXPECT_EQ(P.InBuffFree(), DispatchBufferSize);
  EXPECT_EQ(P.OutBuffFree(), 4096u);
  EXPECT_FALSE(P.CTS());
  P.SetDeviceLayer(dlWinsock);  // not a layer of this class
  EXPECT_EQ(P.DeviceLayer(), dlWin32);
  // With AutoOpen an operation opens the port first.
  P.SetAutoOpen(true);
  P.PutString("hi");
  EXPECT_TRUE(P.Open());
  EXPECT_EQ(P.Disp()->Sent(), "hi");
}

TEST(ComPortOpenTest, UsersHearOpenClosingAndClose) {
  std::vector<std::string> Heard;  // outlives the port, whose destruction closes it
  TMemoryPort P;
  HWND W = AllocateHWnd([&](TMessage& M) {
    Heard.push_back(M.Msg == qpw_PortOpen ? "wnd open" : M.Msg == qpw_PortClose ? "wnd close"
                                                                                : "wnd closing");
  });
  P.RegisterUserEx(W);
  P.RegisterUserCallbackEx(&Heard, [&](TQpCustomComPort*, TQpCallbackType T) {
    Heard.push_back(T == ctOpen ? "ex open" : T == ctClosing ? "ex closing" : "ex closed");
  });
  P.RegisterUserCallback(&P, [&](TQpCustomComPort*, bool Opening) {
    Heard.push_back(Opening ? "cb open" : "cb close");
  });
  P.OnPortOpen = [&](TQpCustomComPort*) { Heard.push_back("OnPortOpen"); };
  P.OnPortClose = [&](TQpCustomComPort*) { Heard.push_back("OnPortClose"); };
  P.SetOpen(true);
  P.SetOpen(false);
  const std::vector<std::string> Expected = {
      "cb open",    "ex open",    "wnd open",  "OnPortOpen", "ex closing",
      "wnd closing", "cb close", "ex closed", "wnd close", "OnPortClose"};
  EXPECT_EQ(Heard, Expected);  // last registered first
  P.DeregisterUser(W);
  P.DeregisterUserCallback(&P);
  P.DeregisterUserCallbackEx(&Heard);
  Heard.clear();
  P.SetOpen(true);
  EXPECT_EQ(Heard, std::vector<std::string>{"OnPortOpen"});
  DeallocateHWnd(W);
}

TEST(ComPortOpenTest, OpenRequestedWhileLoadingHappensInLoaded) {
  ScopedScriptedDialogs Script;
  TMemoryPort P;
  P.BeginLoading();
  P.SetOpen(true);
  EXPECT_EQ(P.PortState(), psClosed);
  P.Loaded();
  EXPECT_EQ(P.PortState(), psOpen);
  // A failing open while loading is reported, not raised, and leaves the port closed.
  TMemoryPort Q;
  Q.Configure = [](TMemoryDispatcher& D) { D.OpenErrno = ENOENT; };
  Q.BeginLoading();
  Q.SetOpen(true);
  Q.Loaded();
  EXPECT_FALSE(Q.Open());
  EXPECT_EQ(Q.FDispatcher, nullptr);
}

TEST(ComPortEventTest, AnEventAssignedWhileOpenTakesEffect) {
  TMemoryPort P;
  P.SetOpen(true);
  ASSERT_TRUE(P.Open());
  std::string Got, Lines;
  P.OnTriggerAvail = [&](TQpCustomComPort* CP, std::uint16_t Count) {
    for (int I = 0; I < Count; ++I) Got += char(CP->GetChar());
  };
  P.Disp()->Feed("ab");
  ASSERT_TRUE(WaitFor([&] { return Got == "ab"; }));
  // Cleared, the port's window gets nothing more; assigned again, the bytes come.
  P.OnTriggerAvail = nullptr;
  P.OnTriggerData = [&](TQpCustomComPort*, std::uint16_t) { Lines += "|"; };
  P.AddDataTrigger("\r", false);
  P.Disp()->Feed("c\r");
  ASSERT_TRUE(WaitFor([&] { return Lines == "|"; }));
  EXPECT_EQ(Got, "ab");
  P.SetOpen(false);
  ASSERT_TRUE(WaitFor([&] { return !P.Open(); }));
}

class ComPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    P.SetBaud(9600);
    P.OnTriggerAvail = [this](TQpCustomComPort* CP, std::uint16_t Count) {
      Counts.push_back(Count);
      if (Handler) Handler(CP, Count);
      else
        for (int I = 0; I < Count; ++I) Received += char(CP->GetChar());
    };
    P.SetOpen(true);
    ASSERT_TRUE(P.Open());
  }
  void TearDown() override {
    P.SetOpen(false);
    ASSERT_TRUE(WaitFor([&] { return !P.Open(); }));
  }
  TMemoryPort P;
  std::string Received;
  std::vector<int> Counts;
  std::function<void(TQpCustomComPort*, std::uint16_t)> Handler;
};

TEST_F(ComPortTest, BytesReachOnTriggerAvailOnTheGuiThread) {
  bool OnGui = true;
  Handler = [&](TQpCustomComPort* CP, std::uint16_t Count) {
    OnGui = OnGui && IsGuiThread();
    for (int I = 0; I < Count; ++I) Received += char(CP->GetChar());
  };
  std::thread Device([&] { P.Disp()->Feed("[C5010203]\r"); });
  Device.join();
  ASSERT_TRUE(WaitFor([&] { return Received.size() == 11; }));
  EXPECT_EQ(Received, "[C5010203]\r");
  EXPECT_TRUE(OnGui);
  EXPECT_EQ(P.InBuffUsed(), 0u);
  P.PutString("[C105350103]\r");
  P.FlushOutBuffer();
  EXPECT_EQ(P.Disp()->Sent(), "[C105350103]\r");
}

TEST_F(ComPortTest, ReadingPastTheAnnouncedBytesRaises) {
  bool Raised = false;
  Handler = [&](TQpCustomComPort* CP, std::uint16_t Count) {
    for (int I = 0; I < Count; ++I) Received += char(CP->GetChar());
    try {
      CP->GetChar();
    } catch (const EBufferIsEmpty&) {
      Raised = true;
    }
  };
  P.Disp()->Feed("abc");
  ASSERT_TRUE(WaitFor([&] { return Raised; }));
  EXPECT_EQ(Received, "abc");
}

TEST_F(ComPortTest, MethodReceiverAndWindowSeeTheSameBytes) {
  std::mutex Lock;
  std::string Terminal;
  auto D = P.Disp();
  D->RegisterEventTriggerHandler(&Terminal, [&](UINT Msg, WPARAM Count, LPARAM) {
    if (Msg != qpw_TriggerAvail) return;
    std::string Got(Count, '\0');
    if (D->GetBlock(Got.data(), Count) == int(Count)) {
      std::lock_guard<std::mutex> G(Lock);
      Terminal += Got;
    }
  });
  D->Feed("status line\r");
  ASSERT_TRUE(WaitFor([&] { return Received.size() == 12; }));
  std::lock_guard<std::mutex> G(Lock);
  EXPECT_EQ(Terminal, "status line\r");
  EXPECT_EQ(Received, "status line\r");
  D->DeregisterEventTriggerHandler(&Terminal);
}

TEST_F(ComPortTest, SyncMethodReceiverRunsOnTheGuiThread) {
  bool OnGui = false;
  int Calls = 0;
  auto D = P.Disp();
  D->RegisterSyncEventTriggerHandler(&Calls, [&](UINT Msg, WPARAM, LPARAM) {
    if (Msg != qpw_TriggerAvail) return;
    OnGui = IsGuiThread();
    ++Calls;
  });
  D->Feed("q");
  ASSERT_TRUE(WaitFor([&] { return Calls > 0 && Received == "q"; }));
  EXPECT_TRUE(OnGui);
  D->DeregisterEventTriggerHandler(&Calls);
}

TEST_F(ComPortTest, WaitForStringReadsUntilTheStringArrives) {
  std::string Seen;
  P.OnWaitChar = [&](TQpCustomComPort*, std::uint8_t C) { Seen += char(C); };
  P.PrepareWait();  // no notification takes the bytes meanwhile
  P.Disp()->Feed("noise OK tail");
  EXPECT_TRUE(P.WaitForString("ok", 180, true, true));
  EXPECT_EQ(Seen, "noise OK");
  P.PrepareWait();
  EXPECT_EQ(P.WaitForMultiString("x|tail", 180, true, false, '|'), 2);
  P.PrepareWait();
  EXPECT_FALSE(P.WaitForString("never", 2, false, false));
  EXPECT_TRUE(Received.empty());
}

// Waits for Cond without handling any message (the GUI thread stays deaf meanwhile).
bool WaitDeaf(const std::function<bool()>& Cond, int TimeoutMs) {
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  while (!Cond()) {
    if (std::chrono::steady_clock::now() > Deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

TEST_F(ComPortTest, ANotificationThatTimedOutIsDroppedAndItsBytesKept) {
  auto D = P.Disp();
  D->Feed("late");
  // The GUI thread does not answer: the dispatcher gives up after its time-out.
  ASSERT_TRUE(WaitDeaf([&] { return D->EventBusy(); }, 10000));
  ASSERT_TRUE(WaitDeaf([&] { return !D->EventBusy(); }, 10000));
  WaitFor([] { return false; }, 100);
  EXPECT_TRUE(Counts.empty());  // never handled late
  EXPECT_EQ(D->InBuffUsed(), 4u);
  D->Feed("!");
  ASSERT_TRUE(WaitFor([&] { return Received == "late!"; }));
  EXPECT_EQ(Counts, std::vector<int>{5});
}

TEST_F(ComPortTest, CloseWhileANotificationWaitsForTheGuiThread) {
  auto D = P.Disp();
  D->Feed("abc");
  ASSERT_TRUE(WaitDeaf([&] { return D->EventBusy(); }, 10000));
  P.SetOpen(false);  // the dispatcher thread is waiting for us: the close is deferred
  EXPECT_EQ(P.PortState(), psShuttingDown);
  ASSERT_TRUE(WaitFor([&] { return !P.Open(); }));
  EXPECT_TRUE(Counts.empty());  // the stale notification raised no event
  EXPECT_EQ(D->ActiveThreads, 0);
}

TEST_F(ComPortTest, LargeInputIsDeliveredWhole) {
  std::string Big;
  for (int I = 0; I < 50000; ++I) Big += char('a' + I % 26);
  P.Disp()->Feed(Big, 4096);
  ASSERT_TRUE(WaitFor([&] { return Received.size() == Big.size(); }, 20000));
  EXPECT_EQ(Received, Big);
  for (int C : Counts) EXPECT_LE(C, int(DispatchBufferSize));
}

TEST_F(ComPortTest, CloseInsideTheHandlerFinishesAfterIt) {
  std::weak_ptr<TMemoryDispatcher> Old = P.Disp();
  Handler = [&](TQpCustomComPort* CP, std::uint16_t Count) {
    Received += char(CP->GetChar());
    CP->SetOpen(false);
    EXPECT_TRUE(CP->Open());  // still true until the close completes
    EXPECT_EQ(CP->GetChar(), 0);  // shutting down: neutral
    (void)Count;
  };
  P.Disp()->Feed("xyz");
  ASSERT_TRUE(WaitFor([&] { return !P.Open(); }));
  EXPECT_EQ(Received, "x");
  EXPECT_EQ(P.PortState(), psClosed);
  ASSERT_TRUE(WaitFor([&] {
    const auto D = Old.lock();
    return !D || D->ActiveThreads == 0;
  }));
  EXPECT_FALSE(Old.lock() && Old.lock()->Active());
}

TEST_F(ComPortTest, OpenWhileTheCloseIsPendingOpensAfterIt) {
  std::shared_ptr<TMemoryDispatcher> First = P.Disp();
  Handler = [&](TQpCustomComPort* CP, std::uint16_t Count) {
    for (int I = 0; I < Count; ++I) Received += char(CP->GetChar());
    if (Received == "one") {
      CP->SetOpen(false);
      CP->SetOpen(true);
    }
  };
  First->Feed("one");
  ASSERT_TRUE(WaitFor([&] { return P.Disp() != First && P.PortState() == psOpen; }));
  EXPECT_TRUE(P.Open());
  EXPECT_EQ(First->ActiveThreads, 0);
  P.Disp()->Feed("two");
  ASSERT_TRUE(WaitFor([&] { return Received == "onetwo"; }));
}

TEST_F(ComPortTest, ChangingTheNumberReopensAndKeepsTriggers) {
  std::vector<int> Data;
  P.OnTriggerData = [&](TQpCustomComPort*, std::uint16_t H) { Data.push_back(H); };
  const std::uint32_t H = P.AddDataTrigger("OK", false);
  auto First = P.Disp();
  P.SetComNumber(2);
  EXPECT_TRUE(P.Open());
  EXPECT_NE(P.Disp(), First);
  EXPECT_EQ(P.Disp()->OpenedName, "\\\\.\\COM2");
  P.Disp()->Feed("xxOK");
  ASSERT_TRUE(WaitFor([&] { return !Data.empty(); }));
  EXPECT_EQ(Data[0], int(H));
}

TEST_F(ComPortTest, HandlerErrorsAreShownAndDeliveryGoesOn) {
  ScopedScriptedDialogs Script;
  Handler = [&](TQpCustomComPort* CP, std::uint16_t Count) {
    for (int I = 0; I < Count; ++I) Received += char(CP->GetChar());
    if (Received == "a") throw std::runtime_error("handler failed");
  };
  P.Disp()->Feed("a");
  ASSERT_TRUE(WaitFor([&] { return !Script->Errors.empty(); }));
  EXPECT_EQ(Script->Errors[0], "handler failed");
  P.Disp()->Feed("b");
  ASSERT_TRUE(WaitFor([&] { return Received == "ab"; }));
}

TEST_F(ComPortTest, LineAndStatusEvents) {
  std::vector<std::pair<int, bool>> LineErrors;
  int Sent = 0;
  P.OnTriggerLineError = [&](TQpCustomComPort*, std::uint16_t E, bool B) { LineErrors.push_back({E, B}); };
  P.OnTriggerOutSent = [&](TQpCustomComPort*) { ++Sent; };
  P.UpdateHandlerFlag();
  const std::uint32_t Line = P.AddStatusTrigger(stLine);
  P.SetStatusTrigger(Line, lsBreak | lsFraming, true);
  const std::uint32_t Out = P.AddStatusTrigger(stOutSent);
  P.SetStatusTrigger(Out, 0, true);
  P.Disp()->PendingLineErrors = ce_Break;
  P.Disp()->FeedStatus(ev_Break);
  ASSERT_TRUE(WaitFor([&] { return !LineErrors.empty(); }));
  EXPECT_EQ(LineErrors[0], std::make_pair(int(leNoError), true));  // a break alone
  P.PutString("x");
  ASSERT_TRUE(WaitFor([&] { return Sent == 1; }));
  P.PutString("y");
  WaitFor([] { return false; }, 200);  // a second write without re-arming fires nothing
  EXPECT_EQ(Sent, 1);
}

TEST_F(ComPortTest, FlowAndModemProperties) {
  auto D = P.Disp();
  P.SetHWFlowOptions(hwfUseDTR);
  EXPECT_TRUE(D->DTRAuto);
  P.SetDTR(false);  // the flow control owns the line
  EXPECT_TRUE(P.DTR());
  P.SetHWFlowOptions(0);
  P.SetDTR(false);
  EXPECT_FALSE(P.DTR());
  EXPECT_FALSE(D->DtrOn);

  TMemoryPort Q;
  Q.SetBufferFull(0);
  Q.SetHWFlowOptions(hwfRequireCTS);
  EXPECT_EQ(Q.BufferFull(), 3686);
  EXPECT_EQ(Q.BufferResume(), 410);

  D->ModemLines = CTSMask;
  D->FeedStatus(ev_Cts);
  ASSERT_TRUE(WaitFor([&] { return P.CTS(); }));
  EXPECT_EQ(P.FlowState(), fcOff);
  P.SetBaud(19200);
  EXPECT_EQ(D->DeviceDCB.BaudRate, 19200u);
}

TEST(DispatcherThreadTest, WorkerErrorsReachTheUserOnTheGuiThread) {
  struct GuiCheckingDialogs : ScriptedDialogs {
    void ErrorBox(const std::string& Text) override {
      OffGui = OffGui || !IsGuiThread();
      ScriptedDialogs::ErrorBox(Text);
    }
    bool OffGui = false;
  };
  auto Checking = std::make_shared<GuiCheckingDialogs>();
  auto Old = SetDialogs(Checking);
  struct Restore {
    std::shared_ptr<Dialogs> D;
    ~Restore() { SetDialogs(D); }
  } RestoreDialogs{Old};
  GuiCheckingDialogs* Script = Checking.get();
  auto D = std::make_shared<TMemoryDispatcher>(nullptr);
  D->UseThread = false;
  struct Failing : TQpDispatcherThread {
    using TQpDispatcherThread::TQpDispatcherThread;
    void Execute() override {
      H->ThreadStart(this);
      ReturnValue = ecDeviceRead;
      H->ThreadGone(this);
    }
  };
  auto T = std::make_shared<Failing>(D);
  T->Start();
  ASSERT_TRUE(WaitFor([&] { return !Script->Errors.empty(); }));
  EXPECT_EQ(Script->Errors[0], "Device read error");
  EXPECT_FALSE(Script->OffGui);
  ASSERT_TRUE(WaitFor([&] { return D->ActiveThreads == 0; }));
  D->Destroy();
}

}  // namespace

namespace {
TEST(DispatcherThreadTest, AnAbandonedDispatcherEndsItsThread) {
  auto D = std::make_shared<TMemoryDispatcher>(nullptr);
  ASSERT_EQ(D->InitPort("mem", 9600, 0, 8, 1, 4096, 64, 0), 0);
  std::weak_ptr<TMemoryDispatcher> W = D;
  ASSERT_TRUE(D->Active());
  D.reset();  // no Destroy, no close
  ASSERT_TRUE(WaitFor([&] { return W.expired(); }));
}
}  // namespace

namespace {

// Timer triggers through the dispatcher thread, which sleeps until the soonest one is due: each
// fires once per arming, never before its time, also when armed while the thread sleeps.
TEST_F(ComPortTest, TimerTriggersFireOnTimeFromASleepingDispatcher) {
  using Clock = std::chrono::steady_clock;
  std::vector<std::pair<int, Clock::time_point>> Fired;
  P.OnTriggerTimer = [&](TQpCustomComPort*, std::uint16_t H) { Fired.emplace_back(H, Clock::now()); };
  const int Slow = int(P.AddTimerTrigger()), Fast = int(P.AddTimerTrigger());
  // Idle first: the thread is asleep with nothing due.
  EXPECT_FALSE(WaitFor([&] { return !Fired.empty(); }, 300));
  const auto Armed = Clock::now();
  P.SetTimerTrigger(Slow, 6, true);  // 330 ms
  P.SetTimerTrigger(Fast, 2, true);  // 110 ms: armed later, due sooner
  ASSERT_TRUE(WaitFor([&] { return Fired.size() == 2; }));
  EXPECT_EQ(Fired[0].first, Fast);
  EXPECT_EQ(Fired[1].first, Slow);
  // A tick timer counts whole 55 ms ticks from the tick it was armed in.
  EXPECT_GE(Fired[0].second - Armed, std::chrono::milliseconds(55));
  EXPECT_GE(Fired[1].second - Armed, std::chrono::milliseconds(5 * 55));
  EXPECT_FALSE(WaitFor([&] { return Fired.size() > 2; }, 300));  // once per arming
  P.SetTimerTrigger(Fast, 1, true);
  ASSERT_TRUE(WaitFor([&] { return Fired.size() == 3; }));
  EXPECT_EQ(Fired[2].first, Fast);
}

// With no timer trigger armed, the open port's dispatcher thread sleeps until woken: no look a
// second (a laptop left running for weeks should not be woken for nothing).
TEST_F(ComPortTest, AnIdlePortsDispatcherThreadStaysAsleep) {
  EXPECT_FALSE(WaitFor([] { return false; }, 200));  // past the start-up
  const long Before = ThreadSwitchesOf("port-dispatch");
  ASSERT_GT(Before, 0);
  EXPECT_FALSE(WaitFor([] { return false; }, 1500));
  EXPECT_EQ(ThreadSwitchesOf("port-dispatch"), Before);
  // Still awake for what comes: input is delivered at once.
  P.Disp()->Feed("x");
  ASSERT_TRUE(WaitFor([&] { return Received == "x"; }));
}

}  // namespace
