#pragma once
// Trigger and notification vocabulary of the dispatcher: notification messages, trigger types
// and records, receiver records, and the 55 ms tick timers used by timer triggers and waits.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/messages.h"

// Notification messages. wParam and the low 16 bits of lParam as listed; the high 16 bits of
// lParam always carry the dispatcher's handle.
constexpr UINT qpw_First = 32256;
constexpr UINT qpw_TriggerAvail = 32257;   // wParam: bytes announced
constexpr UINT qpw_TriggerData = 32258;    // wParam: data trigger handle; lParam low: length
constexpr UINT qpw_TriggerTimer = 32259;   // wParam: timer trigger handle
constexpr UINT qpw_TriggerStatus = 32260;  // wParam: status trigger handle; lParam low: value
constexpr UINT qpw_PortOpen = 32264;
constexpr UINT qpw_PortClose = 32265;
constexpr UINT qpw_ClosePending = 32266;

// A notification's lParam: the dispatcher's handle above, the message's own value below.
inline LPARAM MakeNotifyLParam(std::int32_t Handle, std::uint32_t Low = 0) {
  return static_cast<LPARAM>((static_cast<std::uint32_t>(Handle) << 16) | (Low & 0xFFFF));
}
inline int NotifyIndex(LPARAM lParam) { return static_cast<int>((static_cast<std::uint32_t>(lParam) >> 16) & 0xFFFF); }
inline std::uint32_t NotifyValue(LPARAM lParam) { return static_cast<std::uint32_t>(lParam) & 0xFFFF; }

enum TTriggerType { ttNone = 0, ttAvail = 1, ttTimer = 2, ttData = 3, ttStatus = 4 };

// Status trigger types (low 3 bits of a status trigger's handle).
constexpr std::uint32_t stNotActive = 0;
constexpr std::uint32_t stModem = 1;
constexpr std::uint32_t stLine = 2;
constexpr std::uint32_t stOutBuffFree = 3;
constexpr std::uint32_t stOutBuffUsed = 4;
constexpr std::uint32_t stOutSent = 5;
constexpr std::uint32_t StatusTypeMask = 7;

constexpr std::uint32_t MaxTrigData = 21;
constexpr std::uint32_t MaxTriggerHandle = 4096;
constexpr std::uint32_t FirstTriggerCounter = 1;
constexpr std::uint32_t AvailTriggerHandle = 1;

// ---- tick timers (one tick = 55 ms of the millisecond clock) ----
constexpr std::int32_t MaxTicks = 39045157;
constexpr std::uint32_t TickMs = 55;

// Ticks are counted on the 64-bit clock, so expiry stays right past the 32-bit wrap.
struct EventTimer {
  std::int64_t StartTicks = 0;
  std::int64_t ExpireTicks = 0;
};

std::uint32_t QpTimeGetTime();
void NewTimer(EventTimer& ET, std::int32_t Ticks);
bool TimerExpired(const EventTimer& ET);
std::int32_t RemainingTime(const EventTimer& ET);  // in ticks, never below 0
// The same against a given reading of the 64-bit millisecond clock.
void NewTimerAt(EventTimer& ET, std::int32_t Ticks, std::uint64_t NowMs);
bool TimerExpiredAt(const EventTimer& ET, std::uint64_t NowMs);
std::int32_t RemainingTimeAt(const EventTimer& ET, std::uint64_t NowMs);
// Waits Ticks ticks; with Yield handles window messages meanwhile (GUI thread) and stops early
// on a quit request. Returns the last SafeYield result.
std::int32_t DelayTicks(std::int32_t Ticks, bool Yield);
// Handles pending window messages of the GUI thread; 0 when there were none to handle.
std::int32_t SafeYield();

// ---- trigger records ----
struct TTimerTrigger {
  std::uint32_t tHandle = 0;
  EventTimer tET;
  std::int32_t tTicks = 0;
  bool tValid = true;
  bool tActive = false;
};

using TCheckIndex = std::array<std::uint32_t, MaxTrigData + 1>;

struct TDataTrigger {
  std::uint32_t tHandle = 0;
  std::uint32_t tLen = 0;
  TCheckIndex tChkIndex{};
  bool tMatched = false;
  bool tIgnoreCase = false;
  std::array<std::uint8_t, MaxTrigData + 1> tData{};
};

struct TStatusTrigger {
  std::uint32_t tHandle = 0;
  std::uint32_t tSType = stNotActive;
  std::uint16_t tValue = 0;
  bool tSActive = false;
  bool StatusHit = false;
};

// A copy of one dispatcher's triggers, carried across a reopen.
struct TTriggerSave {
  std::uint32_t tsLenTrigger = 0;
  bool tsValid = false;
  std::vector<TTimerTrigger> tsTimerTriggers;
  std::vector<TDataTrigger> tsDataTriggers;
  std::vector<TStatusTrigger> tsStatusTriggers;
};

// ---- receivers ----
// A procedure receiver; matched by its address.
using TTriggerNotifyProc = void (*)(UINT Msg, WPARAM wParam, LPARAM lParam);
// A method receiver; Code is its identity for deregistration (the object or method address).
using TTriggerEvent = std::function<void(UINT Msg, WPARAM wParam, LPARAM lParam)>;

struct TWndTriggerHandler {
  HWND thWnd = 0;
  bool thDeleted = false;
};
struct TProcTriggerHandler {
  TTriggerNotifyProc thNotify = nullptr;
  bool thDeleted = false;
};
struct TEventTriggerHandler {
  const void* thCode = nullptr;
  // Shared: each delivery copies the record out of the lock, and a function object's copy
  // could allocate once per receiver per notification.
  std::shared_ptr<const TTriggerEvent> thNotify;
  bool thDeleted = false;
  bool thSync = false;  // run on the GUI thread
};

enum TApHandlerFlagUpdate { fuKeepPort = 0, fuEnablePort = 1, fuDisablePort = 2 };

// One received byte against one data trigger string; true when the string is complete.
bool MatchString(TCheckIndex& Indexes, std::uint8_t C, std::uint32_t Len, const std::uint8_t* P,
                 bool IgnoreCase);
// The 8-bit upper-case mapping used for case-insensitive triggers (Latin-1).
std::uint8_t QpUpCase(std::uint8_t C);
