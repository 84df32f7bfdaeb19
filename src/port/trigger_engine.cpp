// The dispatcher's trigger engine: tick timers, trigger tables, the receive scan and the
// delivery of notifications (part of TQpBaseDispatcher, with port_dispatch.cpp and
// line_control.cpp).
#include "port/trigger_engine.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>
#include <chrono>
#include <thread>

#include "platform/clock.h"
#include "platform/error_handler.h"
#include "port/port_dispatch.h"

// ---------------------------------------------------------------- tick timers

std::uint32_t QpTimeGetTime() { return timeGetTime(); }

void NewTimerAt(EventTimer& ET, std::int32_t Ticks, std::uint64_t NowMs) {
  Ticks = std::min(Ticks, MaxTicks);
  ET.StartTicks = static_cast<std::int64_t>(NowMs / TickMs);
  ET.ExpireTicks = ET.StartTicks + Ticks;
}

bool TimerExpiredAt(const EventTimer& ET, std::uint64_t NowMs) {
  return static_cast<std::int64_t>(NowMs / TickMs) > ET.ExpireTicks;
}

std::int32_t RemainingTimeAt(const EventTimer& ET, std::uint64_t NowMs) {
  const std::int64_t Left = ET.ExpireTicks - static_cast<std::int64_t>(NowMs / TickMs);
  return Left < 0 ? 0 : static_cast<std::int32_t>(std::min<std::int64_t>(Left, MaxTicks));
}

void NewTimer(EventTimer& ET, std::int32_t Ticks) { NewTimerAt(ET, Ticks, GetTickCount64()); }
bool TimerExpired(const EventTimer& ET) { return TimerExpiredAt(ET, GetTickCount64()); }
std::int32_t RemainingTime(const EventTimer& ET) { return RemainingTimeAt(ET, GetTickCount64()); }

std::int32_t SafeYield() {
  if (!IsGuiThread()) return 0;
  ProcessMessages();
  return 0;
}

std::int32_t DelayTicks(std::int32_t Ticks, bool Yield) {
  if (Ticks <= 0) return 0;
  EventTimer ET;
  NewTimer(ET, Ticks);
  std::int32_t Result = 0;
  while (!TimerExpired(ET)) {
    if (Yield) {
      Result = SafeYield();
      if (QCoreApplication::closingDown()) break;  // the program is ending
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return Result;
}

std::uint8_t QpUpCase(std::uint8_t C) {
  if ((C >= 'a' && C <= 'z') || (C >= 0xE0 && C <= 0xFE && C != 0xF7)) return C - 32;
  return C;
}

bool MatchString(TCheckIndex& Indexes, std::uint8_t C, std::uint32_t Len, const std::uint8_t* P,
                 bool IgnoreCase) {
  if (IgnoreCase) C = QpUpCase(C);
  bool Result = false;
  bool Started = false;
  bool Examine = true;
  for (std::uint32_t I = 0; I < Len; ++I) {
    if (Examine) {
      if (P[Indexes[I]] == C) {
        if (Indexes[I] == Len - 1) {
          Result = true;
          Indexes.fill(0);
        } else {
          ++Indexes[I];
        }
      } else if (P[0] == C) {
        Indexes[I] = 1;
        Started = true;
      } else {
        Indexes[I] = 0;
      }
    }
    if (Indexes[I] == 1) Started = true;
    if (I == Len - 1)
      Examine = false;
    else if (Started)
      Examine = Indexes[I + 1] != 0;
    else
      Examine = Indexes[I + 1] != 0 || P[0] == C;
  }
  return Result;
}

// ---------------------------------------------------------------- trigger management

std::uint32_t TQpBaseDispatcher::GetTriggerHandle() {
  DispLock Guard(DataSection);
  if (TriggerCounter < MaxTriggerHandle) return 8 * TriggerCounter++;
  for (std::uint32_t H = 8; H <= MaxTriggerHandle; H += 8) {
    bool Used = std::any_of(TimerTriggers.begin(), TimerTriggers.end(),
                            [H](const TTimerTrigger& T) { return T.tHandle == H; }) ||
                std::any_of(StatusTriggers.begin(), StatusTriggers.end(),
                            [H](const TStatusTrigger& T) {
                              return (T.tHandle & ~StatusTypeMask) == H;
                            }) ||
                std::any_of(DataTriggers.begin(), DataTriggers.end(),
                            [H](const TDataTrigger& T) { return T.tHandle == H; });
    if (!Used) return H;
  }
  return 0;
}

void TQpBaseDispatcher::ChangeLengthTrigger(std::uint32_t Length) {
  DispLock Guard(DataSection);
  LenTrigger = Length;
  if (DLoggingOn) AddDispatchEntry(dtTriggerDataChange, dstAvailTrigger, Length, nullptr, 0);
}

std::int32_t TQpBaseDispatcher::AddTimerTrigger() {
  DispLock Guard(DataSection);
  const std::uint32_t H = GetTriggerHandle();
  if (H == 0) return ecNoMoreTriggers;
  TTimerTrigger T;
  T.tHandle = H;
  TimerTriggers.push_back(T);
  if (DLoggingOn) AddDispatchEntry(dtTriggerAlloc, dstTimerTrigger, H, nullptr, 0);
  return static_cast<std::int32_t>(H);
}

std::int32_t TQpBaseDispatcher::AddDataTriggerLen(const void* Data, bool IgnoreCase,
                                                  std::uint32_t Len) {
  if (Len > MaxTrigData) return ecTriggerTooLong;
  DispLock Guard(DataSection);
  const std::uint32_t H = GetTriggerHandle();
  if (H == 0) return ecNoMoreTriggers;
  TDataTrigger T;
  T.tHandle = H;
  T.tLen = Len;
  T.tIgnoreCase = IgnoreCase;
  if (Len > 0) std::copy_n(static_cast<const std::uint8_t*>(Data), Len, T.tData.begin());
  if (IgnoreCase)
    for (std::uint32_t I = 0; I < Len; ++I) T.tData[I] = QpUpCase(T.tData[I]);
  DataTriggers.push_back(T);
  if (DLoggingOn) AddDispatchEntry(dtTriggerAlloc, dstDataTrigger, H, T.tData.data(), Len);
  return static_cast<std::int32_t>(H);
}

std::int32_t TQpBaseDispatcher::AddDataTrigger(const char* Data, bool IgnoreCase) {
  return AddDataTriggerLen(Data, IgnoreCase, static_cast<std::uint32_t>(std::strlen(Data)));
}

std::int32_t TQpBaseDispatcher::AddStatusTrigger(std::uint32_t SType) {
  if (SType > stOutSent) return ecBadArgument;
  DispLock Guard(DataSection);
  const std::uint32_t H = GetTriggerHandle();
  if (H == 0) return ecNoMoreTriggers;
  TStatusTrigger T;
  T.tHandle = H | SType;
  T.tSType = SType;
  StatusTriggers.push_back(T);
  if (DLoggingOn) {
    const std::uint8_t Type = std::uint8_t(SType);  // the log names the status type
    AddDispatchEntry(dtTriggerAlloc, dstStatusTrigger, T.tHandle, &Type, 1);
  }
  return static_cast<std::int32_t>(T.tHandle);
}

std::int32_t TQpBaseDispatcher::SetTimerTrigger(std::uint32_t TriggerHandle, std::int32_t Ticks,
                                                bool Activate) {
  DispLock Guard(DataSection);
  for (auto& T : TimerTriggers) {
    if (T.tHandle != TriggerHandle) continue;
    if (Activate) {
      if (Ticks != 0) T.tTicks = Ticks;
      NewTimer(T.tET, T.tTicks);
    }
    T.tActive = Activate;
    if (Activate) FQueue.Wake();  // the dispatcher thread sleeps until the soonest one
    return ecOK;
  }
  return ecBadTriggerHandle;
}

std::int32_t TQpBaseDispatcher::ExtendTimer(std::uint32_t TriggerHandle, std::int32_t Ticks) {
  DispLock Guard(DataSection);
  for (auto& T : TimerTriggers)
    if (T.tHandle == TriggerHandle) {
      T.tET.ExpireTicks += Ticks;
      FQueue.Wake();
      return ecOK;
    }
  return ecBadTriggerHandle;
}

std::int32_t TQpBaseDispatcher::TimerTicksRemaining(std::uint32_t TriggerHandle,
                                                    std::int32_t& TicksRemaining) {
  TicksRemaining = 0;
  DispLock Guard(DataSection);
  for (auto& T : TimerTriggers)
    if (T.tHandle == TriggerHandle) {
      TicksRemaining = RemainingTime(T.tET);
      return ecOK;
    }
  return ecBadTriggerHandle;
}

std::int32_t TQpBaseDispatcher::SetStatusTrigger(std::uint32_t TriggerHandle, std::uint32_t Value,
                                                 bool Activate) {
  DispLock Guard(DataSection);
  for (auto& T : StatusTriggers) {
    if (T.tHandle != TriggerHandle) continue;
    if (Activate) {
      switch (T.tSType) {
        case stModem:
          T.tValue = static_cast<std::uint16_t>(((Value & 0xFF) << 8) | (Value & ModemStatus & 0xFF));
          break;
        case stLine:
          T.tValue = static_cast<std::uint16_t>((Value & (lsOverrun | lsParity | lsFraming | lsBreak)) << 1);
          break;
        case stOutBuffFree:
        case stOutBuffUsed:
          T.tValue = static_cast<std::uint16_t>(Value);
          break;
        default:
          break;
      }
    }
    T.tSActive = Activate;
    if (Activate) FQueue.Wake();  // status triggers are looked at every tick
    return ecOK;
  }
  return ecBadTriggerHandle;
}

std::int32_t TQpBaseDispatcher::RemoveTrigger(std::uint32_t TriggerHandle) {
  DispLock Guard(DataSection);
  if (TriggerHandle == AvailTriggerHandle) {
    LenTrigger = 0;
    return ecOK;
  }
  auto Erase = [&](auto& List) {
    auto It = std::find_if(List.begin(), List.end(),
                           [&](const auto& T) { return T.tHandle == TriggerHandle; });
    if (It == List.end()) return false;
    List.erase(It);
    return true;
  };
  std::uint8_t SType = 0;
  for (const auto& T : StatusTriggers)
    if (T.tHandle == TriggerHandle) SType = std::uint8_t(T.tSType);
  if (TriggerHandle != 0 && (Erase(TimerTriggers) || Erase(DataTriggers))) {
    if (DLoggingOn) AddDispatchEntry(dtTriggerDispose, dstNone, TriggerHandle, nullptr, 0);
    return ecOK;
  }
  if (TriggerHandle != 0 && Erase(StatusTriggers)) {
    if (DLoggingOn) AddDispatchEntry(dtTriggerDispose, dstStatusTrigger, TriggerHandle, &SType, 1);
    return ecOK;
  }
  return ecBadTriggerHandle;
}

void TQpBaseDispatcher::RemoveAllTriggers() {
  DispLock Guard(DataSection);
  LenTrigger = 0;
  TimerTriggers.clear();
  DataTriggers.clear();
  StatusTriggers.clear();
  TriggerCounter = FirstTriggerCounter;
}

void TQpBaseDispatcher::SaveTriggers(TTriggerSave& Save) {
  DispLock Guard(DataSection);
  Save.tsLenTrigger = LenTrigger;
  Save.tsTimerTriggers = TimerTriggers;
  Save.tsDataTriggers = DataTriggers;
  Save.tsStatusTriggers = StatusTriggers;
  Save.tsValid = true;
}

void TQpBaseDispatcher::RestoreTriggers(TTriggerSave& Save) {
  if (!Save.tsValid) return;
  DispLock Guard(DataSection);
  LenTrigger = Save.tsLenTrigger;
  TimerTriggers = Save.tsTimerTriggers;
  DataTriggers = Save.tsDataTriggers;
  StatusTriggers = Save.tsStatusTriggers;
  ResetDataTriggers();
  // New handles must not collide with the restored ones.
  std::uint32_t Highest = 0;
  for (auto& T : TimerTriggers) Highest = std::max(Highest, T.tHandle);
  for (auto& T : DataTriggers) Highest = std::max(Highest, T.tHandle);
  for (auto& T : StatusTriggers) Highest = std::max(Highest, T.tHandle & ~StatusTypeMask);
  TriggerCounter = std::max(TriggerCounter, Highest / 8 + 1);
  FQueue.Wake();  // restored timers and status triggers may want the thread sooner
}

void TQpBaseDispatcher::ClearSaveBuffers(TTriggerSave& Save) { Save = TTriggerSave(); }

void TQpBaseDispatcher::ResetStatusHits() {
  DispLock Guard(DataSection);
  for (auto& T : StatusTriggers) T.StatusHit = false;
  GlobalStatHit = false;
}

void TQpBaseDispatcher::ResetDataTriggers() {
  DispLock Guard(DataSection);
  for (auto& T : DataTriggers) {
    T.tChkIndex.fill(0);
    T.tMatched = false;
  }
}

// ---------------------------------------------------------------- receivers

void TQpBaseDispatcher::RegisterWndTriggerHandler(HWND HW) {
  DispLock Guard(DataSection);
  WndTriggerHandlers.push_back({HW, false});
  HandlerServiceNeeded = true;
  if (DLoggingOn) AddDispatchEntry(dtTriggerHandlerAlloc, dstWndHandler, 0, nullptr, 0);
}

void TQpBaseDispatcher::RegisterProcTriggerHandler(TTriggerNotifyProc NP) {
  DispLock Guard(DataSection);
  ProcTriggerHandlers.push_back({NP, false});
  HandlerServiceNeeded = true;
  if (DLoggingOn) AddDispatchEntry(dtTriggerHandlerAlloc, dstProcHandler, 0, nullptr, 0);
}

void TQpBaseDispatcher::RegisterEventTriggerHandler(const void* Code, TTriggerEvent NP) {
  DispLock Guard(DataSection);
  EventTriggerHandlers.push_back({Code, std::make_shared<const TTriggerEvent>(std::move(NP)), false, false});
  HandlerServiceNeeded = true;
  if (DLoggingOn) AddDispatchEntry(dtTriggerHandlerAlloc, dstEventHandler, 0, nullptr, 0);
}

void TQpBaseDispatcher::RegisterSyncEventTriggerHandler(const void* Code, TTriggerEvent NP) {
  DispLock Guard(DataSection);
  EventTriggerHandlers.push_back({Code, std::make_shared<const TTriggerEvent>(std::move(NP)), false, true});
  HandlerServiceNeeded = true;
  if (DLoggingOn) AddDispatchEntry(dtTriggerHandlerAlloc, dstEventHandler, 0, nullptr, 0);
}

namespace {
template <class List, class Pred>
void DeregisterPrim(TQpBaseDispatcher& D, List& L, Pred Match, TDispatchSubType Sub) {
  DispLock Guard(D.DataSection);
  auto It = std::find_if(L.begin(), L.end(), [&](const auto& R) { return !R.thDeleted && Match(R); });
  if (It == L.end()) return;
  if (D.fEventBusy.load()) {
    It->thDeleted = true;
    D.DeletePending = true;
  } else {
    L.erase(It);
    D.UpdateHandlerFlags(fuKeepPort);
  }
  (void)Sub;
}
}  // namespace

void TQpBaseDispatcher::DeregisterWndTriggerHandler(HWND HW) {
  DeregisterPrim(*this, WndTriggerHandlers, [HW](const TWndTriggerHandler& R) { return R.thWnd == HW; },
                 dstWndHandler);
}

void TQpBaseDispatcher::DeregisterProcTriggerHandler(TTriggerNotifyProc NP) {
  DeregisterPrim(*this, ProcTriggerHandlers,
                 [NP](const TProcTriggerHandler& R) { return R.thNotify == NP; }, dstProcHandler);
}

void TQpBaseDispatcher::DeregisterEventTriggerHandler(const void* Code) {
  DeregisterPrim(*this, EventTriggerHandlers,
                 [Code](const TEventTriggerHandler& R) { return R.thCode == Code; },
                 dstEventHandler);
}

void TQpBaseDispatcher::UpdateHandlerFlags(TApHandlerFlagUpdate FlagUpdate) {
  DispLock Guard(DataSection);
  const bool Needed = WndTriggerHandlers.size() > 1 || !ProcTriggerHandlers.empty() ||
                      !EventTriggerHandlers.empty();
  switch (FlagUpdate) {
    case fuKeepPort:
      HandlerServiceNeeded = Needed || PortHandlerInstalled;
      break;
    case fuEnablePort:
      PortHandlerInstalled = true;
      HandlerServiceNeeded = true;
      break;
    case fuDisablePort:
      PortHandlerInstalled = false;
      HandlerServiceNeeded = Needed;
      break;
  }
}

// ---------------------------------------------------------------- checks

bool TQpBaseDispatcher::CheckTriggers() {
  return CheckTimerTriggers() || CheckStatusTriggers() || CheckReceiveTriggers();
}

bool TQpBaseDispatcher::DeliverAvail(std::uint32_t Count) {
  if (DLoggingOn) AddDispatchEntry(dtTrigger, dstAvail, Count, nullptr, 0);
  return SendNotify(qpw_TriggerAvail, Count, 0);
}

TQpBaseDispatcher::TReceiveScan TQpBaseDispatcher::ScanReceived() {
  TReceiveScan Due;
  DispLock Disp(DispSection);
  if (DBuffer.empty()) return Due;
  const std::uint32_t InRing = RingCount();
  // Bytes consumed before they were scanned need no scan and no announcement.
  if (FReceivedTotal - FScannedTotal > InRing) FScannedTotal = FReceivedTotal - InRing;
  if (FReceivedTotal - FNotifiedTotal > InRing) FNotifiedTotal = FReceivedTotal - InRing;
  std::uint64_t Unscanned = FReceivedTotal - FScannedTotal;
  std::uint32_t Pos =
      (DBufHead + DispatchBufferSize - static_cast<std::uint32_t>(Unscanned)) % DispatchBufferSize;
  std::uint32_t MatchSize = 0;
  {
    DispLock Data(DataSection);
    const bool HasTriggers = std::any_of(DataTriggers.begin(), DataTriggers.end(),
                                         [](const TDataTrigger& T) { return T.tLen != 0; });
    // Up to the first byte that completes a string; the rest waits for the next check.
    while (HasTriggers && Unscanned > 0 && MatchSize == 0) {
      const std::uint8_t C = DBuffer[Pos];
      for (auto& T : DataTriggers)
        if (T.tLen != 0 && !T.tMatched)
          T.tMatched = MatchString(T.tChkIndex, C, T.tLen, T.tData.data(), T.tIgnoreCase);
      for (const auto& T : DataTriggers)
        if (T.tMatched) MatchSize = std::max(MatchSize, T.tLen);
      --Unscanned;
      ++FScannedTotal;
      if (MatchSize == 0) Pos = (Pos + 1) % DispatchBufferSize;
    }
  }
  if (MatchSize == 0) {
    // The whole arrival scanned: every byte not yet consumed is announced once per arrival.
    FScannedTotal = FReceivedTotal;
    LastTailData = DBufHead;
    const std::uint32_t Avail = AvailPrim();
    if (LenTrigger != 0 && FNotifiedTotal != FReceivedTotal && Avail >= LenTrigger) {
      FNotifiedTotal = FReceivedTotal;
      NotifyTail = DBufHead;
      Due.AvailCount = Avail;
    }
    return Due;
  }
  // A string ends at Pos: the bytes before it are announced first (unless the last
  // announcement already ended here), then the trigger. Counted from the reader's position
  // and, inside a notification, without what the current receiver has read.
  Due.MatchSize = MatchSize;
  LastTailData = (Pos + 1) % DispatchBufferSize;
  const std::uint32_t UpTo = (Pos + DispatchBufferSize - DBufTail) % DispatchBufferSize + 1;
  const std::uint32_t Held = InAvailMessage.load() ? GetCount : 0;
  const std::uint32_t Before = UpTo > Held + MatchSize ? UpTo - Held - MatchSize : 0;
  const std::uint64_t MatchEnd = FScannedTotal - 1;  // Pos as a running byte number
  if (LenTrigger != 0 && FNotifiedTotal != MatchEnd && Before >= LenTrigger) Due.AvailCount = Before;
  FNotifiedTotal = std::max(FNotifiedTotal, MatchEnd);
  NotifyTail = Pos;
  return Due;
}

bool TQpBaseDispatcher::CheckReceiveTriggers() {
  const TReceiveScan Due = ScanReceived();
  if (Due.AvailCount == 0 && Due.MatchSize == 0) return false;
  bool Result = true;
  if (Due.AvailCount != 0) Result = DeliverAvail(Due.AvailCount);
  if (Due.MatchSize == 0) return Result;
  // Every matched trigger, last to first; the list may shrink under a receiver.
  std::size_t Count;
  {
    DispLock Data(DataSection);
    Count = DataTriggers.size();
  }
  for (std::size_t I = Count; I-- > 0;) {
    std::uint32_t Handle = 0, Len = 0;
    {
      DispLock Data(DataSection);
      if (I >= DataTriggers.size()) break;
      if (!DataTriggers[I].tMatched) continue;
      DataTriggers[I].tMatched = false;
      Handle = DataTriggers[I].tHandle;
      Len = DataTriggers[I].tLen;
    }
    if (ClosePending.load()) return false;
    if (DLoggingOn) AddDispatchEntry(dtTrigger, dstData, Handle, nullptr, 0);
    Result = SendNotify(qpw_TriggerData, Handle, Len);
  }
  return Result;
}

bool TQpBaseDispatcher::CheckStatusTriggers() {
  std::uint32_t Handle = 0, Data = 0;
  {
    DispLock Guard(DataSection);
    bool Fired = false;
    for (auto& T : StatusTriggers) {
      if (!T.tSActive || T.StatusHit) continue;
      switch (T.tSType) {
        case stModem:
          Fired = (((T.tValue & 0xFF) ^ ModemStatus) & (T.tValue >> 8)) != 0;
          break;
        case stLine:
          Fired = (T.tValue & LastError) != 0;
          break;
        case stOutBuffFree: {
          const std::uint32_t Free = OutBuffFree();
          Fired = Free >= T.tValue;
          Data = Free;
          break;
        }
        case stOutBuffUsed: {
          const std::uint32_t Used = OutBuffUsed();
          Fired = Used <= T.tValue;
          Data = Used;
          break;
        }
        case stOutSent:
          Fired = OutSentPending.exchange(false);
          break;
        default:
          break;
      }
      if (Fired) {
        T.tSActive = false;
        T.StatusHit = true;
        GlobalStatHit = true;
        Handle = T.tHandle;
        break;
      }
      Data = 0;
    }
    if (!Fired) return false;
  }
  if (DLoggingOn) AddDispatchEntry(dtTrigger, dstStatus, Handle, nullptr, 0);
  return SendNotify(qpw_TriggerStatus, Handle, Data);
}

bool TQpBaseDispatcher::CheckTimerTriggers() {
  std::uint32_t Handle = 0;
  {
    DispLock Guard(DataSection);
    auto It = std::find_if(TimerTriggers.begin(), TimerTriggers.end(),
                           [](const TTimerTrigger& T) { return T.tActive && TimerExpired(T.tET); });
    if (It == TimerTriggers.end()) return false;
    It->tActive = false;
    Handle = It->tHandle;
  }
  if (DLoggingOn) AddDispatchEntry(dtTrigger, dstTimer, Handle, nullptr, 0);
  return SendNotify(qpw_TriggerTimer, Handle, 0);
}

// ---------------------------------------------------------------- delivery

template <class List, class Call>
bool TQpBaseDispatcher::DeliverToEach(List& Receivers, const Call& Notify) {
  for (std::size_t I = 0;; ++I) {
    typename List::value_type R;
    {
      DispLock Guard(DataSection);
      if (I >= Receivers.size()) return true;
      R = Receivers[I];
    }
    {
      DispLock Guard(DispSection);
      GetCount = 0;  // each receiver reads the announced bytes from the start
    }
    if (!R.thDeleted) Notify(R);
    if (ClosePending.load()) return false;
    DispLock Guard(DispSection);
    MaxGetCount = std::max(MaxGetCount, GetCount);
  }
}

bool TQpBaseDispatcher::SendNotify(UINT Msg, std::uint32_t Trigger, std::uint32_t Data) {
  if (!HandlerServiceNeeded.load() || ClosePending.load()) return !ClosePending.load();
  {
    DispLock Guard(DataSection);
    fEventBusy = true;
  }
  {
    DispLock Guard(DispSection);
    MaxGetCount = 0;
    GetCount = 0;
    InAvailMessage = Msg == qpw_TriggerAvail || Msg == qpw_TriggerData;
  }
  const LPARAM lParam = MakeNotifyLParam(fHandle, Data);
  // Method receivers: called on this thread (a sync one on the GUI thread).
  bool Closed = !DeliverToEach(EventTriggerHandlers, [&](const TEventTriggerHandler& R) {
    if (!R.thNotify || !*R.thNotify) return;
    const TTriggerEvent& Notify = *R.thNotify;
    auto T = R.thSync && !IsGuiThread() ? DispThread() : nullptr;
    if (T)
      T->SyncNotify(Msg, Trigger, lParam, Notify);
    else
      GuardedCall([&] { Notify(Msg, Trigger, lParam); });
  });
  if (!Closed)
    Closed = !DeliverToEach(ProcTriggerHandlers, [&](const TProcTriggerHandler& R) {
      if (R.thNotify) GuardedCall([&] { R.thNotify(Msg, Trigger, lParam); });
    });
  bool ToWindows;
  {
    DispLock Guard(DataSection);
    ToWindows = WndTriggerHandlers.size() > 1 || PortHandlerInstalled.load();
  }
  if (!Closed && ToWindows)
    Closed = !DeliverToEach(WndTriggerHandlers, [&](const TWndTriggerHandler& R) {
      // At most NotifyTimeoutMs; a message not taken in time is dropped, never handled late.
      SendMessageTimeout(R.thWnd, Msg, Trigger, lParam, NotifyTimeoutMs);
    });
  bool Result = !Closed;
  if (!Closed) {
    DispLock Guard(DispSection);
    if (InAvailMessage.load()) {
      InAvailMessage = false;
      if (!DBuffer.empty() && MaxGetCount > 0) {
        DBufTail = (DBufTail + MaxGetCount) % DispatchBufferSize;
        DispatchFull = false;
        FRoomEvent.SetEvent();
      }
      if (Msg == qpw_TriggerAvail) Result = MaxGetCount == Trigger;
    }
  } else {
    DispLock Guard(DispSection);
    InAvailMessage = false;
  }
  {
    DispLock Disp(DispSection);
    DispLock Guard(DataSection);
    fEventBusy = false;
    if (DeletePending) {
      auto Drop = [](auto& L) {
        L.erase(std::remove_if(L.begin(), L.end(), [](const auto& R) { return R.thDeleted; }),
                L.end());
      };
      Drop(WndTriggerHandlers);
      Drop(ProcTriggerHandlers);
      Drop(EventTriggerHandlers);
      DeletePending = false;
      UpdateHandlerFlags(fuKeepPort);
    }
    GetCount = 0;
  }
  return Result;
}

// ---------------------------------------------------------------- the dispatcher thread's steps

void TQpBaseDispatcher::ProcessComEvent() {
  CurrentEvent = 0;
  if (TIOBuffer* B = FQueue.Peek()) {
    if (auto* S = dynamic_cast<TStatusBuffer*>(B)) {
      CurrentEvent = S->Status();
      delete FQueue.Pop();
    } else {
      B->SetInUse(false);  // the data stays for ReadCom
    }
  }
  auto StatusLoop = [this]() -> bool {
    while (CheckStatusTriggers())
      if (ClosePending.load()) return false;
    return !ClosePending.load();
  };
  if (CurrentEvent & (ev_Ring | ev_RingTe)) RingFlag = true;
  if (CurrentEvent & ModemEvent) {
    MapEventsToMS(CurrentEvent);
    if (!fEventBusy.load()) {
      if (!StatusLoop()) return;
      if (GlobalStatHit) ResetStatusHits();
    }
  }
  if (CurrentEvent & LineEvent) {
    RefreshStatus();
    if (!fEventBusy.load()) {
      if (!StatusLoop()) return;
      if (GlobalStatHit) ResetStatusHits();
    }
  }
  ExtractData();
  if (!fEventBusy.load()) {
    GetModemStatusPrim(ClearNone);
    if (!StatusLoop()) return;
    while (CheckReceiveTriggers())
      if (ClosePending.load()) return;
  }
  if (GlobalStatHit) ResetStatusHits();
  if (ReadyEvent) ReadyEvent->SetEvent();
}

void TQpBaseDispatcher::ProcessTimer() {
  if (ClosePending.load() || fEventBusy.load()) return;
  {
    DispLock Guard(DataSection);
    GlobalStatHit = false;
  }
  while ((CheckStatusTriggers() || CheckTimerTriggers()) && !ClosePending.load()) {
  }
  if (GlobalStatHit) ResetStatusHits();
}
