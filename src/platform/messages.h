#pragma once
// Window handles, window procedures and window messages on top of the Qt event loop.
//
// The layers above are written against message-only windows: a handle names a procedure
// that runs on the GUI thread. Posting queues a message; sending from the GUI thread calls
// the procedure directly; sending from another thread hands the message to the GUI thread
// and waits, with a time-out, for it to be handled. A message for a handle that has been
// released is dropped.

#include <cstdint>
#include <functional>

using HWND = std::uintptr_t;  // 0 is "no window"; handles are never reused
using UINT = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using UINT_PTR = std::uintptr_t;

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_USER = 0x0400;

struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

using TWndMethod = std::function<void(TMessage&)>;

// A new message-only window whose messages go to Proc (always on the GUI thread).
HWND AllocateHWnd(TWndMethod Proc);
// Releases the handle; messages still queued for it are dropped. Safe from inside its own
// procedure and for a handle already released.
void DeallocateHWnd(HWND Wnd);
bool IsWindow(HWND Wnd);

bool PostMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
// Unbounded wait when called off the GUI thread; prefer SendMessageTimeout there.
LRESULT SendMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
// True when the procedure ran (Result then holds its result). False when the handle is dead
// or the time-out passed before the GUI thread took the message; such a message is never
// delivered afterwards. Once the GUI thread has begun handling it, the sender waits for the end.
bool SendMessageTimeout(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam, UINT TimeoutMs,
                        LRESULT* Result = nullptr);

// Window timers: WM_TIMER with WParam = IDEvent every Elapse ms. GUI thread only.
UINT_PTR SetTimer(HWND Wnd, UINT_PTR IDEvent, UINT Elapse);
bool KillTimer(HWND Wnd, UINT_PTR IDEvent);

bool IsGuiThread();
// Handles posted and sent messages that are waiting (the GUI thread's "process messages").
void ProcessMessages();
// Handles only messages sent from other threads; for GUI-thread waits on a worker.
void PumpSentMessages();
// On the GUI thread: waits until Done() is true or TimeoutMs passes, handling messages sent
// from other threads meanwhile so a worker that is sending to us can finish. Returns Done().
bool WaitWithMessages(const std::function<bool()>& Done, UINT TimeoutMs);
// Wakes a WaitWithMessages early (call after changing what its Done() looks at).
void WakeMessageWaiters();
// Runs Fn on the GUI thread later (from any thread), guarded like every other entry point.
void RunOnGuiThread(std::function<void()> Fn);
