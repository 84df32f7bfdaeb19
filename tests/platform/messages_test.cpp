#include <gtest/gtest.h>

#include <QThread>

#include <atomic>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/error_handler.h"
#include "platform/messages.h"
#include "test_support.h"

namespace {

struct Recorder {
  std::vector<UINT> Messages;
  std::vector<bool> OnGui;
  HWND Wnd = AllocateHWnd([this](TMessage& M) {
    Messages.push_back(M.Msg);
    OnGui.push_back(IsGuiThread());
    M.Result = LRESULT(M.WParam * 2);
  });
  ~Recorder() { DeallocateHWnd(Wnd); }
};

}  // namespace

TEST(Messages, PostedMessagesArriveInOrderOnTheGuiThread) {
  Recorder R;
  std::thread Worker([&] {
    for (UINT I = 0; I < 50; ++I) PostMessage(R.Wnd, WM_USER + I, 0, 0);
  });
  Worker.join();
  ASSERT_TRUE(WaitFor([&] { return R.Messages.size() == 50; }));
  for (UINT I = 0; I < 50; ++I) EXPECT_EQ(R.Messages[I], WM_USER + I);
  for (bool G : R.OnGui) EXPECT_TRUE(G);
}

TEST(Messages, MessagesToAReleasedHandleAreDropped) {
  Recorder R;
  HWND Wnd = R.Wnd;
  PostMessage(Wnd, WM_USER, 0, 0);
  DeallocateHWnd(Wnd);
  EXPECT_FALSE(IsWindow(Wnd));
  EXPECT_FALSE(PostMessage(Wnd, WM_USER + 1, 0, 0));
  EXPECT_FALSE(SendMessageTimeout(Wnd, WM_USER + 2, 0, 0, 100));
  ProcessMessages();
  EXPECT_TRUE(R.Messages.empty());
  // A handle is never handed out twice, so a stale one cannot reach a new window.
  Recorder Other;
  EXPECT_NE(Other.Wnd, Wnd);
}

TEST(Messages, SendFromGuiThreadIsADirectCall) {
  Recorder R;
  EXPECT_EQ(SendMessage(R.Wnd, WM_USER, 21, 0), 42);
  EXPECT_EQ(R.Messages.size(), 1u);
}

TEST(Messages, SendFromWorkerRunsOnGuiThreadAndReturnsResult) {
  Recorder R;
  auto Result = std::async(std::launch::async, [&] {
    LRESULT Value = 0;
    bool Ok = SendMessageTimeout(R.Wnd, WM_USER, 5, 0, 5000, &Value);
    return Ok ? Value : -1;
  });
  ASSERT_TRUE(WaitFor([&] { return Result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
  EXPECT_EQ(Result.get(), 10);
  ASSERT_EQ(R.OnGui.size(), 1u);
  EXPECT_TRUE(R.OnGui[0]);
}

TEST(Messages, TimedOutSendIsNeverDeliveredLate) {
  Recorder R;
  // The GUI thread does not run its loop while the worker sends, so the send times out.
  auto Sent = std::async(std::launch::async, [&] { return SendMessageTimeout(R.Wnd, WM_USER, 1, 0, 50); });
  EXPECT_FALSE(Sent.get());
  PostMessage(R.Wnd, WM_USER + 1, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return !R.Messages.empty(); }));
  ProcessMessages();
  EXPECT_EQ(R.Messages, std::vector<UINT>{WM_USER + 1});
}

TEST(Messages, GuiWaitingOnAWorkerStillTakesItsSends) {
  Recorder R;
  std::atomic<bool> Finished{false};
  std::atomic<bool> Delivered{false};
  std::thread Worker([&] {
    Delivered = SendMessageTimeout(R.Wnd, WM_USER, 3, 0, 3000);
    Finished = true;
    WakeMessageWaiters();
  });
  // Without handling sends while waiting, this would stall until the worker's time-out.
  EXPECT_TRUE(WaitWithMessages([&] { return Finished.load(); }, 10000));
  Worker.join();
  EXPECT_TRUE(Delivered);
  EXPECT_EQ(R.Messages.size(), 1u);
}

TEST(Messages, HandleCanBeReleasedFromItsOwnProcedure) {
  int Calls = 0;
  HWND Wnd = 0;
  Wnd = AllocateHWnd([&](TMessage&) {
    ++Calls;
    DeallocateHWnd(Wnd);
  });
  PostMessage(Wnd, WM_USER, 0, 0);
  PostMessage(Wnd, WM_USER, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return Calls > 0; }));
  ProcessMessages();
  EXPECT_EQ(Calls, 1);
}

TEST(Messages, WindowTimerDeliversUntilKilled) {
  Recorder R;
  ASSERT_NE(SetTimer(R.Wnd, 7, 5), 0u);
  ASSERT_TRUE(WaitFor([&] { return R.Messages.size() >= 3; }));
  EXPECT_TRUE(KillTimer(R.Wnd, 7));
  EXPECT_FALSE(KillTimer(R.Wnd, 7));
  const size_t Count = R.Messages.size();
  // Post a marker after the kill: once it arrives, no tick may have come in between.
  PostMessage(R.Wnd, WM_USER, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return R.Messages.back() == WM_USER; }));
  EXPECT_EQ(R.Messages.size(), Count + 1);
  for (size_t I = 0; I < Count; ++I) EXPECT_EQ(R.Messages[I], WM_TIMER);
}

TEST(ErrorHandler, ErrorInAProcedureIsShownAndTheLoopGoesOn) {
  ScopedScriptedDialogs Script;
  int After = 0;
  HWND Wnd = AllocateHWnd([&](TMessage& M) {
    if (M.Msg == WM_USER) throw std::runtime_error("Boom in handler");
    ++After;
  });
  PostMessage(Wnd, WM_USER, 0, 0);
  PostMessage(Wnd, WM_USER + 1, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return After == 1; }));
  EXPECT_EQ(Script->Errors, std::vector<std::string>{"Boom in handler"});
  DeallocateHWnd(Wnd);
}

TEST(ErrorHandler, WorkerErrorIsShownOnTheGuiThread) {
  struct ThreadCheckingDialogs : ScriptedDialogs {
    void ErrorBox(const std::string& Text) override {
      ScriptedDialogs::ErrorBox(Text);
      OnGui = IsGuiThread();
    }
    bool OnGui = false;
  };
  auto Script = std::make_shared<ThreadCheckingDialogs>();
  auto Old = SetDialogs(Script);
  std::thread Worker([] { GuardedCall([] { throw std::runtime_error("worker failed"); }); });
  Worker.join();
  EXPECT_TRUE(WaitFor([&] { return !Script->Errors.empty(); }));
  EXPECT_EQ(Script->Errors.at(0), "worker failed");
  EXPECT_TRUE(Script->OnGui);
  SetDialogs(Old);
}

TEST(ErrorHandler, NonStandardExceptionStillGivesAText) {
  ScopedScriptedDialogs Script;
  GuardedCall([] { throw 42; });
  ASSERT_EQ(Script->Errors.size(), 1u);
  EXPECT_EQ(Script->Errors[0], "Unknown error");
}

TEST(Dialogs, ScriptedInputBoxReturnsDefaultOnCancel) {
  ScopedScriptedDialogs Script;
  Script->Answers = {std::nullopt, std::string("New")};
  EXPECT_EQ(GetDialogs().InputBox("T", "P", "Old"), "Old");
  EXPECT_EQ(GetDialogs().InputBox("T", "P", "Old"), "New");
  EXPECT_EQ(GetDialogs().InputBox("T", "P", "Old"), "Old");
  EXPECT_EQ(Script->Inputs.size(), 3u);
}

TEST(Clock, ThirtyTwoBitDifferenceSurvivesTheWrap) {
  EXPECT_EQ(TickDiff32(0xFFFFFFF0u, 0x10u), 0x20u);
  const auto A = GetTickCount64();
  EXPECT_GE(GetTickCount64(), A);
}
