#include "port/com_port.h"

#include <cerrno>
#include <cmath>
#include <map>
#include <mutex>

#include "platform/error_handler.h"
#include "platform/text_util.h"

namespace {

std::mutex FactoryLock;
std::map<TDeviceLayer, TQpCustomDispatcherFactory>& Factories() {
  static std::map<TDeviceLayer, TQpCustomDispatcherFactory> Map;
  return Map;
}

std::function<bool(std::uint16_t&)>& DefaultSelector() {
  static std::function<bool(std::uint16_t&)> Selector;
  return Selector;
}

// Rounds to nearest, ties to even.
std::uint16_t RoundEven(double V) { return static_cast<std::uint16_t>(std::nearbyint(V)); }

}  // namespace

void TQpCustomComPort::RegisterDeviceLayer(TDeviceLayer Layer, TQpCustomDispatcherFactory Factory) {
  std::lock_guard<std::mutex> Guard(FactoryLock);
  Factories()[Layer] = std::move(Factory);
}

std::shared_ptr<TQpBaseDispatcher> TQpCustomComPort::CreateDeviceLayer(TDeviceLayer Layer, TQpCustomComPort* Owner) {
  TQpCustomDispatcherFactory Factory;
  {
    std::lock_guard<std::mutex> Guard(FactoryLock);
    auto It = Factories().find(Layer);
    if (It != Factories().end()) Factory = It->second;
  }
  return Factory ? Factory(Owner) : nullptr;
}

void TQpCustomComPort::SetDefaultPortSelector(std::function<bool(std::uint16_t& Number)> Selector) {
  std::lock_guard<std::mutex> Guard(FactoryLock);
  DefaultSelector() = std::move(Selector);
}

TQpCustomComPort::TQpCustomComPort() = default;

TQpCustomComPort::~TQpCustomComPort() {
  FDestroying = true;
  try {
    if (FPortState == psOpen) DonePort();
  } catch (...) {
  }
  if (FPortState != psClosed) FinishClose();  // a close still pending completes now
  *FAlive = false;
  if (fComWindow) {
    DeallocateHWnd(fComWindow);
    fComWindow = 0;
  }
  UserList.clear();
  TQpBaseDispatcher::ClearSaveBuffers(SaveTriggerBuffer);
}

// ---------------------------------------------------------------- open and close

void TQpCustomComPort::SetOpen(bool Value) {
  if (FPortState == psShuttingDown) {
    // A close is still pending: an open waits for it; a close cancels a waiting open.
    OpenPending = Value;
    return;
  }
  if (Value == FOpen) return;
  if (FLoading) {
    FOpen = Value;
    if (Value) ForceOpen = true;
    return;
  }
  if (!Value)
    DonePort();
  else
    InitPort();
}

void TQpCustomComPort::Loaded() {
  FLoading = false;
  if (ForceOpen) FOpen = true;
  if (!FOpen) return;
  ForceOpen = false;
  FOpen = false;
  try {
    InitPort();
  } catch (...) {
    FOpen = false;
    HandleException(std::current_exception());
  }
}

std::shared_ptr<TQpBaseDispatcher> TQpCustomComPort::ActivateDeviceLayer() {
  if (fCustomDispatcher) {
    auto D = fCustomDispatcher(this);
    if (!D) throw ENullApi(ecNullApi);
    return D;
  }
  auto D = CreateDeviceLayer(FDeviceLayer, this);
  if (!D) throw ENullApi(ecNullApi);
  return D;
}

void TQpCustomComPort::ValidateComport() {
  if (FComNumber != 0) return;
  if (!FPromptForPort) throw ENoPortSelected(ecNoPortSelected);
  std::uint16_t Number = 0;
  std::function<bool(std::uint16_t&)> Selector = PortSelector;
  if (!Selector) {
    std::lock_guard<std::mutex> Guard(FactoryLock);
    Selector = DefaultSelector();
  }
  if (!Selector || !Selector(Number) || Number == 0) throw ENoPortSelected(ecNoPortSelected);
  FComNumber = Number;
}

std::int32_t TQpCustomComPort::InitializePort() {
  std::uint32_t FlowOpts = 0;
  if (FDTR) FlowOpts |= ipAssertDTR;
  if (FRTS) FlowOpts |= ipAssertRTS;
  if (FHWFlowOptions & hwfUseDTR) FlowOpts |= ipAutoDTR;
  if (FHWFlowOptions & hwfUseRTS) FlowOpts |= ipAutoRTS;
  return FDispatcher->InitPort("\\\\.\\COM" + std::to_string(FComNumber), FBaud,
                               static_cast<std::uint32_t>(FParity), FDatabits, FStopbits, FInSize,
                               FOutSize, FlowOpts);
}

void TQpCustomComPort::InitPort() {
  if (FTapiMode != tmOn) ValidateComport();
  FDispatcher = ActivateDeviceLayer();
  try {
    FDispatcher->DeviceName = "COM" + std::to_string(FComNumber);
    std::int32_t Result = InitializePort();
    if (Result == ecAccessDenied || Result == -EBUSY)
      Result = ecAlreadyOpen;
    else if (Result == ecFileNotFound || Result == ecPathNotFound)
      Result = ecBadId;
    if (Result != 0) {
      CheckException(this, Result);
      // Not raised (still loading): the open failed all the same.
      FOpen = false;
      FPortState = psClosed;
      ReleaseDispatcher();
      return;
    }
    FPortState = psOpen;
    UpdateHandlerFlag();
    Force = true;
    ApplyRecorderStates();
    TQpBaseDispatcher& D = *FDispatcher;
    D.ChangeLengthTrigger(FTriggerLength);
    ApplyFlowSettings();
    if (D.DTRAuto == false) CheckException(this, D.SetDtr(FDTR) < 0 ? ecBadArgument : 0);
    if (D.RTSAuto == false && !FRS485Mode)
      CheckException(this, D.SetRts(FRTS) < 0 ? ecBadArgument : 0);
    if (FUseEventWord)
      D.OptionsOn(poUseEventWord);
    else
      D.OptionsOff(poUseEventWord);
    if (FRS485Mode) D.SetRS485Mode(true);
    D.SetThreadBoost(static_cast<std::uint8_t>(FThreadBoost));
    Force = false;
    FOpen = true;
    RegisterComPort(true);
    if (CopyTriggers) {
      CopyTriggers = false;
      D.RestoreTriggers(SaveTriggerBuffer);
      TQpBaseDispatcher::ClearSaveBuffers(SaveTriggerBuffer);
    }
    PortOpen();
  } catch (...) {
    Force = false;
    FOpen = false;
    FPortState = psClosed;
    if (fComWindow) RegisterComPort(false);
    ReleaseDispatcher();
    throw;
  }
}

void TQpCustomComPort::ReleaseDispatcher() {
  if (!FDispatcher) return;
  auto D = std::move(FDispatcher);
  FDispatcher.reset();
  D->Destroy();
}

void TQpCustomComPort::FinishClose() {
  RegisterComPort(false);
  ReleaseDispatcher();
  FPortState = psClosed;
  FOpen = false;
}

void TQpCustomComPort::DonePort() {
  if (FPortState != psOpen) return;
  // The recorders are written first; a file that fails does not keep the port open.
  const std::exception_ptr DumpError = DumpRecordersAtClose();
  FPortState = psShuttingDown;
  PortClosing();
  TQpBaseDispatcher& D = *FDispatcher;
  D.SaveTriggers(SaveTriggerBuffer);
  CopyTriggers = true;
  D.DonePort();
  if (D.EventBusy()) {
    // Closed from inside a delivery: the dispatcher unwinds first; the hidden window finishes.
    PostMessage(fComWindow, qpw_ClosePending, 0, MakeNotifyLParam(D.Handle()));
  } else {
    FinishClose();
  }
  PortClose();
  if (DumpError) std::rethrow_exception(DumpError);
}

void TQpCustomComPort::RegisterComPort(bool Register) {
  if (Register) {
    if (!fComWindow) {
      std::weak_ptr<bool> Alive = FAlive;
      fComWindow = AllocateHWnd([this, Alive](TMessage& M) {
        auto A = Alive.lock();
        if (A && *A) ComWindowProc(M);
      });
    }
    if (FDispatcher) FDispatcher->RegisterWndTriggerHandler(fComWindow);
  } else {
    if (fComWindow && FDispatcher) FDispatcher->DeregisterWndTriggerHandler(fComWindow);
    if (fComWindow) DeallocateHWnd(fComWindow);
    fComWindow = 0;
  }
}

void TQpCustomComPort::UpdateHandlerFlag() {
  if (FPortState != psOpen || !FDispatcher) return;
  const bool Any = OnTrigger || OnTriggerAvail || OnTriggerData || OnTriggerStatus ||
                   OnTriggerTimer || OnTriggerLineError || OnTriggerModemStatus ||
                   OnTriggerOutbuffFree || OnTriggerOutbuffUsed || OnTriggerOutSent;
  FDispatcher->UpdateHandlerFlags(Any ? fuEnablePort : fuDisablePort);
}

void TQpCustomComPort::ComWindowProc(TMessage& Msg) {
  if (Msg.Msg == WM_TIMER && Msg.WParam == ClosePendingTimer) {
    KillTimer(fComWindow, ClosePendingTimer);
    PostMessage(fComWindow, qpw_ClosePending, 0, FClosePendingLParam);
    return;
  }
  const bool Ours = (Msg.Msg >= qpw_TriggerAvail && Msg.Msg <= qpw_TriggerStatus) ||
                    Msg.Msg == qpw_ClosePending;
  if (!Ours) return;
  Msg.Result = 0;
  GuardedCall([&] {
    std::lock_guard<TQpCriticalSection> Guard(TQpBaseDispatcher::PortListSection());
    TQpBaseDispatcher* D = TQpBaseDispatcher::PortListItem(NotifyIndex(Msg.LParam));
    // Only this port's current dispatcher; a message for an earlier one is stale.
    if (!D || D != FDispatcher.get() || D->Owner() != this) return;
    // A notification that reaches a closing port is stale: its bytes go with the close, and
    // the handlers would only read the neutral values of a port shutting down.
    if (Msg.Msg != qpw_ClosePending && FPortState != psOpen) return;
    const auto WParam = static_cast<std::uint32_t>(Msg.WParam);
    const bool InSession = Msg.Msg == qpw_TriggerAvail || Msg.Msg == qpw_TriggerData;
    if (InSession) D->BeginReadSession();
    const ScopeExit EndSession([&] {
      if (InSession) D->EndReadSession();
    });
    const auto Low = NotifyValue(Msg.LParam);
    switch (Msg.Msg) {
      case qpw_TriggerAvail:
        Trigger(Msg.Msg, WParam, WParam);
        TriggerAvail(WParam);
        break;
      case qpw_TriggerData:
        Trigger(Msg.Msg, WParam, Low);
        TriggerData(WParam);
        break;
      case qpw_TriggerTimer:
        Trigger(Msg.Msg, WParam, Low);
        TriggerTimer(WParam);
        break;
      case qpw_TriggerStatus:
        Trigger(Msg.Msg, WParam, Low);
        TriggerStatus(WParam);
        switch (TQpBaseDispatcher::ClassifyStatusTrigger(WParam)) {
          case stModem: TriggerModemStatus(); break;
          case stLine: {
            const bool Break = LineBreak();
            TriggerLineError(LineError(), Break);
            break;
          }
          case stOutBuffFree: TriggerOutbuffFree(); break;
          case stOutBuffUsed: TriggerOutbuffUsed(); break;
          case stOutSent: TriggerOutSent(); break;
          default: break;
        }
        break;
      case qpw_ClosePending:
        if (D->Active()) {
          // The dispatcher thread is still unwinding: look again shortly, without spinning.
          FClosePendingLParam = Msg.LParam;
          SetTimer(fComWindow, ClosePendingTimer, 5);
          return;
        }
        FinishClose();
        if (OpenPending) {
          OpenPending = false;
          InitPort();
        }
        break;
      default:
        break;
    }
  });
}

void TQpCustomComPort::Trigger(UINT Msg, std::uint32_t TriggerHandle, std::uint32_t Data) {
  if (OnTrigger)
    OnTrigger(this, Msg, static_cast<std::uint16_t>(TriggerHandle), static_cast<std::uint16_t>(Data));
}
void TQpCustomComPort::TriggerAvail(std::uint32_t Count) {
  if (OnTriggerAvail) OnTriggerAvail(this, static_cast<std::uint16_t>(Count));
}
void TQpCustomComPort::TriggerData(std::uint32_t H) {
  if (OnTriggerData) OnTriggerData(this, static_cast<std::uint16_t>(H));
}
void TQpCustomComPort::TriggerStatus(std::uint32_t H) {
  if (OnTriggerStatus) OnTriggerStatus(this, static_cast<std::uint16_t>(H));
}
void TQpCustomComPort::TriggerTimer(std::uint32_t H) {
  if (OnTriggerTimer) OnTriggerTimer(this, static_cast<std::uint16_t>(H));
}
void TQpCustomComPort::TriggerLineError(std::uint16_t Error, bool Break) {
  if (OnTriggerLineError) OnTriggerLineError(this, Error, Break);
}
void TQpCustomComPort::TriggerModemStatus() {
  if (OnTriggerModemStatus) OnTriggerModemStatus(this);
}
void TQpCustomComPort::TriggerOutbuffFree() {
  if (OnTriggerOutbuffFree) OnTriggerOutbuffFree(this);
}
void TQpCustomComPort::TriggerOutbuffUsed() {
  if (OnTriggerOutbuffUsed) OnTriggerOutbuffUsed(this);
}
void TQpCustomComPort::TriggerOutSent() {
  if (OnTriggerOutSent) OnTriggerOutSent(this);
}
void TQpCustomComPort::WaitChar(std::uint8_t C) {
  if (OnWaitChar) OnWaitChar(this, C);
}

// ---------------------------------------------------------------- users

void TQpCustomComPort::PortOpen() {
  for (std::size_t I = UserList.size(); I-- > 0;) {
    if (I >= UserList.size()) continue;
    TUserListEntry U = UserList[I];
    if (U.Handle)
      SendMessage(U.Handle, qpw_PortOpen, 0, 0);
    else if (U.IsEx && U.OpenCloseEx)
      U.OpenCloseEx(this, ctOpen);
    else if (!U.IsEx && U.OpenClose)
      U.OpenClose(this, true);
  }
  if (OnPortOpen) OnPortOpen(this);
}

void TQpCustomComPort::PortClosing() {
  for (std::size_t I = UserList.size(); I-- > 0;) {
    if (I >= UserList.size()) continue;
    TUserListEntry U = UserList[I];
    if (U.Handle && U.IsEx)
      SendMessage(U.Handle, qpw_ClosePending, 0, 0);
    else if (!U.Handle && U.IsEx && U.OpenCloseEx)
      U.OpenCloseEx(this, ctClosing);
  }
}

void TQpCustomComPort::PortClose() {
  for (std::size_t I = UserList.size(); I-- > 0;) {
    if (I >= UserList.size()) continue;
    TUserListEntry U = UserList[I];
    if (U.Handle)
      SendMessage(U.Handle, qpw_PortClose, 0, 0);
    else if (U.IsEx && U.OpenCloseEx)
      U.OpenCloseEx(this, ctClosed);
    else if (!U.IsEx && U.OpenClose)
      U.OpenClose(this, false);
  }
  if (OnPortClose) OnPortClose(this);
}

void TQpCustomComPort::RegisterUser(HWND H) { UserList.push_back({H, nullptr, {}, {}, false}); }
void TQpCustomComPort::RegisterUserEx(HWND H) { UserList.push_back({H, nullptr, {}, {}, true}); }
void TQpCustomComPort::RegisterUserCallback(const void* Code, TPortCallback CallBack) {
  UserList.push_back({0, Code, std::move(CallBack), {}, false});
}
void TQpCustomComPort::RegisterUserCallbackEx(const void* Code, TPortCallbackEx CallBackEx) {
  UserList.push_back({0, Code, {}, std::move(CallBackEx), true});
}
void TQpCustomComPort::DeregisterUser(HWND H) {
  if (FDestroying) return;
  std::erase_if(UserList, [H](const TUserListEntry& U) { return U.Handle != 0 && U.Handle == H; });
}
void TQpCustomComPort::DeregisterUserCallback(const void* Code) {
  if (FDestroying) return;
  std::erase_if(UserList, [Code](const TUserListEntry& U) {
    return U.Handle == 0 && !U.IsEx && U.Code == Code;
  });
}
void TQpCustomComPort::DeregisterUserCallbackEx(const void* Code) {
  if (FDestroying) return;
  std::erase_if(UserList, [Code](const TUserListEntry& U) {
    return U.Handle == 0 && U.IsEx && U.Code == Code;
  });
}

// ---------------------------------------------------------------- the dispatcher

std::shared_ptr<TQpBaseDispatcher> TQpCustomComPort::GetDispatcher() {
  if (!FDispatcher && !FLoading && FPortState == psClosed && FAutoOpen) SetOpen(true);
  return FDispatcher;
}

TQpBaseDispatcher& TQpCustomComPort::ValidDispatcher() {
  if (FDispatcher) return *FDispatcher;
  GetDispatcher();
  if (!FDispatcher) {
    CheckException(this, ecCommNotOpen);
    throw ECommNotOpen(ecCommNotOpen);
  }
  return *FDispatcher;
}

// ---------------------------------------------------------------- data

bool TQpCustomComPort::CharReady() {
  if (ShuttingDown()) return false;
  return ValidDispatcher().CharReady();
}

std::uint8_t TQpCustomComPort::PeekChar(std::uint32_t Count) {
  if (ShuttingDown()) return 0;
  std::uint8_t C = 0;
  CheckException(this, ValidDispatcher().PeekChar(C, Count));
  return C;
}

std::uint8_t TQpCustomComPort::GetCharPrim() {
  if (ShuttingDown()) return 0;
  std::uint8_t C = 0;
  const std::int32_t Result = (FDispatcher ? *FDispatcher : ValidDispatcher()).GetChar(C);
  if (Result < 0) CheckException(this, Result);
  return C;
}

void TQpCustomComPort::PeekBlock(void* Block, std::uint32_t Len) {
  if (ShuttingDown()) return;
  CheckException(this, ValidDispatcher().PeekBlock(Block, Len));
}

void TQpCustomComPort::GetBlock(void* Block, std::uint32_t Len) {
  if (ShuttingDown()) return;
  CheckException(this, ValidDispatcher().GetBlock(Block, Len));
}

void TQpCustomComPort::PutChar(std::uint8_t C) {
  if (ShuttingDown()) return;
  CheckException(this, ValidDispatcher().PutChar(C));
}

void TQpCustomComPort::PutString(const std::string& S) {
  if (ShuttingDown()) return;
  CheckException(this, ValidDispatcher().PutString(S));
}

void TQpCustomComPort::PutBlock(const void* Block, std::uint32_t Len) {
  if (ShuttingDown()) return;
  CheckException(this, ValidDispatcher().PutBlock(Block, Len));
}

void TQpCustomComPort::FlushInBuffer() {
  if (ShuttingDown()) return;
  CheckException(this, ValidDispatcher().FlushInBuffer());
}

void TQpCustomComPort::FlushOutBuffer() {
  if (ShuttingDown()) return;
  CheckException(this, ValidDispatcher().FlushOutBuffer());
}

std::int32_t TQpCustomComPort::ProcessCommunications() {
  if (ShuttingDown()) return 0;
  return CheckException(this, ValidDispatcher().ProcessCommunications());
}

std::uint32_t TQpCustomComPort::InBuffUsed() { return IsOpenNow() ? FDispatcher->InBuffUsed() : 0; }
std::uint32_t TQpCustomComPort::InBuffFree() {
  return IsOpenNow() ? FDispatcher->InBuffFree() : DispatchBufferSize;
}
std::uint32_t TQpCustomComPort::OutBuffUsed() { return IsOpenNow() ? FDispatcher->OutBuffUsed() : 0; }
std::uint32_t TQpCustomComPort::OutBuffFree() {
  return IsOpenNow() ? FDispatcher->OutBuffFree() : FOutSize;
}

// ---------------------------------------------------------------- triggers

std::uint32_t TQpCustomComPort::AddDataTrigger(const std::string& Data, bool IgnoreCase) {
  if (ShuttingDown()) return 0;
  return static_cast<std::uint32_t>(CheckException(
      this, ValidDispatcher().AddDataTriggerLen(Data.data(), IgnoreCase,
                                                static_cast<std::uint32_t>(std::min<std::size_t>(Data.size(), 255)))));
}

std::uint32_t TQpCustomComPort::AddTimerTrigger() {
  if (ShuttingDown()) return 0;
  return static_cast<std::uint32_t>(CheckException(this, ValidDispatcher().AddTimerTrigger()));
}

std::uint32_t TQpCustomComPort::AddStatusTrigger(std::uint32_t SType) {
  if (ShuttingDown()) return 0;
  return static_cast<std::uint32_t>(CheckException(this, ValidDispatcher().AddStatusTrigger(SType)));
}

void TQpCustomComPort::RemoveTrigger(std::uint32_t Handle) {
  if (!IsOpenNow()) return;
  CheckException(this, FDispatcher->RemoveTrigger(Handle));
}

void TQpCustomComPort::RemoveAllTriggers() {
  if (IsOpenNow()) FDispatcher->RemoveAllTriggers();
  FTriggerLength = 0;
}

void TQpCustomComPort::SetTimerTrigger(std::uint32_t Handle, std::int32_t Ticks, bool Activate) {
  if (ShuttingDown()) return;
  CheckException(this, ValidDispatcher().SetTimerTrigger(Handle, Ticks, Activate));
}

void TQpCustomComPort::SetStatusTrigger(std::uint32_t Handle, std::uint32_t Value, bool Activate) {
  if (ShuttingDown()) return;
  CheckException(this, ValidDispatcher().SetStatusTrigger(Handle, Value, Activate));
}

void TQpCustomComPort::SetTriggerLength(std::uint16_t Value) {
  FTriggerLength = Value;
  if (IsOpenNow()) FDispatcher->ChangeLengthTrigger(Value);
}

// ---------------------------------------------------------------- settings

void TQpCustomComPort::SetDeviceLayer(TDeviceLayer Value) {
  if (Value == FDeviceLayer || FPortState != psClosed || !(FDeviceLayers & DeviceLayerBit(Value)))
    return;
  FDeviceLayer = Value;
  DeviceLayerChanged();
}

void TQpCustomComPort::SetComNumber(std::uint16_t Value) {
  if (FPortState != psOpen) {
    FComNumber = Value;
    return;
  }
  if (Value == FComNumber) return;
  const TTraceLogState OldTracing = FTracing, OldLogging = FLogging;
  DonePort();  // saves the triggers for the next open
  FComNumber = Value;
  FTracing = OldTracing;
  FLogging = OldLogging;
  if (FPortState == psClosed)
    InitPort();
  else
    OpenPending = true;
}

void TQpCustomComPort::SetBaud(std::int32_t Value) {
  if (IsOpenNow() && (Value != FBaud || Force))
    CheckException(this, FDispatcher->SetLine(Value, DontChangeParity, DontChangeDatabits,
                                              DontChangeStopbits));
  FBaud = Value;
}

void TQpCustomComPort::SetParity(TParity Value) {
  if (IsOpenNow() && (Value != FParity || Force))
    CheckException(this, FDispatcher->SetLine(DontChangeBaud, Value, DontChangeDatabits,
                                              DontChangeStopbits));
  FParity = Value;
}

void TQpCustomComPort::SetDataBits(std::uint16_t Value) {
  if (IsOpenNow() && (Value != FDatabits || Force))
    CheckException(this, FDispatcher->SetLine(DontChangeBaud, DontChangeParity, Value,
                                              DontChangeStopbits));
  FDatabits = Value;
}

void TQpCustomComPort::SetStopBits(std::uint16_t Value) {
  if (IsOpenNow() && (Value != FStopbits || Force))
    CheckException(this, FDispatcher->SetLine(DontChangeBaud, DontChangeParity,
                                              DontChangeDatabits, Value));
  FStopbits = Value;
}

void TQpCustomComPort::SetInSize(std::uint16_t Value) {
  FInSize = Value;
  if (IsOpenNow()) CheckException(this, FDispatcher->SetCommBuffers(FInSize, FOutSize));
}

void TQpCustomComPort::SetOutSize(std::uint16_t Value) {
  FOutSize = Value;
  if (IsOpenNow()) CheckException(this, FDispatcher->SetCommBuffers(FInSize, FOutSize));
}

void TQpCustomComPort::SetDTR(bool Value) {
  if (!IsOpenNow()) {
    FDTR = Value;
    return;
  }
  const std::int32_t Result = FDispatcher->SetDtr(Value);
  CheckException(this, Result);
  if (Result == 0) FDTR = Value;
}

void TQpCustomComPort::SetRTS(bool Value) {
  if (!IsOpenNow()) {
    FRTS = Value;
    return;
  }
  const std::int32_t Result = FDispatcher->SetRts(Value);
  CheckException(this, Result);
  if (Result == 0) FRTS = Value;
}

void TQpCustomComPort::ApplyFlowSettings() {
  if (!IsOpenNow()) return;
  TQpBaseDispatcher& D = *FDispatcher;
  std::uint32_t HW = 0;
  if (FHWFlowOptions & hwfUseDTR) HW |= hfUseDTR;
  if (FHWFlowOptions & hwfUseRTS) HW |= hfUseRTS;
  if (FHWFlowOptions & hwfRequireDSR) HW |= hfRequireDSR;
  if (FHWFlowOptions & hwfRequireCTS) HW |= hfRequireCTS;
  if (HW != 0 || Force) CheckException(this, D.HWFlowOptions(FBufferFull, FBufferResume, HW));
  if (FSWFlowOptions != swfNone) {
    const std::uint32_t SW = FSWFlowOptions == swfReceive ? sfReceiveFlow
                             : FSWFlowOptions == swfTransmit ? sfTransmitFlow
                                                             : sfReceiveFlow | sfTransmitFlow;
    CheckException(this, D.SWFlowEnable(FBufferFull, FBufferResume, SW));
    CheckException(this, D.SWFlowChars(FXOnChar, FXOffChar));
  } else {
    CheckException(this, D.SWFlowDisable());
  }
}

void TQpCustomComPort::SetHWFlowOptions(THWFlowOptionSet Value) {
  if (Value != 0) {
    if (FBufferFull == 0 || FBufferFull > FInSize) FBufferFull = RoundEven(FInSize * 0.9);
    if (FBufferResume == 0 || FBufferResume > FBufferFull) FBufferResume = RoundEven(FInSize * 0.1);
  }
  FHWFlowOptions = Value;
  if (Value & (hwfUseRTS | hwfRequireCTS)) FRS485Mode = false;
  if (IsOpenNow()) {
    const bool OldForce = Force;
    Force = true;  // switching options off must reach the device too
    try {
      ApplyFlowSettings();
    } catch (...) {
      Force = OldForce;
      throw;
    }
    Force = OldForce;
  }
}

void TQpCustomComPort::SetSWFlowOptions(TSWFlowOptions Value) {
  if (Value != swfNone) {
    if (FBufferFull == 0 || FBufferFull > FInSize) FBufferFull = RoundEven(FInSize * 0.75);
    if (FBufferResume == 0 || FBufferResume > FBufferFull) FBufferResume = RoundEven(FInSize * 0.25);
  }
  FSWFlowOptions = Value;
  ApplyFlowSettings();
}

void TQpCustomComPort::SetBufferFull(std::uint16_t Value) {
  FBufferFull = Value > FInSize ? RoundEven(Value * 0.9) : Value;
  ApplyFlowSettings();
}

void TQpCustomComPort::SetBufferResume(std::uint16_t Value) {
  FBufferResume = Value > FBufferFull ? RoundEven(FBufferFull * 0.1) : Value;
  ApplyFlowSettings();
}

void TQpCustomComPort::SetXOnChar(std::uint8_t Value) {
  FXOnChar = Value;
  if (IsOpenNow()) CheckException(this, FDispatcher->SWFlowChars(FXOnChar, FXOffChar));
}

void TQpCustomComPort::SetXOffChar(std::uint8_t Value) {
  FXOffChar = Value;
  if (IsOpenNow()) CheckException(this, FDispatcher->SWFlowChars(FXOnChar, FXOffChar));
}

void TQpCustomComPort::SetUseMSRShadow(bool /*Value*/) {}

void TQpCustomComPort::SetUseEventWord(bool Value) {
  FUseEventWord = Value;
  if (!IsOpenNow()) return;
  if (Value)
    FDispatcher->OptionsOn(poUseEventWord);
  else
    FDispatcher->OptionsOff(poUseEventWord);
}

void TQpCustomComPort::SetRS485Mode(bool Value) {
  FRS485Mode = Value;
  if (IsOpenNow()) FDispatcher->SetRS485Mode(Value);
  if (Value) {
    SetHWFlowOptions(FHWFlowOptions & ~(hwfUseRTS | hwfRequireCTS));
    FRS485Mode = true;
    SetRTS(false);
  }
}

void TQpCustomComPort::SetThreadBoost(TApThreadBoost Value) {
  FThreadBoost = Value;
  if (IsOpenNow()) FDispatcher->SetThreadBoost(static_cast<std::uint8_t>(Value));
}

std::uint16_t TQpCustomComPort::BaseAddress() {
  return IsOpenNow() ? FDispatcher->GetBaseAddress() : FBaseAddress;
}

void TQpCustomComPort::SetBaseAddress(std::uint16_t Value) {
  FBaseAddress = Value;
  if (IsOpenNow()) FDispatcher->SetBaseAddress(Value);
}

// ---------------------------------------------------------------- line

void TQpCustomComPort::SendBreak(std::int32_t Ticks, bool Yield) {
  if (ShuttingDown()) return;
  ValidDispatcher().SendBreak(Ticks, Yield);
}

void TQpCustomComPort::SetBreak(bool BreakOn) {
  if (ShuttingDown()) return;
  ValidDispatcher().SetBreak(BreakOn);
}

std::uint8_t TQpCustomComPort::ModemStatus() {
  if (!IsOpenNow()) {
    if (ShuttingDown()) return 0;
    throw ECommNotOpen(ecCommNotOpen);
  }
  return FDispatcher->GetModemStatus();
}

bool TQpCustomComPort::CTS() { return IsOpenNow() && FDispatcher->CheckCTS(); }
bool TQpCustomComPort::DSR() { return IsOpenNow() && FDispatcher->CheckDSR(); }
bool TQpCustomComPort::RI() { return IsOpenNow() && FDispatcher->CheckRI(); }
bool TQpCustomComPort::DCD() { return IsOpenNow() && FDispatcher->CheckDCD(); }
bool TQpCustomComPort::DeltaCTS() { return IsOpenNow() && FDispatcher->CheckDeltaCTS(); }
bool TQpCustomComPort::DeltaDSR() { return IsOpenNow() && FDispatcher->CheckDeltaDSR(); }
bool TQpCustomComPort::DeltaRI() { return IsOpenNow() && FDispatcher->CheckDeltaRI(); }
bool TQpCustomComPort::DeltaDCD() { return IsOpenNow() && FDispatcher->CheckDeltaDCD(); }
std::uint16_t TQpCustomComPort::LineError() { return IsOpenNow() ? FDispatcher->GetLineError() : 0; }
bool TQpCustomComPort::LineBreak() { return IsOpenNow() && FDispatcher->CheckLineBreak(); }

TFlowControlState TQpCustomComPort::FlowState() {
  if (!IsOpenNow()) return fcOff;
  const std::int32_t HW = FDispatcher->HWFlowState() - 1;
  if (HW != fcOff) return static_cast<TFlowControlState>(HW);
  return static_cast<TFlowControlState>(FDispatcher->SWFlowState() - 1);
}

// ---------------------------------------------------------------- waiting

void TQpCustomComPort::PrepareWait() {
  if (ShuttingDown()) return;
  bool WasOn = false;
  ValidDispatcher().SetEventBusy(WasOn, true);
  BusyBeforeWait = WasOn;
  WaitPrepped = true;
}

bool TQpCustomComPort::CheckForString(std::uint32_t& Index, std::uint8_t C, const std::string& S,
                                      bool IgnoreCase) {
  if (S.empty()) return false;
  auto Same = [IgnoreCase](std::uint8_t A, std::uint8_t B) {
    if (IgnoreCase) {
      if (A >= 'a' && A <= 'z') A -= 32;
      if (B >= 'a' && B <= 'z') B -= 32;
    }
    return A == B;
  };
  if (Index < S.size() && Same(C, static_cast<std::uint8_t>(S[Index]))) {
    ++Index;
  } else {
    Index = Same(C, static_cast<std::uint8_t>(S[0])) ? 1 : 0;
  }
  if (Index == S.size()) {
    Index = 0;
    return true;
  }
  return false;
}

int TQpCustomComPort::WaitForMultiString(const std::string& S, std::int32_t Timeout, bool Yield,
                                         bool IgnoreCase, char SepChar) {
  if (ShuttingDown()) return 0;
  std::vector<std::string> Strings;
  std::string Cur;
  for (char C : S) {
    if (C == SepChar) {
      Strings.push_back(Cur);
      Cur.clear();
    } else {
      Cur += C;
    }
  }
  Strings.push_back(Cur);
  if (Strings.size() > 127) Strings.resize(127);
  std::vector<std::uint32_t> Index(Strings.size(), 0);
  TQpBaseDispatcher& D = ValidDispatcher();
  bool WasOn = false;
  if (WaitPrepped)
    WasOn = BusyBeforeWait;
  else
    D.SetEventBusy(WasOn, true);
  WaitPrepped = false;
  EventTimer ET;
  NewTimer(ET, Timeout);
  int Found = 0;
  while (Found == 0 && !TimerExpired(ET) && FPortState == psOpen) {
    std::uint8_t C;
    if (D.GetChar(C) == ecOK) {
      WaitChar(C);
      for (std::size_t I = 0; I < Strings.size(); ++I)
        if (CheckForString(Index[I], C, Strings[I], IgnoreCase)) {
          Found = static_cast<int>(I + 1);
          break;
        }
      continue;
    }
    if (Yield) SafeYield();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (FDispatcher && !WasOn) {
    bool Dummy;
    FDispatcher->SetEventBusy(Dummy, false);
  }
  return Found;
}

bool TQpCustomComPort::WaitForString(const std::string& S, std::int32_t Timeout, bool Yield,
                                     bool IgnoreCase) {
  // One string: a separator that the string does not contain keeps it whole.
  char Sep = '\0';
  while (S.find(Sep) != std::string::npos) ++Sep;
  return WaitForMultiString(S, Timeout, Yield, IgnoreCase, Sep) != 0;
}
