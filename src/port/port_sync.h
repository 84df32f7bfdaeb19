#pragma once
// Synchronisation objects of the port library: a Windows-style event (auto- or manual-reset,
// waits with a time-out) and the re-entrant lock used for the dispatcher's sections.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

using TQpCriticalSection = std::recursive_mutex;
// Holds one of a dispatcher's locks for a scope.
using DispLock = std::lock_guard<TQpCriticalSection>;

enum class TWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError };

constexpr std::uint32_t INFINITE_WAIT = 0xFFFFFFFFu;

class TQpEvent {
 public:
  explicit TQpEvent(bool ManualReset = false, bool InitialState = false)
      : FManualReset(ManualReset), FSignaled(InitialState) {}
  TQpEvent(const TQpEvent&) = delete;
  TQpEvent& operator=(const TQpEvent&) = delete;

  void SetEvent() {
    {
      std::lock_guard<std::mutex> Guard(FLock);
      FSignaled = true;
    }
    if (FManualReset)
      FChanged.notify_all();
    else
      FChanged.notify_one();
  }
  void ResetEvent() {
    std::lock_guard<std::mutex> Guard(FLock);
    FSignaled = false;
  }
  // An auto-reset event is consumed by the one wait it wakes.
  TWaitResult WaitFor(std::uint32_t TimeoutMs) {
    std::unique_lock<std::mutex> Guard(FLock);
    auto Ready = [this] { return FSignaled; };
    if (TimeoutMs == INFINITE_WAIT) {
      FChanged.wait(Guard, Ready);
    } else if (!FChanged.wait_for(Guard, std::chrono::milliseconds(TimeoutMs), Ready)) {
      return TWaitResult::wrTimeout;
    }
    if (!FManualReset) FSignaled = false;
    return TWaitResult::wrSignaled;
  }
  // The same with a bound finer than a millisecond; false when it passed unsignalled.
  bool WaitUntil(std::chrono::steady_clock::time_point Deadline) {
    std::unique_lock<std::mutex> Guard(FLock);
    if (!FChanged.wait_until(Guard, Deadline, [this] { return FSignaled; })) return false;
    if (!FManualReset) FSignaled = false;
    return true;
  }
  bool IsSet() {
    std::lock_guard<std::mutex> Guard(FLock);
    return FSignaled;
  }

 private:
  const bool FManualReset;
  bool FSignaled;
  std::mutex FLock;
  std::condition_variable FChanged;
};
