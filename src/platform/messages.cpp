#include "messages.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "error_handler.h"

namespace {

struct WindowEntry {
  TWndMethod Proc;
};

struct SentCall {
  enum class State { Pending, Delivering, Done, Cancelled };
  HWND Wnd = 0;
  TMessage Message;
  State CallState = State::Pending;
  std::mutex Lock;
  std::condition_variable Changed;
};

std::mutex TableLock;
std::unordered_map<HWND, std::shared_ptr<WindowEntry>> Windows;
std::atomic<HWND> NextHandle{1};

std::mutex SentLock;
std::condition_variable SentArrived;  // also woken by WakeMessageWaiters
std::deque<std::shared_ptr<SentCall>> SentQueue;
unsigned WakeGeneration = 0;

const QEvent::Type PostedType = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type SentWakeType = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type CallType = static_cast<QEvent::Type>(QEvent::registerEventType());

struct PostedEvent : QEvent {
  PostedEvent(HWND W, UINT M, WPARAM WP, LPARAM LP) : QEvent(PostedType), Wnd(W) {
    Message.Msg = M;
    Message.WParam = WP;
    Message.LParam = LP;
  }
  HWND Wnd;
  TMessage Message;
};

struct CallEvent : QEvent {
  explicit CallEvent(std::function<void()> F) : QEvent(CallType), Fn(std::move(F)) {}
  std::function<void()> Fn;
};

std::shared_ptr<WindowEntry> FindWindow(HWND Wnd) {
  std::lock_guard<std::mutex> Guard(TableLock);
  auto It = Windows.find(Wnd);
  return It == Windows.end() ? nullptr : It->second;
}

void Deliver(HWND Wnd, TMessage& Message) {
  auto Entry = FindWindow(Wnd);
  if (!Entry) return;  // released: dropped
  GuardedCall([&] { Entry->Proc(Message); });
}

class MessagePump : public QObject {
 public:
  bool event(QEvent* E) override {
    if (E->type() == PostedType) {
      auto* P = static_cast<PostedEvent*>(E);
      Deliver(P->Wnd, P->Message);
      return true;
    }
    if (E->type() == SentWakeType) {
      PumpSentMessages();
      return true;
    }
    if (E->type() == CallType) {
      GuardedCall(static_cast<CallEvent*>(E)->Fn);
      return true;
    }
    return QObject::event(E);
  }
};

MessagePump* Pump() {
  static MessagePump* Instance = [] {
    auto* P = new MessagePump;
    if (auto* App = QCoreApplication::instance(); App && P->thread() != App->thread())
      P->moveToThread(App->thread());
    return P;
  }();
  return Instance;
}

struct TimerKey {
  HWND Wnd;
  UINT_PTR Id;
  bool operator<(const TimerKey& O) const { return Wnd != O.Wnd ? Wnd < O.Wnd : Id < O.Id; }
};
std::map<TimerKey, QTimer*> Timers;  // GUI thread only

}  // namespace

HWND AllocateHWnd(TWndMethod Proc) {
  Pump();  // the pump must belong to the GUI thread before any worker posts
  HWND Wnd = NextHandle.fetch_add(1);
  auto Entry = std::make_shared<WindowEntry>();
  Entry->Proc = std::move(Proc);
  std::lock_guard<std::mutex> Guard(TableLock);
  Windows.emplace(Wnd, std::move(Entry));
  return Wnd;
}

void DeallocateHWnd(HWND Wnd) {
  if (Wnd == 0) return;
  {
    std::lock_guard<std::mutex> Guard(TableLock);
    Windows.erase(Wnd);
  }
  if (IsGuiThread()) {
    for (auto It = Timers.begin(); It != Timers.end();) {
      if (It->first.Wnd == Wnd) {
        It->second->deleteLater();
        It = Timers.erase(It);
      } else {
        ++It;
      }
    }
  }
}

bool IsWindow(HWND Wnd) { return FindWindow(Wnd) != nullptr; }

bool IsGuiThread() {
  auto* App = QCoreApplication::instance();
  return App && QThread::currentThread() == App->thread();
}

bool PostMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (!IsWindow(Wnd)) return false;
  QCoreApplication::postEvent(Pump(), new PostedEvent(Wnd, Msg, WParam, LParam));
  return true;
}

LRESULT SendMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  LRESULT Result = 0;
  SendMessageTimeout(Wnd, Msg, WParam, LParam, UINT(-1), &Result);
  return Result;
}

bool SendMessageTimeout(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam, UINT TimeoutMs,
                        LRESULT* Result) {
  if (!IsWindow(Wnd)) return false;
  if (IsGuiThread()) {
    TMessage Message{Msg, WParam, LParam, 0};
    Deliver(Wnd, Message);
    if (Result) *Result = Message.Result;
    return true;
  }
  auto Call = std::make_shared<SentCall>();
  Call->Wnd = Wnd;
  Call->Message = TMessage{Msg, WParam, LParam, 0};
  {
    std::lock_guard<std::mutex> Guard(SentLock);
    SentQueue.push_back(Call);
  }
  SentArrived.notify_all();
  QCoreApplication::postEvent(Pump(), new QEvent(SentWakeType));

  std::unique_lock<std::mutex> Guard(Call->Lock);
  auto Finished = [&] { return Call->CallState == SentCall::State::Done; };
  if (TimeoutMs == UINT(-1)) {
    Call->Changed.wait(Guard, Finished);
  } else if (!Call->Changed.wait_for(Guard, std::chrono::milliseconds(TimeoutMs), Finished)) {
    if (Call->CallState == SentCall::State::Pending) {
      Call->CallState = SentCall::State::Cancelled;  // the GUI thread will skip it
      return false;
    }
    Call->Changed.wait(Guard, Finished);  // already running: its effects must be complete
  }
  if (Result) *Result = Call->Message.Result;
  return true;
}

void PumpSentMessages() {
  for (;;) {
    std::shared_ptr<SentCall> Call;
    {
      std::lock_guard<std::mutex> Guard(SentLock);
      if (SentQueue.empty()) return;
      Call = SentQueue.front();
      SentQueue.pop_front();
    }
    {
      std::lock_guard<std::mutex> Guard(Call->Lock);
      if (Call->CallState == SentCall::State::Cancelled) continue;
      Call->CallState = SentCall::State::Delivering;
    }
    Deliver(Call->Wnd, Call->Message);
    {
      std::lock_guard<std::mutex> Guard(Call->Lock);
      Call->CallState = SentCall::State::Done;
    }
    Call->Changed.notify_all();
  }
}

void ProcessMessages() {
  PumpSentMessages();
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
  PumpSentMessages();
}

bool WaitWithMessages(const std::function<bool()>& Done, UINT TimeoutMs) {
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  for (;;) {
    if (IsGuiThread()) PumpSentMessages();
    if (Done()) return true;
    std::unique_lock<std::mutex> Guard(SentLock);
    if (!SentQueue.empty() && IsGuiThread()) continue;
    if (std::chrono::steady_clock::now() >= Deadline) return Done();
    // Short slices keep Done() fresh even when its owner forgets to wake us.
    const unsigned Generation = WakeGeneration;
    SentArrived.wait_until(Guard, std::min(Deadline, std::chrono::steady_clock::now() +
                                                         std::chrono::milliseconds(10)),
                           [&] { return !SentQueue.empty() || WakeGeneration != Generation; });
  }
}

void WakeMessageWaiters() {
  {
    std::lock_guard<std::mutex> Guard(SentLock);
    ++WakeGeneration;
  }
  SentArrived.notify_all();
}

void RunOnGuiThread(std::function<void()> Fn) {
  QCoreApplication::postEvent(Pump(), new CallEvent(std::move(Fn)));
}

UINT_PTR SetTimer(HWND Wnd, UINT_PTR IDEvent, UINT Elapse) {
  if (!IsWindow(Wnd) || !IsGuiThread()) return 0;
  KillTimer(Wnd, IDEvent);
  auto* Timer = new QTimer(Pump());
  Timer->setInterval(int(Elapse));
  QObject::connect(Timer, &QTimer::timeout, Timer, [Wnd, IDEvent] {
    if (!IsWindow(Wnd)) {
      KillTimer(Wnd, IDEvent);
      return;
    }
    TMessage Message{WM_TIMER, IDEvent, 0, 0};
    Deliver(Wnd, Message);
  });
  Timers[{Wnd, IDEvent}] = Timer;
  Timer->start();
  return IDEvent == 0 ? 1 : IDEvent;
}

bool KillTimer(HWND Wnd, UINT_PTR IDEvent) {
  auto It = Timers.find({Wnd, IDEvent});
  if (It == Timers.end()) return false;
  It->second->stop();
  It->second->deleteLater();
  Timers.erase(It);
  return true;
}
