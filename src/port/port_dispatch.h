#pragma once
// The dispatcher base and the device-layer contract.
//
// One TQpBaseDispatcher exists per open port. It owns the 8192-byte input ring, the output
// accounting, the triggers and their delivery, and the line settings; it never touches a
// device itself. A device layer derives from it and implements the pure virtual operations of
// the contract below. Dispatchers are always held by std::shared_ptr: every thread a dispatcher
// starts holds a reference, so its state outlives the thread and any delivery in flight.
//
// Lifecycle as the port component drives it:
//   auto D = std::make_shared<MyLayer>(Port);   // registers D in PortList (its Handle)
//   D->InitPort(...) or D->InitSocket(...)       // opens; 0 or a negative code
//   ... D->DonePort() ...                        // closes (deferred while a delivery runs)
//   D->Destroy(); D.reset();                     // ends threads, leaves PortList
//
// Threads: a layer that wants the dispatcher thread (serial-like layers) calls StartDispThread()
// from its StartDispatcher and StopDispThread() from its CloseCom; a layer without threads (the
// network layer) runs ExtractData/CheckTriggers itself on the GUI thread. After a close made
// during a delivery, the dispatcher thread itself runs DonePortPrim, so a layer's
// StopDispatcher and CloseCom may run on that thread too: they must not wait for the GUI
// thread there (StopDispThread knows not to wait for itself), and a second CloseCom must be
// harmless (CloseComActive, a negative CidEx).
//
// Locks (re-entrant), taken in this order when two are held: DispSection, DataSection,
// OutputSection; a layer's own locks come after them (the serial layer's order is in
// serial_layer.h). The state block below groups the fields by the lock that guards them. No
// lock is held while a notification is delivered, and no layer operation called under a lock
// (WriteCom, OutBufUsed) may reach a handler.

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/messages.h"
#include "port/io_queues.h"
#include "port/line_control.h"
#include "port/port_errors.h"
#include "port/port_sync.h"
#include "port/port_trace.h"
#include "port/trigger_engine.h"

class TQpCustomComPort;
class TQpBaseDispatcher;

constexpr std::uint32_t DispatchBufferSize = 8192;
constexpr int MaxDataPointers = 3;
constexpr std::uint32_t ThreadStartWait = 3000;
// The dispatcher thread's look interval while something can only be seen by looking.
constexpr std::int32_t DispatchTickMs = 50;
// The longest the thread of a dispatcher without an owning port component sleeps otherwise.
constexpr std::int32_t DispatchIdleCheckMs = 1000;
constexpr UINT NotifyTimeoutMs = 3000;  // per window receiver
// The longest the dispatcher thread holds queued input back for a block known to follow (see
// GatherFollowingInput); a streaming pseudo-terminal or USB device queues one every few tens of
// microseconds, a serial line at 3 Mbit/s takes 13 ms for one.
constexpr auto GatherWait = std::chrono::microseconds(250);
// Dispatcher option bits (OptionsOn/OptionsOff).
constexpr std::uint32_t poUseEventWord = 0x04;

// Bytes in a ring of DispatchBufferSize from Tail to Head.
inline std::uint32_t BuffCount(std::uint32_t Head, std::uint32_t Tail, bool Full) {
  if (Head == Tail) return Full ? DispatchBufferSize : 0;
  if (Head > Tail) return Head - Tail;
  return Head + DispatchBufferSize - Tail;
}

// Base of every dispatcher-owned thread. The thread holds the dispatcher and frees itself when
// it ends; its last act is the dispatcher's ThreadGone, which reports ReturnValue (through
// CheckException) or an exception that escaped Execute to the user, on the GUI thread.
class TQpDispatcherThread : public std::enable_shared_from_this<TQpDispatcherThread> {
 public:
  explicit TQpDispatcherThread(std::shared_ptr<TQpBaseDispatcher> Disp) : H(std::move(Disp)) {}
  virtual ~TQpDispatcherThread() = default;
  // Starts the thread (it keeps itself alive until Execute returns and ThreadGone has run).
  void Start();
  std::shared_ptr<TQpBaseDispatcher> Dispatcher() const { return H; }
  int ReturnValue = 0;
  std::thread::id ThreadId() const { return FId.load(); }
  std::string ErrorText;  // text of an exception that escaped Execute, if any
  bool Started = false;   // set by the dispatcher's ThreadStart / ThreadGone
  bool Gone = false;

  // Runs Event(Msg, Trigger, lParam) on the GUI thread and waits until it has run (at most
  // NotifyTimeoutMs while the GUI thread has not started it; never delivered late).
  void SyncNotify(UINT Msg, WPARAM Trigger, LPARAM lParam, const TTriggerEvent& Event);

 protected:
  virtual void Execute() = 0;
  std::shared_ptr<TQpBaseDispatcher> H;

 private:
  void Run();
  std::atomic<std::thread::id> FId{};
};

// The dispatcher thread: moves queued input into the ring, checks triggers, delivers.
class TDispThread : public TQpDispatcherThread {
 public:
  using TQpDispatcherThread::TQpDispatcherThread;

 protected:
  void Execute() override;
};

class TQpBaseDispatcher : public std::enable_shared_from_this<TQpBaseDispatcher> {
 public:
  explicit TQpBaseDispatcher(TQpCustomComPort* Owner);
  virtual ~TQpBaseDispatcher();
  TQpBaseDispatcher(const TQpBaseDispatcher&) = delete;
  TQpBaseDispatcher& operator=(const TQpBaseDispatcher&) = delete;

  // ---------------- the device-layer contract ----------------
  virtual std::int32_t EscapeComFunction(std::int32_t Func) = 0;
  // 0: discard unsent output; 1: discard input held below the ring (device and FQueue).
  virtual std::int32_t FlushCom(std::int32_t Queue) = 0;
  // Line error bits since the last call (bits 0-4); fills Stat (cbOutQue = bytes unsent).
  virtual std::int32_t GetComError(TComStat& Stat) = 0;
  virtual std::int32_t GetComEventMask(std::int32_t EvtMask) = 0;
  virtual std::int32_t GetComState(TDCB& DCB) = 0;
  // At most Size received bytes, without blocking; the count.
  virtual std::int32_t ReadCom(void* Buf, std::int32_t Size) = 0;
  virtual std::int32_t SetComState(TDCB& DCB) = 0;
  // Accepts Size bytes for sending without blocking; the count accepted (<= 0 on failure).
  // Runs under OutputSection, so it must not reach a handler (a failed send reported there
  // would run the port's handlers with the lock held): a layer that sends on the caller's
  // thread queues here and sends in SendQueued.
  virtual std::int32_t WriteCom(const void* Buf, std::int32_t Size) = 0;
  // Called by PutBlock after WriteCom, with no dispatcher lock held.
  virtual void SendQueued() {}
  virtual bool WaitComEvent(std::uint32_t& EvtMask, void* Overlapped) {
    (void)Overlapped;
    EvtMask = 0;
    return true;
  }
  virtual bool SetupCom(std::int32_t InSize, std::int32_t OutSize) = 0;
  virtual void DonePortPrim();
  // Starts the event machinery and sets DispActive; a second start throws std::runtime_error.
  virtual void StartDispatcher() = 0;
  virtual void StopDispatcher() = 0;
  // Bytes accepted and not yet sent; called under OutputSection (the same rule as WriteCom).
  virtual std::uint32_t OutBufUsed() = 0;
  virtual std::uint32_t InQueueUsed() { return 0; }
  // Bytes the layer expects to queue at once (its last read found a backlog: the device is
  // streaming); 0 when nothing is known to follow. Any thread.
  virtual std::uint32_t InputFollowing() { return 0; }
  // A non-negative device id, or negative (-1 with the reason in errno, -8 for memory, or a
  // negated error code).
  virtual std::int32_t OpenCom(const char* ComName, std::uint32_t InQueue,
                               std::uint32_t OutQueue) = 0;
  // Ends the layer's threads, closes the device, makes CidEx negative; 0 or -1.
  virtual std::int32_t CloseCom() = 0;
  virtual bool CheckPort(const std::string& ComName) = 0;
  virtual std::int32_t ProcessCommunications() = 0;
  virtual void SetThreadBoost(std::uint8_t Boost);
  virtual void UpdateHandlerFlags(TApHandlerFlagUpdate FlagUpdate);
  // The modem line bits (CTSMask, DSRMask, RIMask, DCDMask) of the device; none by default.
  virtual std::uint8_t GetComModemStatus() { return 0; }

  // ---------------- lifecycle ----------------
  std::int32_t InitPort(const std::string& AComName, std::int32_t Baud, std::uint32_t Parity,
                        std::uint32_t DataBits, std::uint32_t StopBits, std::uint32_t InSize,
                        std::uint32_t OutSize, std::uint32_t FlowOpts);
  std::int32_t InitSocket(std::uint32_t InSize, std::uint32_t OutSize);
  void DonePort();
  // Closes what is still open, waits (bounded, handling messages) for the threads, leaves
  // PortList. Call once before releasing the last reference held by the owner.
  void Destroy();
  // The live dispatcher whose CidEx equals Cid and which passes IsClass (e.g. a dynamic_cast).
  template <class Layer>
  static std::shared_ptr<Layer> GetTComRecPtr(std::int32_t Cid);

  // ---------------- input ----------------
  bool CharReady();
  std::int32_t PeekChar(std::uint8_t& C, std::uint32_t Count);
  std::int32_t GetChar(std::uint8_t& C);
  std::int32_t PeekBlock(void* Block, std::uint32_t Len);
  std::int32_t GetBlock(void* Block, std::uint32_t Len);
  std::uint32_t InBuffUsed();
  std::uint32_t InBuffFree();
  std::int32_t FlushInBuffer();

  // A window receiver on the GUI thread runs while the delivering thread waits for it (or is
  // that very thread), so nothing else moves the ring meanwhile: the port's hidden window opens
  // a read session around its handlers, and GetChar of that thread then takes no lock.
  void BeginReadSession();
  void EndReadSession();
  // GetChar's lock-free path: false when this thread has no read session (or tracing is on)
  // or nothing is left; the caller then takes the ordinary GetChar. The DispSection fields it
  // touches say so in the state block below.
  bool TryGetCharInSession(std::uint8_t& C) {
    if (FSessionReader.load(std::memory_order_relaxed) != std::this_thread::get_id() ||
        TracingOn.load(std::memory_order_relaxed))
      return false;
    if (GetCount >= BuffCount(DBufHead, DBufTail, DispatchFull)) return false;
    C = DBuffer[(DBufTail + GetCount) % DispatchBufferSize];
    ++GetCount;
    return true;
  }
  // The same for a run: the bytes that GetChar calls one after another would take, up to Max
  // and up to and including the first Stop byte, copied to Out; their count (0 when the
  // caller must take the ordinary GetChar).
  std::uint32_t TryGetCharsInSession(std::uint8_t* Out, std::uint32_t Max, std::uint8_t Stop) {
    if (FSessionReader.load(std::memory_order_relaxed) != std::this_thread::get_id() ||
        TracingOn.load(std::memory_order_relaxed))
      return 0;
    const std::uint32_t Held = BuffCount(DBufHead, DBufTail, DispatchFull);
    if (GetCount >= Held) return 0;
    const std::uint32_t Start = (DBufTail + GetCount) % DispatchBufferSize;
    // One contiguous stretch of the ring at a time; the caller comes back for the rest.
    std::uint32_t N = std::min({Max, Held - GetCount, DispatchBufferSize - Start});
    const std::uint8_t* From = DBuffer.data() + Start;
    if (const void* Hit = std::memchr(From, Stop, N))
      N = static_cast<std::uint32_t>(static_cast<const std::uint8_t*>(Hit) - From) + 1;
    std::memcpy(Out, From, N);
    GetCount += N;
    return N;
  }

  // ---------------- output ----------------
  std::int32_t PutChar(std::uint8_t C);
  std::int32_t PutString(const std::string& S);
  std::int32_t PutBlock(const void* Block, std::uint32_t Len);
  std::uint32_t OutBuffUsed();
  std::uint32_t OutBuffFree();
  std::int32_t FlushOutBuffer();
  void BufferSizes(std::uint32_t& InSize, std::uint32_t& OutSize);
  std::int32_t SetCommBuffers(std::uint32_t InSize, std::uint32_t OutSize);

  // ---------------- miscellaneous ----------------
  void OptionsOn(std::uint32_t Options);
  void OptionsOff(std::uint32_t Options);
  bool OptionsAreOn(std::uint32_t Options);
  std::int32_t SetDataPointer(void* P, int Index);
  std::int32_t GetDataPointer(void*& P, int Index);
  void SetEventBusy(bool& WasOn, bool SetOn);
  std::uint32_t GetDispatchTime();
  bool ExtractData();
  // Creates the hidden window of the network layer's notification mechanism with Proc.
  void CreateDispatcherWindow(TWndMethod Proc);
  // Refreshes ComStatus and accumulates line errors into LastError.
  void RefreshStatus();

  // ---------------- triggers and delivery ----------------
  void ChangeLengthTrigger(std::uint32_t Length);
  std::int32_t AddTimerTrigger();
  std::int32_t AddDataTriggerLen(const void* Data, bool IgnoreCase, std::uint32_t Len);
  std::int32_t AddDataTrigger(const char* Data, bool IgnoreCase);
  std::int32_t AddStatusTrigger(std::uint32_t SType);
  std::int32_t SetTimerTrigger(std::uint32_t TriggerHandle, std::int32_t Ticks, bool Activate);
  std::int32_t ExtendTimer(std::uint32_t TriggerHandle, std::int32_t Ticks);
  std::int32_t TimerTicksRemaining(std::uint32_t TriggerHandle, std::int32_t& TicksRemaining);
  std::int32_t SetStatusTrigger(std::uint32_t TriggerHandle, std::uint32_t Value, bool Activate);
  std::int32_t RemoveTrigger(std::uint32_t TriggerHandle);
  void RemoveAllTriggers();
  void SaveTriggers(TTriggerSave& Save);
  void RestoreTriggers(TTriggerSave& Save);
  static void ClearSaveBuffers(TTriggerSave& Save);
  static std::uint32_t ClassifyStatusTrigger(std::uint32_t TriggerHandle) {
    return TriggerHandle & StatusTypeMask;
  }
  std::uint32_t GetTriggerHandle();

  void RegisterWndTriggerHandler(HWND HW);
  void RegisterProcTriggerHandler(TTriggerNotifyProc NP);
  void RegisterEventTriggerHandler(const void* Code, TTriggerEvent NP);
  void RegisterSyncEventTriggerHandler(const void* Code, TTriggerEvent NP);
  void DeregisterWndTriggerHandler(HWND HW);
  void DeregisterProcTriggerHandler(TTriggerNotifyProc NP);
  void DeregisterEventTriggerHandler(const void* Code);

  bool CheckTriggers();
  bool CheckReceiveTriggers();
  bool CheckStatusTriggers();
  bool CheckTimerTriggers();
  bool SendNotify(UINT Msg, std::uint32_t Trigger, std::uint32_t Data);
  void ResetStatusHits();
  void ResetDataTriggers();

  // ---------------- threads ----------------
  void ThreadStart(TQpDispatcherThread* Sender);
  void ThreadGone(TQpDispatcherThread* Sender);
  // For layers with a dispatcher thread: start it (waits up to ThreadStartWait for it to
  // report) and stop it. Stopping from the GUI thread inside a delivery does not wait: the
  // thread is blocked on that very delivery and ends by itself when it unwinds. Otherwise the
  // wait is bounded (2 x 1980 ms) and handles messages sent by the thread meanwhile.
  void StartDispThread();
  void StopDispThread();
  // Wakes the dispatcher thread (new data, room in the ring, or a request to end).
  void WakeDispatcher();
  // The dispatcher thread loop's two steps (public for layers that drive them themselves).
  void ProcessComEvent();
  void ProcessTimer();

  // ---------------- line and modem control ----------------
  std::int32_t SetLine(std::int32_t Baud, std::uint32_t Parity, std::uint32_t DataBits,
                       std::uint32_t StopBits);
  void GetLine(std::int32_t& Baud, std::uint32_t& Parity, std::uint32_t& DataBits,
               std::uint32_t& StopBits);
  std::int32_t ChangeBaud(std::int32_t NewBaud) { return SetLine(NewBaud, 5, 9, 3); }
  std::int32_t SetCommStateFix(TDCB& ADCB);
  void WaitTxSent();
  std::int32_t SetDtr(bool OnOff);
  std::int32_t SetRts(bool OnOff);
  std::int32_t SetModem(bool Dtr, bool Rts);
  std::uint8_t GetModemStatusPrim(std::uint8_t ClearMask);
  std::uint8_t GetModemStatus() { return GetModemStatusPrim(ClearDelta); }
  bool CheckCTS();
  bool CheckDSR();
  bool CheckRI();
  bool CheckDCD();
  bool CheckDeltaCTS();
  bool CheckDeltaDSR();
  bool CheckDeltaRI();
  bool CheckDeltaDCD();
  void MapEventsToMS(std::uint32_t Events);
  std::uint16_t GetLineError();
  bool CheckLineBreak();
  void SendBreak(std::int32_t Ticks, bool Yield);
  void SetBreak(bool BreakOn);
  std::int32_t HWFlowOptions(std::uint32_t BufferFull, std::uint32_t BufferResume,
                             std::uint32_t Options);
  std::int32_t HWFlowState();
  std::int32_t SWFlowEnable(std::uint32_t BufferFull, std::uint32_t BufferResume,
                            std::uint32_t Options);
  std::int32_t SWFlowDisable();
  std::int32_t SWFlowState();
  std::int32_t SWFlowChars(std::uint8_t OnChar, std::uint8_t OffChar);
  std::int32_t GetFlowOptions(std::uint32_t& HWOpts, std::uint32_t& SWOpts,
                              std::uint32_t& BufferFull, std::uint32_t& BufferResume,
                              std::uint8_t& OnChar, std::uint8_t& OffChar);
  void SetRS485Mode(bool OnOff);
  void SetBaseAddress(std::uint16_t Address) { BaseAddress = Address; }
  std::uint16_t GetBaseAddress() const { return BaseAddress; }

  // ---------------- properties ----------------
  TQpCustomComPort* Owner() const { return fOwner; }
  std::int32_t Handle() const { return fHandle; }
  std::int32_t ComHandle() const { return CidEx; }
  HWND DispatcherWindow() const { return fDispatcherWindow; }
  bool Active() const { return DispActive.load(); }
  bool EventBusy() const { return fEventBusy.load(); }
  std::shared_ptr<TQpDispatcherThread> DispThread() const;

  // ---------------- the process-wide registry ----------------
  // Lock it while using a pointer from PortListItem; a dispatcher leaves the list under it.
  static TQpCriticalSection& PortListSection();
  static int PortListCount();
  // nullptr for an empty slot or an index past the end.
  static TQpBaseDispatcher* PortListItem(int Index);

  // ---------------- state (the layers work on it directly) ----------------
  // Grouped by what guards each field. InitPort and InitSocket also write guarded fields
  // without their lock: they run before StartDispatcher starts any thread of this object. The
  // locks are re-entrant and taken in the order DispSection, DataSection, OutputSection.
  TQpCriticalSection DataSection, OutputSection, DispSection;

  // -- Guarded by DispSection: the input ring and how far its reader has got.
  // Read-session exception (TryGetCharInSession): inside the port's own handler the delivering
  // thread waits, so that handler reads DBuffer, DBufHead, DBufTail and DispatchFull and
  // advances GetCount without the lock. The network layer (one thread) also reads DBufHead and
  // DispatchFull unlocked in its Dispatcher.
  std::vector<std::uint8_t> DBuffer;
  std::uint32_t DBufHead = 0, DBufTail = 0;
  bool DispatchFull = false;
  std::uint32_t GetCount = 0, MaxGetCount = 0;
  std::atomic<bool> InAvailMessage{false};  // atomic as well, yet only used under the lock
  std::uint32_t LastTailData = 0;
  std::uint32_t NotifyTail = 0;

  // -- Guarded by DataSection: line settings, modem and error state, triggers, receivers and
  // the thread objects.
  // Split per member: ComStatus.cbInQue is DispSection's (ExtractData); ComStatus.Flags and
  // ComStatus.cbOutQue are DataSection's (RefreshStatus).
  TComStat ComStatus;
  std::uint32_t LastError = 0;
  std::uint8_t ModemStatus = 0;  // the network layer's carrier callback takes the lock too
  TDCB DCB;
  std::int32_t LastBaud = 115200;
  std::uint32_t Flags = 0;
  // Only the owner's thread writes these; it also reads DTRAuto and RTSAuto (the port
  // component) and RS485Mode (SetBreak) without the lock.
  bool DTRState = false, DTRAuto = false, RTSState = false, RTSAuto = false;
  bool RS485Mode = false;
  std::vector<TWndTriggerHandler> WndTriggerHandlers;
  std::vector<TProcTriggerHandler> ProcTriggerHandlers;
  std::vector<TEventTriggerHandler> EventTriggerHandlers;
  bool DeletePending = false;
  std::vector<TTimerTrigger> TimerTriggers;
  std::vector<TDataTrigger> DataTriggers;  // the receive scan holds DispSection as well
  std::vector<TStatusTrigger> StatusTriggers;
  std::uint32_t TriggerCounter = FirstTriggerCounter;
  // Written under the lock only by the thread that runs the checks (the dispatcher thread, or
  // the GUI thread in the network layer), which alone reads it without the lock.
  bool GlobalStatHit = false;
  std::shared_ptr<TQpDispatcherThread> ComThread, fDispThread, OutThread, StatusThread;
  void* DataPointers[MaxDataPointers] = {nullptr, nullptr, nullptr};
  // The trace part; the dispatch log part has its own lock (port_trace.h).
  TQpPortRecorder Recorder;

  // -- Guarded by OutputSection: the output ring of layers that keep one (the serial layer's
  // writers and its write thread).
  std::vector<std::uint8_t> OBuffer;
  std::uint32_t OBufHead = 0, OBufTail = 0;
  bool OBufFull = false;

  // -- Atomics, read and written on any thread (a lock some writers hold is noted).
  std::atomic<std::int32_t> CidEx{0};
  std::atomic<bool> DispActive{false};
  std::atomic<bool> KillThreads{false};
  std::atomic<bool> ClosePending{false};
  std::atomic<bool> DoDonePortPrim{false};
  std::atomic<std::int32_t> ActiveThreads{0};
  std::atomic<bool> CloseComActive{false};
  std::atomic<bool> fEventBusy{false};  // changed under DataSection
  // Changed under DataSection; SendNotify reads them without it.
  std::atomic<bool> PortHandlerInstalled{false}, HandlerServiceNeeded{false};
  // Changed under DataSection; the receive scan reads it under DispSection only.
  std::atomic<std::uint32_t> LenTrigger{0};
  std::atomic<bool> OutSentPending{false};  // set under OutputSection, taken under DataSection
  std::atomic<bool> RingFlag{false};
  // Switches of the recorders, read without a lock on every read and write.
  std::atomic<bool> TracingOn{false}, DLoggingOn{false};

  // -- Owner thread only: set once, or touched by one thread only (named per field).
  TQpCustomComPort* fOwner;  // at construction; never changes
  std::int32_t fHandle = -1;  // at construction; never changes
  // Signals between a layer's threads: created with the object, the pointers never change and
  // the events lock themselves.
  std::shared_ptr<TQpEvent> ComEvent, ReadyEvent, GeneralEvent;
  TIOQueue FQueue;  // locks itself: the layer's threads fill it, the dispatcher thread drains it
  // At open, on the opening thread before any thread starts; read-only while open (the write
  // thread reads OutQue under OutputSection).
  std::uint32_t InQue = 0;
  std::uint32_t OutQue = 0;
  std::uint64_t TimeBase = 0;
  std::string DeviceName;  // by the port component before the open
  std::uint32_t CurrentEvent = 0;  // the dispatcher thread only
  // The GUI thread only (the network layer's hidden window and its timer).
  HWND fDispatcherWindow = 0;
  std::uintptr_t TimerID = 0;
  std::uint16_t BaseAddress = 0;  // the owner's thread
  std::uint8_t ThreadBoost = 0;  // the owner's thread; kept, not applied
  // The design's OpenHandle, LastModemStatus, LastLineErr, LastTailLen and the
  // output, sent and flush events have no reader here and are left out; its DLoggingQueue is
  // the log queue inside Recorder (port_trace.h).

  // ---------------- tracing and dispatch logging (port_trace.cpp) ----------------
  // Any thread. Trace operations take DataSection; log entries only the log's own lock, so a
  // thread holding a dispatcher lock may add one. Dumps hold DataSection while writing.
  std::int32_t InitTracing(std::uint32_t NumEntries);  // ecBadArgument over 4000000
  void AddTraceEntry(char CurEntry, std::uint8_t CurCh);
  void ClearTracing();
  void StartTracing();
  void StopTracing();
  void AbortTracing();
  // 0 or a negated errno (the trace is then freed and off).
  std::int32_t DumpTrace(const std::string& FName, bool InHex, bool AllHex);
  std::int32_t AppendTrace(const std::string& FName, bool InHex, bool AllHex);
  void InitDispatchLogging(std::uint32_t QueueSize);
  void StartDispatchLogging();
  void StopDispatchLogging();
  void ClearDispatchLogging();
  void AbortDispatchLogging();
  void AddDispatchEntry(TDispatchType DT, TDispatchSubType DST, std::uint32_t Data,
                        const void* Buffer, std::uint32_t BufferLen);
  void AddStringToLog(const std::string& S);
  std::int32_t DumpDispatchLog(const std::string& FName, bool InHex, bool AllHex);
  std::int32_t AppendDispatchLog(const std::string& FName, bool InHex, bool AllHex);

 private:
  // Bytes that reached the ring and bytes that the trigger scan and the available-data
  // notification have covered; kept as totals so that a ring that fills exactly (head back on
  // tail) still counts as an arrival.
  std::uint64_t FReceivedTotal = 0;
  std::uint64_t FScannedTotal = 0;
  std::uint64_t FNotifiedTotal = 0;
  TQpEvent FRoomEvent{false, false};  // the reader made room in a full ring
  std::atomic<std::thread::id> FSessionReader{};
  bool FDestroyed = false;

  std::uint32_t AvailPrim();  // bytes available to the caller (under DispSection)
  std::uint32_t RingCount();  // bytes in the ring
  void ConsumePrim(std::uint32_t Count);
  bool DeliverAvail(std::uint32_t Count);
  // What one receive check has to deliver: bytes to announce (0: none) and the length of the
  // longest string just completed (0: none). Found under the locks, delivered without them.
  struct TReceiveScan {
    std::uint32_t AvailCount = 0;
    std::uint32_t MatchSize = 0;
  };
  TReceiveScan ScanReceived();
  // Calls Notify for each receiver of List in turn (each copied under DataSection, so the list
  // may change under a call); false when the port began closing during a call.
  template <class List, class Call>
  bool DeliverToEach(List& Receivers, const Call& Notify);
  void DoneThreadsWait();
  // How long the dispatcher thread may sleep: until the earliest active timer trigger is due,
  // a tick while a status trigger is active or a delivery is busy; with nothing due, until woken
  // (-1) when a port component owns the dispatcher, else DispatchIdleCheckMs.
  std::int32_t IdleWaitMs();
  // While the layer says more input follows at once and it would fit in the ring beside what
  // is queued, waits (at most GatherWait in all) for it, so one notification carries it too.
  void GatherFollowingInput();
  // The parts InitPort and InitSocket share: an empty input ring (under DispSection and
  // DataSection), and the start of the dispatcher, closing again when it throws.
  void ResetInputRing();
  std::int32_t StartOrUndo();
  friend class TDispThread;
};

template <class Layer>
std::shared_ptr<Layer> TQpBaseDispatcher::GetTComRecPtr(std::int32_t Cid) {
  std::lock_guard<TQpCriticalSection> Guard(PortListSection());
  for (int I = 0; I < PortListCount(); ++I) {
    TQpBaseDispatcher* D = PortListItem(I);
    if (!D || D->CidEx.load() != Cid) continue;
    if (auto* L = dynamic_cast<Layer*>(D)) {
      try {
        return std::static_pointer_cast<Layer>(L->shared_from_this());
      } catch (const std::bad_weak_ptr&) {
        return nullptr;
      }
    }
  }
  return nullptr;
}
