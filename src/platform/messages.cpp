#include "messages.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

#if defined(__linux__)
#include <sched.h>
#endif

#include "error_handler.h"

namespace {

struct WindowEntry {
  TWndMethod Proc;
};

struct SentCall {
  enum class State { Pending, Delivering, Done, Cancelled };
  HWND Wnd = 0;
  TMessage Message;
  // Changed under Lock; read without it only by a sender watching for Done.
  std::atomic<State> CallState{State::Pending};
  std::mutex Lock;
  std::condition_variable Changed;
};

// A hand-over between a worker and the GUI thread costs two thread wake-ups when each side goes
// to sleep at once, and waking a sleeping CPU is slow on virtual machines (tens of
// microseconds). So each side first watches, for a short bounded while, for what it is about
// to wait for: a sender for the end of its call, the GUI thread (after handling a sent
// message) for the next one of a burst. Only in a burst (sent messages following each other
// closely) and only while the partner last ran on another CPU: on the same CPU watching would
// only keep the partner from running (and yielding instead hands the CPU to whatever else is
// runnable there for a whole time slice). Nothing watches when no messages flow, and sparse
// messages pay no watch either.
constexpr auto HandOverWatch = std::chrono::microseconds(50);
constexpr auto BurstGap = 4 * HandOverWatch;  // sent messages closer than this form a burst

int CurrentCpu() {
#if defined(__linux__)
  return sched_getcpu();
#else
  return -1;
#endif
}

// The CPUs the two sides of the latest hand-over ran on (-1: not known).
std::atomic<int> GuiCpu{-1};
std::atomic<int> SenderCpu{-1};
// The GUI thread is in a burst: it took the last sent message soon after the one before.
std::atomic<bool> GuiInBurst{false};
std::atomic<std::chrono::steady_clock::rep> LastTaken{0};  // when the GUI thread took one

bool PartnerElsewhere(const std::atomic<int>& Partner) {
  const int Mine = CurrentCpu();
  const int Theirs = Partner.load(std::memory_order_relaxed);
  return Mine >= 0 && Theirs >= 0 && Mine != Theirs;
}

inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(__aarch64__)
  asm volatile("yield");
#endif
}

template <class Pred>
bool WatchBriefly(Pred Ready, std::chrono::steady_clock::time_point Until) {
  for (;;) {
    if (Ready()) return true;
    if (std::chrono::steady_clock::now() >= Until) return false;
    for (int I = 0; I < 16; ++I) CpuRelax();
  }
}

// The tables a worker thread may touch are never destroyed: a thread that ends on its own
// (an abandoned dispatcher's) may still use them while the process runs its exit handlers.
std::mutex& TableLock = *new std::mutex;
std::unordered_map<HWND, std::shared_ptr<WindowEntry>>& Windows = *new std::unordered_map<HWND, std::shared_ptr<WindowEntry>>;
std::atomic<HWND> NextHandle{1};

std::mutex& SentLock = *new std::mutex;
std::condition_variable& SentArrived = *new std::condition_variable;  // also woken by WakeMessageWaiters
std::deque<std::shared_ptr<SentCall>>& SentQueue = *new std::deque<std::shared_ptr<SentCall>>;
std::atomic<std::size_t> SentQueued{0};  // SentQueue.size(), readable without SentLock
unsigned WakeGeneration = 0;
// Under SentLock: the GUI thread is blocked in WaitWithMessages or watching for the next sent
// message, and looks at the queue again before it runs anything else; a sender then needs no
// wake event in the event loop.
bool GuiTaking = false;
// A wake event is queued and its handler has not begun (a sender need not post another).
std::atomic<bool> WakePosted{false};

const QEvent::Type PostedType = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type SentWakeType = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type CallType = static_cast<QEvent::Type>(QEvent::registerEventType());

// An event made on one thread and handled on the GUI thread. Qt's queue orders the hand-over,
// but its lock lives in an uninstrumented library, so the thread sanitizer would flag every
// read of the event's fields; a release store before posting and an acquire load before
// reading make the order visible to it (and cost nothing worth measuring).
struct TCrossThreadEvent : QEvent {
  explicit TCrossThreadEvent(Type T) : QEvent(T) {}
  void Publish() { FPublished.store(true, std::memory_order_release); }
  void Receive() const { (void)FPublished.load(std::memory_order_acquire); }

 private:
  std::atomic<bool> FPublished{false};
};

struct PostedEvent : TCrossThreadEvent {
  PostedEvent(HWND W, UINT M, WPARAM WP, LPARAM LP) : TCrossThreadEvent(PostedType), Wnd(W) {
    Message.Msg = M;
    Message.WParam = WP;
    Message.LParam = LP;
    Publish();
  }
  HWND Wnd;
  TMessage Message;
};

struct CallEvent : TCrossThreadEvent {
  explicit CallEvent(std::function<void()> F) : TCrossThreadEvent(CallType), Fn(std::move(F)) { Publish(); }
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

// Handles sent messages; after one was handled, also those that follow within a brief watch.
// The number handled.
std::size_t PumpSentBurst();

class MessagePump : public QObject {
 public:
  bool event(QEvent* E) override {
    if (E->type() == PostedType) {
      auto* P = static_cast<PostedEvent*>(E);
      P->Receive();
      Deliver(P->Wnd, P->Message);
      return true;
    }
    if (E->type() == SentWakeType) {
      WakePosted.store(false);
      PumpSentBurst();
      return true;
    }
    if (E->type() == CallType) {
      auto* C = static_cast<CallEvent*>(E);
      C->Receive();
      GuardedCall(C->Fn);
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
  const auto Start = std::chrono::steady_clock::now();
  bool PostWake;
  {
    std::lock_guard<std::mutex> Guard(SentLock);
    SentQueue.push_back(Call);
    SentQueued.store(SentQueue.size());
    SenderCpu.store(CurrentCpu(), std::memory_order_relaxed);
    // A GUI thread in WaitWithMessages takes it from the queue; otherwise the event loop needs
    // one wake event, unless one is already on its way.
    PostWake = !GuiTaking && !WakePosted.exchange(true);
  }
  SentArrived.notify_all();
  if (PostWake) QCoreApplication::postEvent(Pump(), new QEvent(SentWakeType));

  auto Finished = [&] { return Call->CallState.load() == SentCall::State::Done; };
  const auto Watch = std::min<std::chrono::steady_clock::duration>(
      HandOverWatch, std::chrono::milliseconds(TimeoutMs));
  if (Watch.count() > 0 && GuiInBurst.load(std::memory_order_relaxed) &&
      PartnerElsewhere(GuiCpu) && WatchBriefly(Finished, Start + Watch)) {
    if (Result) *Result = Call->Message.Result;
    return true;
  }
  std::unique_lock<std::mutex> Guard(Call->Lock);
  if (TimeoutMs == UINT(-1)) {
    Call->Changed.wait(Guard, Finished);
  } else if (!Call->Changed.wait_until(Guard, Start + std::chrono::milliseconds(TimeoutMs),
                                       Finished)) {
    if (Call->CallState == SentCall::State::Pending) {
      Call->CallState = SentCall::State::Cancelled;  // the GUI thread will skip it
      return false;
    }
    Call->Changed.wait(Guard, Finished);  // already running: its effects must be complete
  }
  if (Result) *Result = Call->Message.Result;
  return true;
}

namespace {

std::size_t PumpSentOnce() {
  std::size_t Handled = 0;
  for (;;) {
    std::shared_ptr<SentCall> Call;
    {
      std::lock_guard<std::mutex> Guard(SentLock);
      if (SentQueue.empty()) return Handled;
      Call = SentQueue.front();
      SentQueue.pop_front();
      SentQueued.store(SentQueue.size());
    }
    {
      std::lock_guard<std::mutex> Guard(Call->Lock);
      if (Call->CallState == SentCall::State::Cancelled) continue;
      Call->CallState = SentCall::State::Delivering;
    }
    GuiCpu.store(CurrentCpu(), std::memory_order_relaxed);
    const auto Now = std::chrono::steady_clock::now().time_since_epoch().count();
    const auto Before = LastTaken.exchange(Now, std::memory_order_relaxed);
    GuiInBurst.store(std::chrono::steady_clock::duration(Now - Before) < BurstGap,
                     std::memory_order_relaxed);
    Deliver(Call->Wnd, Call->Message);
    {
      std::lock_guard<std::mutex> Guard(Call->Lock);
      Call->CallState = SentCall::State::Done;
    }
    Call->Changed.notify_all();
    ++Handled;
  }
}

std::size_t PumpSentBurst() {
  std::size_t Handled = PumpSentOnce();
  if (Handled == 0) return 0;
  while (GuiInBurst.load(std::memory_order_relaxed) && PartnerElsewhere(SenderCpu)) {
    {
      std::lock_guard<std::mutex> Guard(SentLock);
      GuiTaking = true;
    }
    WatchBriefly([] { return SentQueued.load() != 0; },
                 std::chrono::steady_clock::now() + HandOverWatch);
    {
      std::lock_guard<std::mutex> Guard(SentLock);
      GuiTaking = false;
      if (SentQueue.empty()) {
        GuiInBurst.store(false, std::memory_order_relaxed);  // the burst is over
        return Handled;
      }
    }
    Handled += PumpSentOnce();
  }
  return Handled;
}

}  // namespace

void PumpSentMessages() { PumpSentOnce(); }

void ProcessMessages() {
  PumpSentMessages();
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
  PumpSentMessages();
}

bool WaitWithMessages(const std::function<bool()>& Done, UINT TimeoutMs) {
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  const bool Gui = IsGuiThread();
  for (;;) {
    if (Gui) PumpSentBurst();
    if (Done()) return true;
    std::unique_lock<std::mutex> Guard(SentLock);
    if (!SentQueue.empty() && Gui) continue;
    if (std::chrono::steady_clock::now() >= Deadline) return Done();
    // Short slices keep Done() fresh even when its owner forgets to wake us.
    const unsigned Generation = WakeGeneration;
    if (Gui) GuiTaking = true;  // woken by the condition variable, pumps first when it is
    SentArrived.wait_until(Guard, std::min(Deadline, std::chrono::steady_clock::now() +
                                                         std::chrono::milliseconds(10)),
                           [&] { return !SentQueue.empty() || WakeGeneration != Generation; });
    if (Gui) GuiTaking = false;
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
