#include "port/port_dispatch.h"

#include <pthread.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "platform/clock.h"
#include "platform/error_handler.h"

namespace {

// Never destroyed: an abandoned dispatcher's thread may end, and leave the registry, while the
// process is already running its exit handlers.
TQpCriticalSection& RegistryLock() {
  static auto* Lock = new TQpCriticalSection;
  return *Lock;
}
std::vector<TQpBaseDispatcher*>& Registry() {
  static auto* List = new std::vector<TQpBaseDispatcher*>;
  return *List;
}

// Waits for Done with a bound; on the GUI thread messages sent by workers are handled meanwhile.
bool BoundedWait(const std::function<bool()>& Done, std::mutex& M, std::condition_variable& CV,
                 std::uint32_t TimeoutMs) {
  if (IsGuiThread()) return WaitWithMessages(Done, TimeoutMs);
  std::unique_lock<std::mutex> Guard(M);
  return CV.wait_for(Guard, std::chrono::milliseconds(TimeoutMs), Done);
}

std::mutex ThreadsLock;
std::condition_variable ThreadsChanged;

}  // namespace


// ---------------------------------------------------------------- threads

void TQpDispatcherThread::Start() {
  auto Self = shared_from_this();
  std::thread([Self] { Self->Run(); }).detach();
}

void TQpDispatcherThread::Run() {
  FId.store(std::this_thread::get_id());
  try {
    Execute();
  } catch (...) {
    ErrorText = ExceptionText(std::current_exception());
    if (Started && !Gone) H->ThreadGone(this);
  }
}

void TQpBaseDispatcher::ThreadStart(TQpDispatcherThread* Sender) {
  Sender->Started = true;
  ActiveThreads.fetch_add(1);
  if (GeneralEvent) GeneralEvent->SetEvent();
}

void TQpBaseDispatcher::ThreadGone(TQpDispatcherThread* Sender) {
  Sender->Gone = true;
  // Report the thread's outcome; from a worker the text goes to the GUI thread.
  if (!Sender->ErrorText.empty()) {
    HandleException(std::make_exception_ptr(std::runtime_error(Sender->ErrorText)));
  } else if (Sender->ReturnValue < 0) {
    try {
      CheckException(nullptr, Sender->ReturnValue);
    } catch (...) {
      HandleException(std::current_exception());
    }
  }
  bool WasDispThread = false;
  {
    DispLock Guard(DataSection);
    if (ComThread.get() == Sender) ComThread.reset();
    if (OutThread.get() == Sender) OutThread.reset();
    if (StatusThread.get() == Sender) StatusThread.reset();
    if (fDispThread.get() == Sender) {
      fDispThread.reset();
      WasDispThread = true;
    }
  }
  if (WasDispThread && DoDonePortPrim.load()) DonePortPrim();
  {
    std::lock_guard<std::mutex> Guard(ThreadsLock);
    if (ActiveThreads.fetch_sub(1) == 1) DispActive.store(false);
  }
  ThreadsChanged.notify_all();
  WakeMessageWaiters();
}

void TDispThread::Execute() {
  pthread_setname_np(pthread_self(), "port-dispatch");  // shows in ps, debuggers and /proc
  TQpBaseDispatcher& D = *H;
  D.ThreadStart(this);
  bool ByKill = false;
  try {
    for (;;) {
      bool Full;
      {
        DispLock Guard(D.DispSection);
        Full = D.DispatchFull;
      }
      // A full ring waits for the reader instead of spinning on the queued input. Otherwise the
      // thread sleeps until input arrives, a timer trigger is due or a status trigger wants a
      // look: an idle port does not wake it at all (see IdleWaitMs).
      if (Full)
        D.FRoomEvent.WaitFor(DispatchTickMs);
      else
        D.FQueue.WaitForBuffer(D.IdleWaitMs());
      if (!Full) D.GatherFollowingInput();
      // Nobody else holds the dispatcher any more (its owner let go without closing): end.
      if (D.KillThreads.load() || H.use_count() == 1) {
        ByKill = true;
        break;
      }
      D.ProcessComEvent();
      D.ProcessTimer();
      if (D.KillThreads.load() || D.ClosePending.load()) break;
    }
  } catch (...) {
    ErrorText = ExceptionText(std::current_exception());
  }
  if (!ByKill && D.GeneralEvent) D.GeneralEvent->SetEvent();
  D.DoDonePortPrim.store(D.ClosePending.load() || D.KillThreads.load());
  D.ThreadGone(this);
}

void TQpDispatcherThread::SyncNotify(UINT Msg, WPARAM Trigger, LPARAM lParam,
                                     const TTriggerEvent& Event) {
  if (IsGuiThread()) {
    Event(Msg, Trigger, lParam);
    return;
  }
  // A one-shot window whose procedure runs the receiver; a timed-out call is dropped.
  TTriggerEvent Copy = Event;
  HWND W = AllocateHWnd([Copy](TMessage& M) { Copy(M.Msg, M.WParam, M.LParam); });
  SendMessageTimeout(W, Msg, Trigger, lParam, NotifyTimeoutMs);
  DeallocateHWnd(W);
}

std::shared_ptr<TQpDispatcherThread> TQpBaseDispatcher::DispThread() const {
  DispLock Guard(const_cast<TQpCriticalSection&>(DataSection));
  return fDispThread;
}

void TQpBaseDispatcher::StartDispThread() {
  auto T = std::make_shared<TDispThread>(shared_from_this());
  {
    DispLock Guard(DataSection);
    fDispThread = T;
  }
  T->Start();
  GeneralEvent->WaitFor(ThreadStartWait);
}

void TQpBaseDispatcher::WakeDispatcher() {
  FRoomEvent.SetEvent();
  FQueue.Wake();
  if (ComEvent) ComEvent->SetEvent();
}

std::int32_t TQpBaseDispatcher::IdleWaitMs() {
  DispLock Guard(DataSection);
  // Output levels and a delivery the GUI thread still holds are only seen by looking.
  if (fEventBusy.load()) return DispatchTickMs;
  for (const auto& S : StatusTriggers)
    if (S.tSActive) return DispatchTickMs;
  const auto Now = static_cast<std::int64_t>(GetTickCount64());
  std::int64_t Soonest = -1;
  for (const auto& T : TimerTriggers) {
    if (!T.tActive) continue;
    // Expired once the tick count passes ExpireTicks (TimerExpiredAt).
    const std::int64_t Left = (T.tET.ExpireTicks + 1) * std::int64_t(TickMs) - Now;
    if (Left <= 0) return 0;
    if (Soonest < 0 || Left < Soonest) Soonest = Left;
  }
  // A port component always ends its dispatcher through Destroy, which wakes the thread, so with
  // nothing due the thread of an owned dispatcher sleeps until woken. One made without an owner
  // keeps a look a second: if it is let go without closing, only a look sees it (see the loop in
  // Execute).
  const std::int64_t Longest = fOwner ? std::numeric_limits<std::int32_t>::max() : DispatchIdleCheckMs;
  if (Soonest < 0) return fOwner ? -1 : DispatchIdleCheckMs;
  return static_cast<std::int32_t>(std::min(Soonest, Longest));
}

void TQpBaseDispatcher::GatherFollowingInput() {
  // Each notification is a hand-over to the GUI thread and back, costlier than the copy of a
  // block; a device streaming whole blocks would otherwise be announced one block at a time.
  const auto Deadline = std::chrono::steady_clock::now() + GatherWait;
  while (!KillThreads.load() && !ClosePending.load()) {
    const std::uint32_t Next = InputFollowing();
    if (Next == 0) return;
    std::uint32_t Room;
    {
      DispLock Guard(DispSection);
      Room = DBuffer.empty() || DispatchFull ? 0 : DispatchBufferSize - RingCount();
    }
    const auto Queued = static_cast<std::uint32_t>(std::max(FQueue.BytesQueued(), 0));
    if (Queued == 0 || Queued + Next > Room) return;
    if (!FQueue.WaitForPush(Deadline)) return;
  }
}

void TQpBaseDispatcher::StopDispThread() {
  KillThreads.store(true);
  WakeDispatcher();
  auto T = DispThread();
  if (!T) return;
  if (T->ThreadId() == std::this_thread::get_id()) return;
  // The thread is blocked on a delivery to this (GUI) thread: it ends when that unwinds.
  if (IsGuiThread() && fEventBusy.load()) return;
  auto Gone = [this] {
    DispLock Guard(DataSection);
    return !fDispThread;
  };
  if (!BoundedWait(Gone, ThreadsLock, ThreadsChanged, 36 * TickMs)) {
    WakeDispatcher();
    if (!BoundedWait(Gone, ThreadsLock, ThreadsChanged, 36 * TickMs)) {
      // Still running: let it go; it holds its own reference to this dispatcher.
      DispLock Guard(DataSection);
      fDispThread.reset();
    }
  }
}

// ---------------------------------------------------------------- registry and lifecycle

TQpCriticalSection& TQpBaseDispatcher::PortListSection() { return RegistryLock(); }

int TQpBaseDispatcher::PortListCount() {
  DispLock Guard(RegistryLock());
  return static_cast<int>(Registry().size());
}

TQpBaseDispatcher* TQpBaseDispatcher::PortListItem(int Index) {
  DispLock Guard(RegistryLock());
  if (Index < 0 || Index >= static_cast<int>(Registry().size())) return nullptr;
  return Registry()[Index];
}

TQpBaseDispatcher::TQpBaseDispatcher(TQpCustomComPort* Owner) : fOwner(Owner) {
  ComEvent = std::make_shared<TQpEvent>(false, false);
  ReadyEvent = std::make_shared<TQpEvent>(false, false);
  GeneralEvent = std::make_shared<TQpEvent>(false, false);
  DispLock Guard(RegistryLock());
  auto& List = Registry();
  auto Free = std::find(List.begin(), List.end(), nullptr);
  if (Free != List.end()) {
    *Free = this;
    fHandle = static_cast<std::int32_t>(Free - List.begin());
  } else {
    List.push_back(this);
    fHandle = static_cast<std::int32_t>(List.size() - 1);
  }
}

TQpBaseDispatcher::~TQpBaseDispatcher() {
  DispLock Guard(RegistryLock());
  auto& List = Registry();
  if (fHandle >= 0 && fHandle < static_cast<std::int32_t>(List.size()) && List[fHandle] == this)
    List[fHandle] = nullptr;
  while (!List.empty() && List.back() == nullptr) List.pop_back();
}

std::int32_t TQpBaseDispatcher::InitPort(const std::string& AComName, std::int32_t Baud,
                                         std::uint32_t Parity, std::uint32_t DataBits,
                                         std::uint32_t StopBits, std::uint32_t InSize,
                                         std::uint32_t OutSize, std::uint32_t FlowOpts) {
  RingFlag = false;
  fEventBusy = false;
  DeletePending = false;
  std::int32_t Result = 0;
  errno = 0;
  const std::int32_t Cid = OpenCom(AComName.c_str(), InSize, OutSize);
  const int LastErr = errno;
  CidEx = Cid;
  if (Cid < 0) {
    // A failed open is never reported as success, whatever the last error reads.
    if (Cid == ecOutOfMemory)
      Result = ecOutOfMemory;
    else if (Cid == -1)
      Result = LastErr > 0 ? -LastErr : ecCommNotOpen;
    else
      Result = Cid;
    DonePort();
    return Result;
  }
  Result = SetCommBuffers(InSize, OutSize);
  if (Result != 0) {
    DonePort();
    return Result;
  }
  ResetInputRing();
  {
    DispLock Out(OutputSection);
    OBuffer.assign(OutSize, 0);
    OBufHead = OBufTail = 0;
    OBufFull = false;
  }
  InQue = InSize;
  OutQue = OutSize;
  LastError = 0;
  OutSentPending = false;
  ClosePending = false;
  KillThreads = false;
  fDispatcherWindow = 0;
  RS485Mode = false;
  BaseAddress = 0;
  GetComState(DCB);
  if (FlowOpts & ipAutoDTR) {
    DTRAuto = true;
  } else {
    DTRAuto = false;
    SetDtr(FlowOpts & ipAssertDTR);
  }
  if (FlowOpts & ipAutoRTS) {
    RTSAuto = true;
  } else {
    RTSAuto = false;
    SetRts(FlowOpts & ipAssertRTS);
  }
  LastTailData = 0;
  RemoveAllTriggers();
  ResetStatusHits();
  ModemStatus = 0;
  GetModemStatusPrim(ClearNone);
  LastBaud = 115200;
  Result = SetLine(Baud, Parity, DataBits, StopBits);
  if (Result != 0) {
    DonePort();
    return Result;
  }
  RefreshStatus();
  TracingOn = DLoggingOn = false;
  return StartOrUndo();
}

std::int32_t TQpBaseDispatcher::InitSocket(std::uint32_t InSize, std::uint32_t OutSize) {
  fEventBusy = false;
  DeletePending = false;
  ClosePending = false;
  KillThreads = false;
  CidEx = OpenCom(nullptr, InSize, OutSize);
  if (CidEx < 0) {
    std::int32_t Result = CidEx;
    DonePort();
    return Result;
  }
  if (!SetupCom(0, 0)) {
    std::int32_t Err = GetComError(ComStatus);
    std::int32_t Result = Err > 0 ? -Err : (Err < 0 ? Err : ecCommNotOpen);
    DonePort();
    return Result;
  }
  ResetInputRing();
  InQue = InSize;
  OutQue = OutSize;
  ModemStatus = 0;
  RefreshStatus();
  return StartOrUndo();
}

void TQpBaseDispatcher::ResetInputRing() {
  DispLock Disp(DispSection);
  DispLock Data(DataSection);
  DBuffer.assign(DispatchBufferSize, 0);
  DBufHead = DBufTail = NotifyTail = 0;
  DispatchFull = false;
  GetCount = MaxGetCount = 0;
  FReceivedTotal = FScannedTotal = FNotifiedTotal = 0;
  InAvailMessage = false;
}

std::int32_t TQpBaseDispatcher::StartOrUndo() {
  TimeBase = GetTickCount64();
  try {
    StartDispatcher();
  } catch (...) {
    DonePort();
    throw;
  }
  return 0;
}

void TQpBaseDispatcher::DonePort() {
  if (CidEx >= 0) {
    FlushOutBuffer();
    FlushInBuffer();
    CloseCom();
  }
  if (fEventBusy.load())
    ClosePending = true;  // the delivery unwinds first; buffers go when it has
  else
    DonePortPrim();
}

void TQpBaseDispatcher::DonePortPrim() {
  DoDonePortPrim = false;
  FSessionReader.store(std::thread::id());
  if (DispActive.load()) StopDispatcher();
  DispLock Disp(DispSection);
  DispLock Data(DataSection);
  DBuffer.clear();
  DBuffer.shrink_to_fit();
  DispLock Out(OutputSection);
  OBuffer.clear();
  OBuffer.shrink_to_fit();
}

void TQpBaseDispatcher::Destroy() {
  if (FDestroyed) return;
  FDestroyed = true;
  if (ClosePending.load())
    DonePortPrim();
  else
    DonePort();
  KillThreads = true;
  WakeDispatcher();
  BoundedWait([this] { return ActiveThreads.load() == 0; }, ThreadsLock, ThreadsChanged, 5000);
  if (fDispatcherWindow) {
    DeallocateHWnd(fDispatcherWindow);
    fDispatcherWindow = 0;
  }
  DispLock Data(DataSection);
  WndTriggerHandlers.clear();
  ProcTriggerHandlers.clear();
  EventTriggerHandlers.clear();
  TimerTriggers.clear();
  DataTriggers.clear();
  StatusTriggers.clear();
}

// ---------------------------------------------------------------- input

std::uint32_t TQpBaseDispatcher::RingCount() { return BuffCount(DBufHead, DBufTail, DispatchFull); }

std::uint32_t TQpBaseDispatcher::AvailPrim() {
  if (DBuffer.empty()) return 0;
  const std::uint32_t Count = RingCount();
  const std::uint32_t Held = InAvailMessage.load() ? GetCount : 0;
  return Count > Held ? Count - Held : 0;
}

void TQpBaseDispatcher::ConsumePrim(std::uint32_t Count) {
  if (Count == 0) return;
  DBufTail = (DBufTail + Count) % DispatchBufferSize;
  DispatchFull = false;
  FRoomEvent.SetEvent();
}

bool TQpBaseDispatcher::CharReady() {
  DispLock Guard(DispSection);
  return AvailPrim() > 0;
}

std::int32_t TQpBaseDispatcher::PeekChar(std::uint8_t& C, std::uint32_t Count) {
  DispLock Guard(DispSection);
  if (Count == 0) return ecBadArgument;
  if (AvailPrim() < Count) return ecBufferIsEmpty;
  const std::uint32_t Offset = (InAvailMessage.load() ? GetCount : 0) + Count - 1;
  C = DBuffer[(DBufTail + Offset) % DispatchBufferSize];
  return ecOK;
}

void TQpBaseDispatcher::BeginReadSession() {
  DispLock Guard(DispSection);
  if (InAvailMessage.load() && !DBuffer.empty()) FSessionReader.store(std::this_thread::get_id());
}

void TQpBaseDispatcher::EndReadSession() {
  DispLock Guard(DispSection);
  FSessionReader.store(std::thread::id());
}

std::int32_t TQpBaseDispatcher::GetChar(std::uint8_t& C) {
  if (TryGetCharInSession(C)) return ecOK;
  {
    DispLock Guard(DispSection);
    if (AvailPrim() == 0) return ecBufferIsEmpty;
    if (InAvailMessage.load()) {
      C = DBuffer[(DBufTail + GetCount) % DispatchBufferSize];
      ++GetCount;
    } else {
      C = DBuffer[DBufTail];
      ConsumePrim(1);
    }
    if (!TracingOn) return ecOK;
  }
  DispLock Data(DataSection);
  AddTraceEntry('R', C);
  return ecOK;
}

std::int32_t TQpBaseDispatcher::PeekBlock(void* Block, std::uint32_t Len) {
  DispLock Guard(DispSection);
  if (Len == 0) return 0;
  if (AvailPrim() < Len) return ecBufferIsEmpty;
  const std::uint32_t Start =
      (DBufTail + (InAvailMessage.load() ? GetCount : 0)) % DispatchBufferSize;
  const std::uint32_t First = std::min(Len, DispatchBufferSize - Start);
  auto* Out = static_cast<std::uint8_t*>(Block);
  std::memcpy(Out, DBuffer.data() + Start, First);
  if (Len > First) std::memcpy(Out + First, DBuffer.data(), Len - First);
  return static_cast<std::int32_t>(Len);
}

std::int32_t TQpBaseDispatcher::GetBlock(void* Block, std::uint32_t Len) {
  {
    DispLock Guard(DispSection);
    std::int32_t Result = PeekBlock(Block, Len);
    if (Result <= 0) return Result;
    if (InAvailMessage.load())
      GetCount += Len;
    else
      ConsumePrim(Len);
    if (!TracingOn) return Result;
  }
  DispLock Data(DataSection);
  Recorder.AddTrace('R', static_cast<const std::uint8_t*>(Block), Len);
  return static_cast<std::int32_t>(Len);
}

std::uint32_t TQpBaseDispatcher::InBuffUsed() {
  DispLock Guard(DispSection);
  return AvailPrim();
}

std::uint32_t TQpBaseDispatcher::InBuffFree() {
  DispLock Guard(DispSection);
  return DispatchBufferSize - AvailPrim();
}

std::int32_t TQpBaseDispatcher::FlushInBuffer() {
  DispLock Guard(DispSection);
  std::int32_t Result = FlushCom(1);
  if (InAvailMessage.load()) {
    MaxGetCount = RingCount();
  } else {
    DBufTail = DBufHead;
    GetCount = 0;
    FRoomEvent.SetEvent();
  }
  DispatchFull = false;
  FScannedTotal = FNotifiedTotal = FReceivedTotal;
  LastTailData = DBufHead;
  ResetDataTriggers();
  return Result;
}

bool TQpBaseDispatcher::ExtractData() {
  DispLock Guard(DispSection);
  if (DBuffer.empty()) return false;
  if (DispatchFull) {
    if (DLoggingOn) {
      static const char Text[] = "Dispatch buffer full.";
      AddDispatchEntry(dtDispatch, dstStatus, 0, Text, sizeof Text - 1);
    }
    return true;
  }
  ComStatus.cbInQue = InQueueUsed();
  if (ComStatus.cbInQue == 0) return false;
  const std::uint32_t Free = DispatchBufferSize - RingCount();
  const std::uint32_t Contiguous =
      DBufHead >= DBufTail ? DispatchBufferSize - DBufHead : DBufTail - DBufHead;
  const std::uint32_t BytesToRead = std::min(ComStatus.cbInQue, Free);
  std::uint32_t Wrapped = BytesToRead > Contiguous ? BytesToRead - Contiguous : 0;
  auto ReadInto = [this](std::uint32_t Offered) -> std::uint32_t {
    std::int32_t Got = ReadCom(DBuffer.data() + DBufHead, static_cast<std::int32_t>(Offered));
    if (Got < 0) {
      GetComEventMask(-1);
      Got = 0;
    }
    const auto N = static_cast<std::uint32_t>(std::min<std::int32_t>(Got, std::int32_t(Offered)));
    if (DLoggingOn) AddDispatchEntry(dtDispatch, dstReadCom, N, DBuffer.data() + DBufHead, N);
    DBufHead = (DBufHead + N) % DispatchBufferSize;
    if (N > 0) {
      DispatchFull = DBufHead == DBufTail;
      FReceivedTotal += N;
    }
    return N;
  };
  if (Contiguous != 0) {
    if (ReadInto(Contiguous) < Contiguous) Wrapped = 0;
  }
  if (Wrapped != 0) ReadInto(Wrapped);
  return true;
}

// ---------------------------------------------------------------- output

std::int32_t TQpBaseDispatcher::PutBlock(const void* Block, std::uint32_t Len) {
  if (Len == 0) return 0;
  std::int32_t Result = 0;
  std::int32_t Count = 0;
  std::int32_t Err = 0;
  {
    DispLock Guard(OutputSection);
    const std::uint32_t Used = OutBufUsed();
    const std::uint32_t Free = OutQue > Used ? OutQue - Used : 0;
    if (Free < Len) return ecOutputBufferTooSmall;
    if (Free == Len) OBufFull = true;
    Count = WriteCom(Block, static_cast<std::int32_t>(Len));
    OutSentPending = true;
  }
  SendQueued();
  // A block taken only in part fails as a whole: its tail must not vanish unreported.
  if (Count <= 0 || static_cast<std::uint32_t>(Count) < Len) {
    TComStat Stat;
    Err = GetComError(Stat);
    if (Count < 0) Count = -Count;
    Result = ecPutBlockFail;
    DispLock Data(DataSection);
    LastError = static_cast<std::uint32_t>(Err);
  }
  if (DLoggingOn || TracingOn) {
    DispLock Data(DataSection);
    if (DLoggingOn) AddDispatchEntry(dtDispatch, dstWriteCom, Count, Block, Count);
    if (TracingOn && Count > 0)
      Recorder.AddTrace('T', static_cast<const std::uint8_t*>(Block), std::uint32_t(Count));
  }
  return Result;
}

std::int32_t TQpBaseDispatcher::PutChar(std::uint8_t C) { return PutBlock(&C, 1); }

std::int32_t TQpBaseDispatcher::PutString(const std::string& S) {
  return PutBlock(S.data(), static_cast<std::uint32_t>(S.size()));
}

// The locks are taken in the order DispSection, DataSection, OutputSection; the status refresh
// takes DataSection, so it runs before OutputSection, never inside it.
std::uint32_t TQpBaseDispatcher::OutBuffUsed() {
  RefreshStatus();
  DispLock Guard(DataSection);
  return ComStatus.cbOutQue;
}

std::uint32_t TQpBaseDispatcher::OutBuffFree() {
  RefreshStatus();
  DispLock Guard(DataSection);
  return OutQue > ComStatus.cbOutQue ? OutQue - ComStatus.cbOutQue : 0;
}

std::int32_t TQpBaseDispatcher::FlushOutBuffer() { return FlushCom(0); }

void TQpBaseDispatcher::BufferSizes(std::uint32_t& InSize, std::uint32_t& OutSize) {
  InSize = InQue;
  OutSize = OutQue;
}

std::int32_t TQpBaseDispatcher::SetCommBuffers(std::uint32_t InSize, std::uint32_t OutSize) {
  errno = 0;
  if (SetupCom(static_cast<std::int32_t>(InSize), static_cast<std::int32_t>(OutSize))) return 0;
  return errno > 0 ? -errno : ecCommNotOpen;
}

void TQpBaseDispatcher::RefreshStatus() {
  TComStat Stat;
  const std::int32_t Err = GetComError(Stat);
  DispLock Data(DataSection);
  ComStatus.Flags = Stat.Flags;
  ComStatus.cbOutQue = Stat.cbOutQue;
  if (Err > 0) LastError |= static_cast<std::uint32_t>(Err) & ValidErrorMask;
}

// ---------------------------------------------------------------- miscellaneous

void TQpBaseDispatcher::OptionsOn(std::uint32_t Options) {
  DispLock Guard(DataSection);
  Flags |= Options;
}
void TQpBaseDispatcher::OptionsOff(std::uint32_t Options) {
  DispLock Guard(DataSection);
  Flags &= ~Options;
}
bool TQpBaseDispatcher::OptionsAreOn(std::uint32_t Options) {
  DispLock Guard(DataSection);
  return (Flags & Options) == Options;
}

std::int32_t TQpBaseDispatcher::SetDataPointer(void* P, int Index) {
  if (Index < 1 || Index > MaxDataPointers) return ecBadArgument;
  DispLock Guard(DataSection);
  DataPointers[Index - 1] = P;
  return ecOK;
}

std::int32_t TQpBaseDispatcher::GetDataPointer(void*& P, int Index) {
  if (Index < 1 || Index > MaxDataPointers) return ecBadArgument;
  DispLock Guard(DataSection);
  P = DataPointers[Index - 1];
  return ecOK;
}

void TQpBaseDispatcher::SetEventBusy(bool& WasOn, bool SetOn) {
  DispLock Guard(DataSection);
  WasOn = fEventBusy.exchange(SetOn);
}

std::uint32_t TQpBaseDispatcher::GetDispatchTime() {
  return static_cast<std::uint32_t>(GetTickCount64() - TimeBase);
}

void TQpBaseDispatcher::CreateDispatcherWindow(TWndMethod Proc) {
  fDispatcherWindow = AllocateHWnd(std::move(Proc));
}

void TQpBaseDispatcher::SetThreadBoost(std::uint8_t Boost) {
  // Thread priorities above normal need privileges this platform rarely grants; the boost is
  // kept for the layers that can apply it.
  ThreadBoost = Boost;
}
