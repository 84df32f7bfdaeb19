#include "devices/serial_layer.h"

#include <pthread.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "platform/clock.h"
#include "platform/error_handler.h"
#include "platform/messages.h"
#include "platform/text_util.h"
#include "port/com_port.h"

namespace {

// "\\.\COM5", "\\.\com5" and "COM5" alike.
std::string StripDevicePrefix(const std::string& Name) {
  if (Name.size() >= 4 && Name[0] == '\\' && Name[1] == '\\' && Name[2] == '.' && Name[3] == '\\')
    return Name.substr(4);
  return Name;
}

std::uint8_t ModemBitsOf(int Lines) {
  std::uint8_t Bits = 0;
  if (Lines & lnCts) Bits |= CTSMask;
  if (Lines & lnDsr) Bits |= DSRMask;
  if (Lines & lnRing) Bits |= RIMask;
  if (Lines & lnDcd) Bits |= DCDMask;
  return Bits;
}

}  // namespace

// ---------------------------------------------------------------- worker threads

// Common base of the three workers: start and end bookkeeping, and failure.
class TQpWin32Thread : public TQpDispatcherThread {
 public:
  explicit TQpWin32Thread(const std::shared_ptr<TQpWin32Dispatcher>& D) : TQpDispatcherThread(D), S(*D) {}

 protected:
  void Execute() final {
    pthread_setname_np(pthread_self(), Name());  // shows in ps, debuggers and /proc
    S.ThreadStart(this);
    try {
      Work();
    } catch (...) {
      ErrorText = ExceptionText(std::current_exception());
      S.StopWorkers(this, 0);
    }
    Ended();
    S.ThreadGone(this);
    S.WorkerEnded();
  }
  virtual void Work() = 0;
  virtual const char* Name() const = 0;
  virtual void Ended() {}
  void Fail(std::int32_t Code) { S.StopWorkers(this, Code); }
  bool Killed() const { return S.KillThreads.load(); }
  int ComHandle() const { return S.FFd.load(); }
  TIOQueue& Queue() { return S.FQueue; }

  TQpWin32Dispatcher& S;
};

class TReadThread : public TQpWin32Thread {
 public:
  using TQpWin32Thread::TQpWin32Thread;

 protected:
  const char* Name() const override { return "serial-read"; }
  void Work() override {
    std::vector<std::uint8_t> Scratch(SerialReadBlock);
    const int Fd = ComHandle();
    while (!Killed()) {
      // Far ahead of the dispatcher: let the driver hold the rest (and flow control act).
      const bool Held = std::uint32_t(Queue().BytesQueued()) >= S.FQueueHigh;
      S.FReadHeld.store(Held);
      const int W = SerialWait(Fd, Held ? 0 : swReadable, *S.FReadWake, Held ? 50 : -1);
      if (W < 0) return Fail(ecDeviceRead);
      if (W & swWoken) S.FReadWake->Consume();
      if (Killed()) return;
      if (W & swInvalid) return Fail(ecDeviceRead);
      if (Held) {
        if (W & swHangUp) return Fail(ecDeviceRead);
        continue;
      }
      if (!(W & (swReadable | swHangUp))) continue;
      if (!ReadSerial(Fd, Scratch, (W & swHangUp) != 0)) return;
    }
  }

  // Reads until the driver has nothing more (or the queue is long enough); false after a
  // failure or hang-up.
  bool ReadSerial(int Fd, std::vector<std::uint8_t>& Scratch, bool HungUp) {
    for (;;) {
      const long N = SerialRead(Fd, Scratch.data(), Scratch.size());
      // A pseudo-terminal hands over at most 4095 bytes a read: half a block or more means the
      // driver had a backlog, not a few bytes just arrived.
      if (N > 0) S.FReadFull.store(std::size_t(N) >= Scratch.size() / 2);
      if (N > 0) {
        TDataBuffer* B = nullptr;
        try {
          B = new TDataBuffer(std::max<std::uint32_t>(std::uint32_t(N), IO_BUFFER_SIZE));
        } catch (...) {
          Fail(ecNoMem);
          return false;
        }
        std::memcpy(B->Data(), Scratch.data(), std::size_t(N));
        B->SetBytesUsed(std::int32_t(N));
        Queue().Push(B);
        if (std::uint32_t(Queue().BytesQueued()) >= S.FQueueHigh) return true;
        continue;
      }
      if (N == -EAGAIN && !HungUp) return true;
      // End of file, EIO, or a hang-up that stays signalled: the device has gone.
      Fail(ecDeviceRead);
      return false;
    }
  }
};

class TWriteThread : public TQpWin32Thread {
 public:
  using TQpWin32Thread::TQpWin32Thread;

 protected:
  const char* Name() const override { return "serial-write"; }
  void Work() override {
    const int Fd = ComHandle();
    std::uint64_t SeenFlush = S.FFlushRequest.load();
    while (!Killed()) {
      const std::uint64_t Flush = S.FFlushRequest.load();
      if (Flush != SeenFlush) {
        // Abandon what is left of the block; the ring was emptied by the flush.
        FBlock.clear();
        FSent = 0;
        S.FBlockUnsent = 0;
        SeenFlush = Flush;
        Acknowledge(Flush);
      }
      if (FSent >= FBlock.size()) TakeBlock();
      if (FBlock.empty()) {
        const int W = SerialWait(-1, 0, *S.FWriteWake, -1);
        if (W < 0) return Fail(ecDeviceWrite);
        S.FWriteWake->Consume();
        continue;
      }
      const long N = SerialWrite(Fd, FBlock.data() + FSent, FBlock.size() - FSent);
      if (N > 0) {
        FSent += std::size_t(N);
        S.FBlockUnsent = std::uint32_t(FBlock.size() - FSent);
        continue;
      }
      if (N == -EAGAIN || N == 0) {
        // The driver is full (a peer that does not read): wait for room, a flush or the end.
        const int W = SerialWait(Fd, swWritable, *S.FWriteWake, -1);
        if (W < 0) return Fail(ecDeviceWrite);
        if (W & swWoken) S.FWriteWake->Consume();
        if (W & (swHangUp | swInvalid)) return Fail(ecDeviceRead);
        continue;
      }
      // EIO is what a hung-up terminal answers: the device has gone.
      return Fail(N == -EIO ? ecDeviceRead : ecDeviceWrite);
    }
  }

  void Ended() override {
    S.FBlockUnsent = 0;
    Acknowledge(~std::uint64_t(0));  // no flush waits for a writer that has gone
  }

 private:
  // The whole output ring as one block; the ring is free again for writers at once.
  void TakeBlock() {
    FBlock.clear();
    FSent = 0;
    DispLock Guard(S.OutputSection);
    const std::uint32_t Size = std::uint32_t(S.OBuffer.size());
    if (Size == 0 || Size != S.OutQue || S.OBufHead >= Size || S.OBufTail >= Size) return;
    if (!S.OBufFull && S.OBufHead == S.OBufTail) return;
    const std::uint8_t* Ring = S.OBuffer.data();
    if (S.OBufTail < S.OBufHead) {
      FBlock.assign(Ring + S.OBufTail, Ring + S.OBufHead);
    } else {
      FBlock.assign(Ring + S.OBufTail, Ring + Size);
      FBlock.insert(FBlock.end(), Ring, Ring + S.OBufHead);
    }
    S.OBufHead = S.OBufTail = 0;
    S.OBufFull = false;
    S.FBlockUnsent = std::uint32_t(FBlock.size());
  }

  void Acknowledge(std::uint64_t Flush) {
    {
      std::lock_guard<std::mutex> Guard(S.FFlushLock);
      if (Flush > S.FFlushDone) S.FFlushDone = Flush;
    }
    S.FFlushChanged.notify_all();
  }

  std::vector<std::uint8_t> FBlock;
  std::size_t FSent = 0;
};

class TStatusThread : public TQpWin32Thread {
 public:
  using TQpWin32Thread::TQpWin32Thread;
  // The events the status thread may report (the data event comes from the read side).
  std::uint32_t LastMask = ev_RxChar | ev_Cts | ev_Dsr | ev_Rlsd | ev_Break | ev_Err | ev_Ring;

 protected:
  const char* Name() const override { return "serial-status"; }
  void Work() override {
    const int Fd = ComHandle();
    if (!S.FHasLines.load()) {
      // Nothing to watch: sleep until told to end.
      while (!Killed()) {
        if (SerialWait(-1, 0, *S.FStatusWake, -1) < 0) return Fail(ecDeviceRead);
        S.FStatusWake->Consume();
      }
      return;
    }
    TSerialLines& L = *S.FLines;
    TSerialCounts Last;
    bool Counting = L.GetCounts(Fd, Last) == 0;
    int Lines = L.GetLines(Fd);
    if (Lines < 0) return Fail(ecDeviceRead);
    S.FModemBits = ModemBitsOf(Lines);
    while (!Killed()) {
      const int W = SerialWait(-1, 0, *S.FStatusWake, int(S.FOptions.StatusPollMs));
      if (W < 0) return Fail(ecDeviceRead);
      if (W & swWoken) S.FStatusWake->Consume();
      if (Killed()) return;
      std::uint32_t Mask = 0;
      if (!WaitSerialEvent(L, Fd, Counting, Last, Lines, Mask)) return;
      Mask &= LastMask;
      if (Mask & (ModemEvent | LineEvent)) Queue().Push(new TStatusBuffer(Mask));
    }
  }

  // One look at the lines: the event bits of what changed since the last look.
  bool WaitSerialEvent(TSerialLines& L, int Fd, bool& Counting, TSerialCounts& Last, int& Lines,
                       std::uint32_t& Mask) {
    const int Now = L.GetLines(Fd);
    if (Now < 0) {
      Fail(ecDeviceRead);
      return false;
    }
    const int Changed = Now ^ Lines;
    if (Changed & lnCts) Mask |= ev_Cts;
    if (Changed & lnDsr) Mask |= ev_Dsr;
    if (Changed & lnDcd) Mask |= ev_Rlsd;
    if (Changed & Now & lnRing) Mask |= ev_Ring;
    Lines = Now;
    S.FModemBits = ModemBitsOf(Now);
    if (!Counting) return true;
    TSerialCounts C;
    if (L.GetCounts(Fd, C) != 0) {
      Counting = false;  // counters went away: line changes alone from now on
      return true;
    }
    // Counters catch changes that came and went between two looks.
    if (C.Cts != Last.Cts) Mask |= ev_Cts;
    if (C.Dsr != Last.Dsr) Mask |= ev_Dsr;
    if (C.Dcd != Last.Dcd) Mask |= ev_Rlsd;
    if (C.Ring != Last.Ring) Mask |= ev_Ring;
    std::uint32_t Errors = 0;
    if (C.Break != Last.Break) {
      Mask |= ev_Break;
      Errors |= ce_Break;
    }
    if (C.Frame != Last.Frame) Errors |= ce_Frame;
    if (C.Overrun != Last.Overrun) Errors |= ce_Overrun;
    if (C.Parity != Last.Parity) Errors |= ce_RxParity;
    if (C.BufOverrun != Last.BufOverrun) Errors |= ce_RxOver;
    if (Errors & ~ce_Break) Mask |= ev_Err;
    if (Errors) S.FLineErrors.fetch_or(Errors);
    Last = C;
    return true;
  }
};

// ---------------------------------------------------------------- the dispatcher

TQpWin32Dispatcher::TQpWin32Dispatcher(TQpCustomComPort* Owner, TSerialLayerOptions Options)
    : TQpBaseDispatcher(Owner), FOptions(std::move(Options)) {
  FLines = FOptions.Lines ? FOptions.Lines : SystemSerialLines();
}

TQpWin32Dispatcher::~TQpWin32Dispatcher() {
  // Only when a worker outlived its close bound: the descriptor goes with the last reference.
  const int Fd = FFd.exchange(-1);
  if (Fd >= 0) SerialClose(Fd);
}

TSerialDeviceMap TQpWin32Dispatcher::Map() const {
  return FOptions.MapSources ? TSerialDeviceMap(*FOptions.MapSources) : TSerialDeviceMap();
}

std::string TQpWin32Dispatcher::DevicePathFor(const std::string& ComName) const {
  const int N = ParseComName(StripDevicePrefix(ComName));
  return N > 0 ? Map().DevicePath(N) : std::string();
}

bool TQpWin32Dispatcher::CheckPort(const std::string& ComName) {
  const int N = ParseComName(StripDevicePrefix(ComName));
  if (N <= 0) return false;
  // Known to the system whether or not someone holds it; never opened (opening raises DTR).
  return Map().Exists(N);
}

std::int32_t TQpWin32Dispatcher::OpenCom(const char* ComName, std::uint32_t, std::uint32_t) {
  const std::string Path = DevicePathFor(ComName ? ComName : "");
  if (Path.empty()) {
    errno = ENOENT;
    return -1;
  }
  const int Fd = SerialOpen(Path);
  if (Fd < 0) {
    errno = -Fd;
    return -1;
  }
  return AdoptDevice(Fd) < 0 ? -1 : Fd;
}

std::int32_t TQpWin32Dispatcher::AdoptDevice(int Fd) {
  auto R = std::make_unique<TSerialWake>(), W = std::make_unique<TSerialWake>(),
       St = std::make_unique<TSerialWake>();
  if (!R->Valid() || !W->Valid() || !St->Valid()) {
    SerialClose(Fd);
    errno = EMFILE;
    return -1;
  }
  {
    std::lock_guard<std::mutex> Guard(FDeviceLock);
    FReadWake = std::move(R);
    FWriteWake = std::move(W);
    FStatusWake = std::move(St);
  }
  // "No modem lines here" (pseudo-terminals, some adapters) is a device like any other.
  FHasLines = FLines->GetLines(Fd) >= 0;
  FModemBits = 0;
  FFailed = false;
  FReadFull = false;
  FBlockUnsent = 0;
  FLineErrors = 0;
  FQueueHigh = std::max<std::uint32_t>(256 * 1024, 4 * InQue);
  // Raw from the start, at the rate and framing the device has, without flow control left
  // behind by an earlier user (a terminal's XON/XOFF would eat those bytes from binary data).
  // Their results are not checked here: the port applies its own line settings right after
  // the open (SetComState), and that is where a device that refuses them fails.
  FDcb = TDCB();
  SerialReadDcb(Fd, FDcb);
  FDcb.Flags &= ~(dcb_OutX | dcb_InX | dcb_OutxCtsFlow);
  SerialApplyDcb(Fd, FDcb);
  FFd = Fd;
  CidEx = Fd;
  return Fd;
}

bool TQpWin32Dispatcher::SetupCom(std::int32_t, std::int32_t) {
  // The driver's queues are its own on this platform; only a live device matters.
  return FFd.load() >= 0;
}

std::int32_t TQpWin32Dispatcher::GetComState(TDCB& Dcb) {
  std::lock_guard<std::mutex> Guard(FDeviceLock);
  const int Fd = FFd.load();
  TDCB Device;
  if (Fd < 0 || SerialReadDcb(Fd, Device) != 0) return -1;
  // What was applied: drivers that cannot carry a setting (pseudo-terminals force eight data
  // bits) would otherwise make every SetLine look like a change.
  Dcb = FDcb;
  return 0;
}

std::int32_t TQpWin32Dispatcher::SetComState(TDCB& Dcb) {
  std::lock_guard<std::mutex> Guard(FDeviceLock);
  const int Fd = FFd.load();
  if (Fd < 0) return -EBADF;
  const int R = SerialApplyDcb(Fd, Dcb);
  if (R == 0) FDcb = Dcb;
  return R;
}

std::int32_t TQpWin32Dispatcher::EscapeComFunction(std::int32_t Func) {
  std::lock_guard<std::mutex> Guard(FDeviceLock);
  const int Fd = FFd.load();
  if (Fd < 0) return -EBADF;
  int R = 0;
  switch (Func) {
    case SETDTR: R = FLines->ChangeLines(Fd, lnDtr, true); break;
    case CLRDTR: R = FLines->ChangeLines(Fd, lnDtr, false); break;
    case SETRTS: R = FLines->ChangeLines(Fd, lnRts, true); break;
    case CLRRTS: R = FLines->ChangeLines(Fd, lnRts, false); break;
    case SETBREAK: R = FLines->SetBreak(Fd, true); break;
    case CLRBREAK: R = FLines->SetBreak(Fd, false); break;
    case SETXOFF: R = SerialSuspendOutput(Fd, true); break;
    case SETXON: R = SerialSuspendOutput(Fd, false); break;
    default: return 0;
  }
  // A device without the line: nothing to change, and nothing failed.
  return NoSuchLine(R) ? 0 : R;
}

std::uint8_t TQpWin32Dispatcher::GetComModemStatus() {
  if (!FHasLines.load()) return 0;
  std::lock_guard<std::mutex> Guard(FDeviceLock);
  const int Fd = FFd.load();
  if (Fd < 0) return 0;
  const int Lines = FLines->GetLines(Fd);
  return Lines < 0 ? FModemBits.load() : ModemBitsOf(Lines);
}

std::uint32_t TQpWin32Dispatcher::OutBufUsed() {
  DispLock Guard(OutputSection);
  if (OBufFull) return OutQue;
  if (OBufHead > OBufTail) return OBufHead - OBufTail;
  if (OBufHead < OBufTail) return OutQue - OBufTail + OBufHead;
  return 0;
}

std::uint32_t TQpWin32Dispatcher::OutputPending() {
  std::uint32_t N = OutBufUsed() + FBlockUnsent.load();
  std::lock_guard<std::mutex> Guard(FDeviceLock);
  const int Fd = FFd.load();
  if (Fd >= 0) N += std::uint32_t(SerialOutQueue(Fd));
  return N;
}

std::int32_t TQpWin32Dispatcher::GetComError(TComStat& Stat) {
  Stat.Flags = 0;
  Stat.cbOutQue = OutputPending();
  {
    std::lock_guard<std::mutex> Guard(FDeviceLock);
    const int Fd = FFd.load();
    Stat.cbInQue = std::uint32_t(FQueue.BytesQueued()) + (Fd >= 0 ? std::uint32_t(SerialInQueue(Fd)) : 0);
  }
  return std::int32_t(FLineErrors.exchange(0) & ValidErrorMask);
}

std::int32_t TQpWin32Dispatcher::GetComEventMask(std::int32_t) { return 0; }

std::uint32_t TQpWin32Dispatcher::InQueueUsed() {
  TIOBuffer* Head = FQueue.Peek();
  if (!Head) return 0;
  std::uint32_t N = 0;
  if (auto* D = dynamic_cast<TDataBuffer*>(Head)) N = std::uint32_t(D->BytesUsed() - D->BytesRead());
  Head->SetInUse(false);
  return N;
}

std::uint32_t TQpWin32Dispatcher::InputFollowing() {
  return FReadFull.load() && !FReadHeld.load() && !FFailed.load() ? SerialReadBlock : 0;
}

std::int32_t TQpWin32Dispatcher::ReadCom(void* Buf, std::int32_t Size) {
  std::int32_t Done = 0;
  auto* Out = static_cast<std::uint8_t*>(Buf);
  while (Done < Size) {
    TIOBuffer* Head = FQueue.Peek();
    if (!Head) break;
    auto* D = dynamic_cast<TDataBuffer*>(Head);
    if (!D) {
      Head->SetInUse(false);  // a status item ends the read; the dispatcher takes it
      break;
    }
    const std::int32_t N = std::min(Size - Done, D->BytesUsed() - D->BytesRead());
    std::memcpy(Out + Done, D->Data() + D->BytesRead(), std::size_t(N));
    D->SetBytesRead(D->BytesRead() + N);
    Done += N;
    if (D->BytesRead() >= D->BytesUsed())
      delete FQueue.Pop();
    else
      D->SetInUse(false);
  }
  if (FReadHeld.load() && std::uint32_t(FQueue.BytesQueued()) <= FQueueHigh / 2) {
    std::lock_guard<std::mutex> Guard(FDeviceLock);
    if (FReadWake) FReadWake->Signal();
  }
  return Done;
}

std::int32_t TQpWin32Dispatcher::WriteCom(const void* Buf, std::int32_t Size) {
  if (Size <= 0) return 0;
  {
    DispLock Guard(OutputSection);
    // After a failure nobody drains the ring: refuse, so the caller learns at once.
    if (KillThreads.load() || FFailed.load() || FFd.load() < 0 || OutQue == 0 ||
        OBuffer.size() != OutQue || std::uint32_t(Size) > OutQue)
      return 0;
    const auto* In = static_cast<const std::uint8_t*>(Buf);
    const std::uint32_t SizeAtEnd = OutQue - OBufHead;
    if (SizeAtEnd >= std::uint32_t(Size)) {
      std::memcpy(OBuffer.data() + OBufHead, In, std::size_t(Size));
      OBufHead += std::uint32_t(Size);
      if (OBufHead == OutQue) OBufHead = 0;
    } else {
      std::memcpy(OBuffer.data() + OBufHead, In, SizeAtEnd);
      std::memcpy(OBuffer.data(), In + SizeAtEnd, std::size_t(Size) - SizeAtEnd);
      OBufHead = std::uint32_t(Size) - SizeAtEnd;
    }
  }
  std::lock_guard<std::mutex> Guard(FDeviceLock);
  if (FWriteWake) FWriteWake->Signal();
  return Size;
}

std::int32_t TQpWin32Dispatcher::FlushCom(std::int32_t Queue) {
  if (Queue == 0) {
    bool Writer;
    {
      DispLock Guard(DataSection);
      Writer = OutThread != nullptr;
    }
    if (!Writer) return 0;
    {
      DispLock Guard(OutputSection);
      OBufFull = false;
      OBufHead = OBufTail = 0;
    }
    const std::uint64_t Request = FFlushRequest.fetch_add(1) + 1;
    {
      std::lock_guard<std::mutex> Guard(FDeviceLock);
      const int Fd = FFd.load();
      if (Fd >= 0) SerialPurge(Fd, 0);
      if (FWriteWake) FWriteWake->Signal();
    }
    // The writer never needs the GUI thread, so a plain bounded wait is safe here.
    std::unique_lock<std::mutex> Guard(FFlushLock);
    FFlushChanged.wait_for(Guard, std::chrono::milliseconds(OutFlushWait),
                           [&] { return FFlushDone >= Request; });
    return 1;
  }
  {
    std::lock_guard<std::mutex> Guard(FDeviceLock);
    const int Fd = FFd.load();
    if (Fd < 0) return 0;
    SerialPurge(Fd, 1);
  }
  FQueue.Clear();
  return 1;
}

std::int32_t TQpWin32Dispatcher::ProcessCommunications() {
  std::this_thread::yield();
  return 0;
}

// ---------------------------------------------------------------- threads

void TQpWin32Dispatcher::StartWorker(const std::shared_ptr<TQpDispatcherThread>& T) {
  T->Start();
  GeneralEvent->WaitFor(ThreadStartWait);
}

void TQpWin32Dispatcher::StartDispatcher() {
  auto Self = std::static_pointer_cast<TQpWin32Dispatcher>(shared_from_this());
  {
    DispLock Guard(DataSection);
    if (DispActive.load()) throw std::runtime_error("Dispatcher already started.");
    DispActive = true;
    KillThreads = false;
  }
  GeneralEvent->ResetEvent();
  auto Read = std::make_shared<TReadThread>(Self);
  {
    DispLock Guard(DataSection);
    ComThread = Read;
  }
  StartWorker(Read);
  StartDispThread();
  auto Write = std::make_shared<TWriteThread>(Self);
  {
    DispLock Guard(DataSection);
    OutThread = Write;
  }
  StartWorker(Write);
  auto Status = std::make_shared<TStatusThread>(Self);
  {
    DispLock Guard(DataSection);
    StatusThread = Status;
  }
  StartWorker(Status);
}

void TQpWin32Dispatcher::StopDispatcher() {
  if (DispActive.load()) CloseCom();
}

void TQpWin32Dispatcher::WakeWorkers() {
  std::lock_guard<std::mutex> Guard(FDeviceLock);
  for (auto* W : {FReadWake.get(), FWriteWake.get(), FStatusWake.get()})
    if (W) W->Signal();
}

void TQpWin32Dispatcher::StopWorkers(TQpWin32Thread* Sender, std::int32_t Code) {
  // The first failure is the one reported; a stop that our own close began is silent.
  const bool First = !FFailed.exchange(true) && !CloseComActive.load();
  if (Sender) Sender->ReturnValue = First ? Code : 0;
  if (!First && Sender) Sender->ErrorText.clear();
  KillThreads = true;
  WakeWorkers();
  WakeDispatchThread();
}

void TQpWin32Dispatcher::WakeDispatchThread() {
  WakeDispatcher();
  // The dispatcher thread sleeps on the input queue: an empty status item wakes it at once
  // (it sees KillThreads before taking the item, which goes with the queue).
  FQueue.Push(new TStatusBuffer(0));
}

bool TQpWin32Dispatcher::WorkersGone() {
  DispLock Guard(DataSection);
  return !ComThread && !OutThread && !StatusThread;
}

void TQpWin32Dispatcher::WorkerEnded() {
  { std::lock_guard<std::mutex> Guard(FEndLock); }
  FEndChanged.notify_all();
}

std::int32_t TQpWin32Dispatcher::CloseCom() {
  if (CloseComActive.exchange(true)) return 0;  // a close is already running
  ScopeExit Reset([this] { CloseComActive = false; });

  bool Ended = true;
  if (!WorkersGone() || DispThread()) {
    KillThreads = true;
    WakeWorkers();
    WakeDispatchThread();
    // Workers only wait on their wake-ups, so they end promptly; the bound is a safety net.
    const std::uint32_t Bound = 3 * WorkerEndWait;
    if (IsGuiThread()) {
      Ended = WaitWithMessages([this] { return WorkersGone(); }, Bound);
    } else {
      std::unique_lock<std::mutex> Guard(FEndLock);
      Ended = FEndChanged.wait_for(Guard, std::chrono::milliseconds(Bound), [this] { return WorkersGone(); });
    }
    StopDispThread();
  }
  const bool WasOpen = CidEx.load() >= 0;
  CidEx = -1;
  if (!Ended) return -1;  // a worker still runs: its descriptor goes with the last reference
  int Fd;
  {
    std::lock_guard<std::mutex> Guard(FDeviceLock);
    Fd = FFd.exchange(-1);
    FReadWake.reset();
    FWriteWake.reset();
    FStatusWake.reset();
  }
  if (Fd < 0) return 0;
  const int R = SerialClose(Fd);
  return (R == 0 || !WasOpen) ? 0 : -1;
}

// ---------------------------------------------------------------- adopting layer

std::int32_t TQpTAPI32Dispatcher::OpenCom(const char*, std::uint32_t, std::uint32_t) {
  if (FInCid <= 0) {
    errno = 0;
    return ecCommNotOpen;
  }
  return AdoptDevice(FInCid) < 0 ? -1 : FInCid;
}

void RegisterSerialLayer() {
  TQpCustomComPort::RegisterDeviceLayer(dlWin32, [](TQpCustomComPort* Owner) {
    return std::make_shared<TQpWin32Dispatcher>(Owner);
  });
}
