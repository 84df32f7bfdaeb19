#pragma once
// The port component: keeps the port settings, opens and closes the port by creating and
// destroying a dispatcher of the chosen device layer, turns dispatcher error codes into
// exceptions, and raises the dispatcher's notifications as events on the GUI thread through a
// hidden window (OnTriggerAvail and its relatives).
//
// Custom device layers plug in through CustomDispatcher (a factory); derived components (the
// network port) override ActivateDeviceLayer, InitializePort, ValidateComport and may handle
// further messages of the hidden window by overriding ComWindowProc.

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/messages.h"
#include "port/port_dispatch.h"
#include "port/port_errors.h"

enum TPortState { psClosed = 0, psShuttingDown = 1, psOpen = 2 };
enum TDeviceLayer { dlWin32 = 0, dlWinsock = 1 };
using TDeviceLayers = std::uint32_t;  // bit (1 << layer)
constexpr TDeviceLayers DeviceLayerBit(TDeviceLayer L) { return 1u << L; }
enum TParity { pNone = 0, pOdd, pEven, pMark, pSpace };
enum TTapiMode { tmNone, tmAuto, tmOn, tmOff };
enum TApThreadBoost { tbNone, tbPlusOne, tbPlusTwo };
enum THWFlowOptions { hwfUseDTR = 1, hwfUseRTS = 2, hwfRequireDSR = 4, hwfRequireCTS = 8 };
using THWFlowOptionSet = std::uint32_t;  // OR of THWFlowOptions
enum TSWFlowOptions { swfNone, swfReceive, swfTransmit, swfBoth };
enum TFlowControlState { fcOff, fcOn, fcDsrHold, fcCtsHold, fcDcdHold, fcXOutHold, fcXInHold,
                         fcXBothHold };
enum TTraceLogState { tlOff, tlOn, tlDump, tlAppend, tlClear, tlPause, tlAppendAndContinue };
enum TQpCallbackType { ctOpen, ctClosing, ctClosed };

class TQpCustomComPort;

// A trigger event of the port. Assigning a handler (or nullptr) takes effect at once: the port
// tells its dispatcher whether anything is left to deliver to, so a handler assigned while the
// port is open is called from the next notification on. GUI thread only, like the events.
template <class Sig>
class TPortTriggerEvent {
 public:
  explicit TPortTriggerEvent(TQpCustomComPort& Owner) : FOwner(Owner) {}
  TPortTriggerEvent(const TPortTriggerEvent&) = delete;
  TPortTriggerEvent& operator=(const TPortTriggerEvent&) = delete;
  template <class F>
  TPortTriggerEvent& operator=(F&& Handler) {
    FHandler = std::forward<F>(Handler);
    Changed();
    return *this;
  }
  explicit operator bool() const { return bool(FHandler); }
  template <class... A>
  void operator()(A&&... Args) const {
    FHandler(std::forward<A>(Args)...);
  }

 private:
  void Changed();
  TQpCustomComPort& FOwner;
  std::function<Sig> FHandler;
};
using TPortCallback = std::function<void(TQpCustomComPort* CP, bool Opening)>;
using TPortCallbackEx = std::function<void(TQpCustomComPort* CP, TQpCallbackType CallbackType)>;

struct TUserListEntry {
  HWND Handle = 0;
  const void* Code = nullptr;  // identity of a callback user
  TPortCallback OpenClose;
  TPortCallbackEx OpenCloseEx;
  bool IsEx = false;
};

// Creates the dispatcher of a custom device layer for Owner.
using TQpCustomDispatcherFactory =
    std::function<std::shared_ptr<TQpBaseDispatcher>(TQpCustomComPort* Owner)>;

class TQpCustomComPort : public TQpLoadingState {
 public:
  TQpCustomComPort();
  ~TQpCustomComPort() override;
  TQpCustomComPort(const TQpCustomComPort&) = delete;
  TQpCustomComPort& operator=(const TQpCustomComPort&) = delete;

  // ---- opening and closing ----
  bool Open() const { return FOpen; }
  void SetOpen(bool Value);
  TPortState PortState() const { return FPortState; }
  // Loading from a stored description: errors are returned instead of raised meanwhile, and an
  // Open requested then happens in Loaded.
  bool IsLoading() const override { return FLoading; }
  void BeginLoading() { FLoading = true; }
  void Loaded();

  // ---- settings ----
  TDeviceLayer DeviceLayer() const { return FDeviceLayer; }
  void SetDeviceLayer(TDeviceLayer Value);
  TDeviceLayers DeviceLayers() const { return FDeviceLayers; }
  std::uint16_t ComNumber() const { return FComNumber; }
  void SetComNumber(std::uint16_t Value);
  std::int32_t Baud() const { return FBaud; }
  void SetBaud(std::int32_t Value);
  TParity Parity() const { return FParity; }
  void SetParity(TParity Value);
  std::uint16_t DataBits() const { return FDatabits; }
  void SetDataBits(std::uint16_t Value);
  std::uint16_t StopBits() const { return FStopbits; }
  void SetStopBits(std::uint16_t Value);
  std::uint16_t InSize() const { return FInSize; }
  void SetInSize(std::uint16_t Value);
  std::uint16_t OutSize() const { return FOutSize; }
  void SetOutSize(std::uint16_t Value);
  bool PromptForPort() const { return FPromptForPort; }
  void SetPromptForPort(bool V) { FPromptForPort = V; }
  bool AutoOpen() const { return FAutoOpen; }
  void SetAutoOpen(bool V) { FAutoOpen = V; }
  bool DTR() const { return FDTR; }
  void SetDTR(bool Value);
  bool RTS() const { return FRTS; }
  void SetRTS(bool Value);
  THWFlowOptionSet HWFlowOptions() const { return FHWFlowOptions; }
  void SetHWFlowOptions(THWFlowOptionSet Value);
  TSWFlowOptions SWFlowOptions() const { return FSWFlowOptions; }
  void SetSWFlowOptions(TSWFlowOptions Value);
  std::uint8_t XOnChar() const { return FXOnChar; }
  void SetXOnChar(std::uint8_t Value);
  std::uint8_t XOffChar() const { return FXOffChar; }
  void SetXOffChar(std::uint8_t Value);
  std::uint16_t BufferFull() const { return FBufferFull; }
  void SetBufferFull(std::uint16_t Value);
  std::uint16_t BufferResume() const { return FBufferResume; }
  void SetBufferResume(std::uint16_t Value);
  // Tracing and dispatch logging (port_trace.cpp). Setting a state acts while open (see
  // TTraceLogState: on, pause, clear, dump or append to TraceName / LogName, off); while
  // closed only tlOn or tlOff is kept, applied at open. Closing dumps both first. A size
  // change while on or paused restarts the recorder (a paused one ends up off). GUI thread.
  TTraceLogState Tracing() const { return FTracing; }
  void SetTracing(TTraceLogState V);
  TTraceLogState Logging() const { return FLogging; }
  void SetLogging(TTraceLogState V);
  std::uint32_t TraceSize() const { return FTraceSize; }
  void SetTraceSize(std::uint32_t V);  // at most 4000000 entries
  const std::string& TraceName() const { return FTraceName; }
  void SetTraceName(const std::string& V) { FTraceName = V.substr(0, 255); }
  std::uint32_t LogSize() const { return FLogSize; }
  void SetLogSize(std::uint32_t V);  // at most 16000000 bytes
  const std::string& LogName() const { return FLogName; }
  void SetLogName(const std::string& V) { FLogName = V.substr(0, 255); }
  bool TraceHex() const { return FTraceHex; }
  void SetTraceHex(bool V) { FTraceHex = V; }
  bool TraceAllHex() const { return FTraceAllHex; }
  void SetTraceAllHex(bool V) { FTraceAllHex = V; }
  bool LogHex() const { return FLogHex; }
  void SetLogHex(bool V) { FLogHex = V; }
  bool LogAllHex() const { return FLogAllHex; }
  void SetLogAllHex(bool V) { FLogAllHex = V; }
  bool UseMSRShadow() const { return FUseMSRShadow; }
  virtual void SetUseMSRShadow(bool Value);
  bool UseEventWord() const { return FUseEventWord; }
  void SetUseEventWord(bool Value);
  std::uint16_t CommNotificationLevel() const { return FCommNotificationLevel; }
  void SetCommNotificationLevel(std::uint16_t V) { FCommNotificationLevel = V; }
  TTapiMode TapiMode() const { return FTapiMode; }
  void SetTapiMode(TTapiMode V) { FTapiMode = V; }
  std::uint16_t TapiCid() const { return FTapiCid; }
  void SetTapiCid(std::uint16_t V) { FTapiCid = V; }
  bool RS485Mode() const { return FRS485Mode; }
  void SetRS485Mode(bool Value);
  TApThreadBoost ThreadBoost() const { return FThreadBoost; }
  void SetThreadBoost(TApThreadBoost Value);
  std::uint16_t BaseAddress();
  void SetBaseAddress(std::uint16_t Value);
  std::uint16_t TriggerLength() const { return FTriggerLength; }
  void SetTriggerLength(std::uint16_t Value);
  int Tag() const { return FTag; }
  void SetTag(int V) { FTag = V; }
  std::string Version() const { return "v1.00"; }
  void* MasterTerminal() const { return FMasterTerminal; }
  void SetMasterTerminal(void* V) { FMasterTerminal = V; }
  const TQpCustomDispatcherFactory& CustomDispatcher() const { return fCustomDispatcher; }
  void SetCustomDispatcher(TQpCustomDispatcherFactory F) { fCustomDispatcher = std::move(F); }
  HWND ComWindow() const { return fComWindow; }
  // Shows the port selection dialog for PromptForPort; true with Number set when chosen.
  // Not set: the process-wide default selector, and without one prompting is refused with
  // ENoPortSelected.
  std::function<bool(std::uint16_t& Number)> PortSelector;
  // The selector for ports without their own (the port selection dialog installs itself).
  static void SetDefaultPortSelector(std::function<bool(std::uint16_t& Number)> Selector);

  // ---- the dispatcher ----
  // Opens the port first when AutoOpen and closed. nullptr when there is none.
  std::shared_ptr<TQpBaseDispatcher> Dispatcher() { return GetDispatcher(); }
  // The factory used for a device layer when no CustomDispatcher is set (the device library
  // registers its layers; a layer without a factory fails to open with ENullApi).
  static void RegisterDeviceLayer(TDeviceLayer Layer, TQpCustomDispatcherFactory Factory);
  // A dispatcher of Layer from its registered factory, for Owner (may be null); nullptr when
  // no factory is registered.
  static std::shared_ptr<TQpBaseDispatcher> CreateDeviceLayer(TDeviceLayer Layer, TQpCustomComPort* Owner);
  std::shared_ptr<TQpBaseDispatcher> GetDispatcher();

  // ---- data ----
  bool CharReady();
  std::uint8_t PeekChar(std::uint32_t Count);
  std::uint8_t GetChar() {
    std::uint8_t C;
    if (FPortState == psOpen && FDispatcher && FDispatcher->TryGetCharInSession(C)) return C;
    return GetCharPrim();
  }
  // Takes what GetChar calls one after another would: up to Max bytes, ending after the first
  // Stop byte; the count (at least 1: like GetChar it raises when nothing is there).
  std::uint32_t GetCharsUntil(std::uint8_t* Out, std::uint32_t Max, std::uint8_t Stop) {
    if (Max == 0) return 0;
    if (FPortState == psOpen && FDispatcher)
      if (const std::uint32_t N = FDispatcher->TryGetCharsInSession(Out, Max, Stop)) return N;
    Out[0] = GetCharPrim();
    return 1;
  }
  void PeekBlock(void* Block, std::uint32_t Len);
  void GetBlock(void* Block, std::uint32_t Len);
  void PutChar(std::uint8_t C);
  void PutString(const std::string& S);
  void PutBlock(const void* Block, std::uint32_t Len);
  void SetOutput(const std::string& S) { PutString(S); }
  void FlushInBuffer();
  void FlushOutBuffer();
  virtual std::int32_t ProcessCommunications();
  std::uint32_t InBuffUsed();
  std::uint32_t InBuffFree();
  std::uint32_t OutBuffUsed();
  std::uint32_t OutBuffFree();

  // ---- tracing and logging (nothing while shutting down; while closed as GetChar) ----
  void InitTracing(std::uint32_t NumEntries);
  void DumpTrace(const std::string& FName, bool InHex);
  void AppendTrace(const std::string& FName, bool InHex, TTraceLogState NewState);
  void ClearTracing();
  void AbortTracing();
  void StartTracing();
  void StopTracing();
  void AddTraceEntry(char CurEntry, std::uint8_t CurCh);
  void InitLogging(std::uint32_t Size);
  void DumpLog(const std::string& FName, bool InHex);
  void AppendLog(const std::string& FName, bool InHex, TTraceLogState NewState);
  void ClearLogging();
  void AbortLogging();
  void StartLogging();
  void StopLogging();
  void AddStringToLog(const std::string& S);

  // ---- triggers ----
  std::uint32_t AddDataTrigger(const std::string& Data, bool IgnoreCase);
  std::uint32_t AddTimerTrigger();
  std::uint32_t AddStatusTrigger(std::uint32_t SType);
  void RemoveTrigger(std::uint32_t Handle);
  void RemoveAllTriggers();
  void SetTimerTrigger(std::uint32_t Handle, std::int32_t Ticks, bool Activate);
  void SetStatusTrigger(std::uint32_t Handle, std::uint32_t Value, bool Activate);

  // ---- line ----
  void SendBreak(std::int32_t Ticks, bool Yield);
  void SetBreak(bool BreakOn);
  std::uint8_t ModemStatus();
  bool CTS();
  bool DSR();
  bool RI();
  bool DCD();
  bool DeltaCTS();
  bool DeltaDSR();
  bool DeltaRI();
  bool DeltaDCD();
  std::uint16_t LineError();
  bool LineBreak();
  TFlowControlState FlowState();

  // ---- users ----
  void RegisterUser(HWND H);
  void RegisterUserEx(HWND H);
  void RegisterUserCallback(const void* Code, TPortCallback CallBack);
  void RegisterUserCallbackEx(const void* Code, TPortCallbackEx CallBackEx);
  void DeregisterUser(HWND H);
  void DeregisterUserCallback(const void* Code);
  void DeregisterUserCallbackEx(const void* Code);

  // ---- waiting ----
  void PrepareWait();
  static bool CheckForString(std::uint32_t& Index, std::uint8_t C, const std::string& S,
                             bool IgnoreCase);
  bool WaitForString(const std::string& S, std::int32_t Timeout, bool Yield, bool IgnoreCase);
  int WaitForMultiString(const std::string& S, std::int32_t Timeout, bool Yield, bool IgnoreCase,
                         char SepChar);
  void ForcePortOpen() {
    if (FAutoOpen) ForceOpen = true;
  }

  // Depth-first search among Owner's children is a widget concern; the program keeps its port.

  // ---- events (GUI thread, from the hidden window) ----
  TPortTriggerEvent<void(TQpCustomComPort* CP, UINT Msg, std::uint16_t TriggerHandle, std::uint16_t Data)>
      OnTrigger{*this};
  TPortTriggerEvent<void(TQpCustomComPort* CP, std::uint16_t Count)> OnTriggerAvail{*this};
  TPortTriggerEvent<void(TQpCustomComPort* CP, std::uint16_t TriggerHandle)> OnTriggerData{*this};
  TPortTriggerEvent<void(TQpCustomComPort* CP, std::uint16_t TriggerHandle)> OnTriggerStatus{*this};
  TPortTriggerEvent<void(TQpCustomComPort* CP, std::uint16_t TriggerHandle)> OnTriggerTimer{*this};
  TPortTriggerEvent<void(TQpCustomComPort* CP)> OnTriggerModemStatus{*this};
  TPortTriggerEvent<void(TQpCustomComPort* CP, std::uint16_t Error, bool LineBreak)> OnTriggerLineError{*this};
  TPortTriggerEvent<void(TQpCustomComPort* CP)> OnTriggerOutbuffFree{*this};
  TPortTriggerEvent<void(TQpCustomComPort* CP)> OnTriggerOutbuffUsed{*this};
  TPortTriggerEvent<void(TQpCustomComPort* CP)> OnTriggerOutSent{*this};
  std::function<void(TQpCustomComPort* CP)> OnPortOpen;
  std::function<void(TQpCustomComPort* CP)> OnPortClose;
  std::function<void(TQpCustomComPort* CP, std::uint8_t C)> OnWaitChar;
  // Tells the dispatcher whether any trigger event is assigned; assigning one calls it.
  virtual void UpdateHandlerFlag();

 protected:
  virtual std::shared_ptr<TQpBaseDispatcher> ActivateDeviceLayer();
  virtual void DeviceLayerChanged() {}
  virtual std::int32_t InitializePort();
  virtual void RegisterComPort(bool Register);
  virtual void ValidateComport();
  // The hidden window's procedure; derived ports handle their own messages and pass the rest.
  virtual void ComWindowProc(TMessage& Msg);
  virtual void Trigger(UINT Msg, std::uint32_t TriggerHandle, std::uint32_t Data);
  virtual void TriggerAvail(std::uint32_t Count);
  virtual void TriggerData(std::uint32_t TriggerHandle);
  virtual void TriggerStatus(std::uint32_t TriggerHandle);
  virtual void TriggerTimer(std::uint32_t TriggerHandle);
  virtual void TriggerLineError(std::uint16_t Error, bool LineBreak);
  virtual void TriggerModemStatus();
  virtual void TriggerOutbuffFree();
  virtual void TriggerOutbuffUsed();
  virtual void TriggerOutSent();
  virtual void WaitChar(std::uint8_t C);
  virtual void DonePort();
  virtual void InitPort();
  virtual void PortOpen();
  virtual void PortClose();
  virtual void PortClosing();

  // The dispatcher or ECommNotOpen.
  TQpBaseDispatcher& ValidDispatcher();
  bool ShuttingDown() const { return FPortState == psShuttingDown; }
  // Frees the dispatcher after its close (threads ended, registry left).
  void ReleaseDispatcher();
  void FinishClose();

  bool Force = false;
  TPortState FPortState = psClosed;
  bool OpenPending = false;
  bool ForceOpen = false;
  std::vector<TUserListEntry> UserList;
  bool CopyTriggers = false;
  TTriggerSave SaveTriggerBuffer;
  bool BusyBeforeWait = false, WaitPrepped = false;
  HWND fComWindow = 0;
  TQpCustomDispatcherFactory fCustomDispatcher;
  void* FMasterTerminal = nullptr;
  TDeviceLayer FDeviceLayer = dlWin32;
  TDeviceLayers FDeviceLayers = DeviceLayerBit(dlWin32);
  std::shared_ptr<TQpBaseDispatcher> FDispatcher;
  std::uint16_t FComNumber = 0;
  std::int32_t FBaud = 19200;
  TParity FParity = pNone;
  std::uint16_t FDatabits = 8, FStopbits = 1;
  std::uint16_t FInSize = 4096, FOutSize = 4096;
  bool FOpen = false, FPromptForPort = true, FAutoOpen = true;
  std::uint16_t FCommNotificationLevel = 10;
  std::uint16_t FTapiCid = 0;
  TTapiMode FTapiMode = tmAuto;
  bool FRS485Mode = false;
  TApThreadBoost FThreadBoost = tbNone;
  bool FDTR = true, FRTS = true;
  std::uint16_t FBufferFull = 0, FBufferResume = 0;
  THWFlowOptionSet FHWFlowOptions = 0;
  TSWFlowOptions FSWFlowOptions = swfNone;
  std::uint8_t FXOnChar = 17, FXOffChar = 19;
  TTraceLogState FTracing = tlOff, FLogging = tlOff;
  std::uint32_t FTraceSize = 10000, FLogSize = 10000;
  std::string FTraceName = "QPORT.TRC", FLogName = "QPORT.LOG";
  bool FTraceHex = true, FTraceAllHex = false, FLogHex = true, FLogAllHex = false;
  bool FUseMSRShadow = true, FUseEventWord = true;
  std::uint16_t FTriggerLength = 1;
  int FTag = 0;
  std::uint16_t FBaseAddress = 0;
  static constexpr UINT_PTR ClosePendingTimer = 1;
  LPARAM FClosePendingLParam = 0;
  bool FLoading = false;
  bool FDestroying = false;
  // Guards the hidden window against a port already gone (messages may still be queued).
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);

 private:
  void ApplyRecorderState(bool Trace, TTraceLogState Value);
  void ApplyRecorderStates();
  std::exception_ptr DumpRecordersAtClose();
  void ApplyFlowSettings();
  std::uint8_t GetCharPrim();
  bool IsOpenNow() const { return FPortState == psOpen && FDispatcher != nullptr; }
};

// The component with every property published; adds nothing.
class TQpComPort : public TQpCustomComPort {
 public:
  using TQpCustomComPort::TQpCustomComPort;
};

template <class Sig>
void TPortTriggerEvent<Sig>::Changed() {
  FOwner.UpdateHandlerFlag();
}
