#pragma once
// An in-memory device layer for the port tests: implements the device-layer contract against
// byte queues instead of a device, runs the real dispatcher thread, and is plugged into a port
// through CustomDispatcher. The "device" side (Feed, FeedStatus, Sent) may be used from any
// thread, like a device layer's read thread.

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

#include "port/com_port.h"
#include "port/port_dispatch.h"

class TMemoryDispatcher : public TQpBaseDispatcher {
 public:
  using TQpBaseDispatcher::TQpBaseDispatcher;

  // ---- scripted device behaviour ----
  std::atomic<int> OpenErrno{0};       // non-zero: OpenCom fails with -1 and this errno
  std::atomic<bool> OpenFailsSilently{false};  // OpenCom fails with -1 and errno 0
  std::atomic<int> SetComStateResult{0};
  std::atomic<bool> HoldOutput{false};  // written bytes stay "unsent"
  std::atomic<bool> WriteRefuses{false};
  std::atomic<int> WriteAccepts{-1};  // at most this many bytes per write; -1: all
  std::atomic<std::uint8_t> ModemLines{0};
  std::atomic<std::uint32_t> PendingLineErrors{0};
  std::atomic<int> SetComStateCalls{0};
  std::atomic<int> WriteComCalls{0};
  std::atomic<bool> UseThread{true};  // false: no dispatcher thread (driven by hand)
  std::atomic<bool> DtrOn{false}, RtsOn{false}, BreakOn{false};
  TDCB DeviceDCB;

  // ---- device side ----
  void Feed(const std::string& Bytes, std::size_t Chunk = 256) {
    for (std::size_t Pos = 0; Pos < Bytes.size(); Pos += Chunk) {
      const std::size_t N = std::min(Chunk, Bytes.size() - Pos);
      auto* B = new TDataBuffer(static_cast<std::uint32_t>(N));
      std::copy_n(Bytes.data() + Pos, N, B->Data());
      B->SetBytesUsed(static_cast<std::int32_t>(N));
      FQueue.Push(B);
    }
  }
  void FeedStatus(std::uint32_t Mask) { FQueue.Push(new TStatusBuffer(Mask)); }
  std::string Sent() {
    std::lock_guard<std::mutex> G(FOutLock);
    return FSent;
  }
  void ReleaseOutput() {
    std::lock_guard<std::mutex> G(FOutLock);
    FSent += FHeld;
    FHeld.clear();
  }

  // ---- the contract ----
  std::int32_t EscapeComFunction(std::int32_t Func) override {
    switch (Func) {
      case SETDTR: DtrOn = true; break;
      case CLRDTR: DtrOn = false; break;
      case SETRTS: RtsOn = true; break;
      case CLRRTS: RtsOn = false; break;
      case SETBREAK: BreakOn = true; break;
      case CLRBREAK: BreakOn = false; break;
      default: break;
    }
    return 0;
  }
  std::int32_t FlushCom(std::int32_t Queue) override {
    if (Queue == 0) {
      std::lock_guard<std::mutex> G(FOutLock);
      FHeld.clear();
    } else {
      FQueue.Clear();
    }
    return 0;
  }
  std::int32_t GetComError(TComStat& Stat) override {
    Stat.cbOutQue = OutBufUsed();
    Stat.cbInQue = InQueueUsed();
    return static_cast<std::int32_t>(PendingLineErrors.exchange(0));
  }
  std::int32_t GetComEventMask(std::int32_t) override { return 0; }
  std::int32_t GetComState(TDCB& D) override {
    std::lock_guard<std::mutex> G(FOutLock);
    D = DeviceDCB;
    return 0;
  }
  std::int32_t ReadCom(void* Buf, std::int32_t Size) override {
    std::int32_t Done = 0;
    auto* Out = static_cast<std::uint8_t*>(Buf);
    while (Done < Size) {
      TIOBuffer* Head = FQueue.Peek();
      if (!Head) break;
      auto* D = dynamic_cast<TDataBuffer*>(Head);
      if (!D) {
        Head->SetInUse(false);  // a status item ends the read
        break;
      }
      const std::int32_t N = std::min(Size - Done, D->BytesUsed() - D->BytesRead());
      std::copy_n(D->Data() + D->BytesRead(), N, Out + Done);
      D->SetBytesRead(D->BytesRead() + N);
      Done += N;
      if (D->BytesRead() >= D->BytesUsed())
        delete FQueue.Pop();
      else
        D->SetInUse(false);
    }
    return Done;
  }
  std::int32_t SetComState(TDCB& D) override {
    ++SetComStateCalls;
    if (SetComStateResult != 0) return SetComStateResult;
    std::lock_guard<std::mutex> G(FOutLock);
    DeviceDCB = D;
    return 0;
  }
  std::int32_t WriteCom(const void* Buf, std::int32_t Size) override {
    ++WriteComCalls;
    if (WriteRefuses) return 0;
    if (WriteAccepts >= 0) Size = std::min<std::int32_t>(Size, WriteAccepts);
    std::lock_guard<std::mutex> G(FOutLock);
    (HoldOutput ? FHeld : FSent).append(static_cast<const char*>(Buf), Size);
    return Size;
  }
  bool SetupCom(std::int32_t, std::int32_t) override { return true; }
  void StartDispatcher() override {
    if (DispActive.exchange(true)) throw std::runtime_error("Dispatcher already started.");
    KillThreads = false;
    if (UseThread) StartDispThread();
  }
  void StopDispatcher() override {
    if (DispActive.load()) CloseCom();
    if (!UseThread) DispActive = false;
  }
  std::uint32_t OutBufUsed() override {
    std::lock_guard<std::mutex> G(FOutLock);
    return static_cast<std::uint32_t>(FHeld.size());
  }
  std::uint32_t InQueueUsed() override {
    TIOBuffer* Head = FQueue.Peek();
    if (!Head) return 0;
    std::uint32_t N = 0;
    if (auto* D = dynamic_cast<TDataBuffer*>(Head)) N = D->BytesUsed() - D->BytesRead();
    Head->SetInUse(false);
    return N;
  }
  std::int32_t OpenCom(const char* Name, std::uint32_t, std::uint32_t) override {
    OpenedName = Name ? Name : "";
    if (OpenFailsSilently) {
      errno = 0;
      return -1;
    }
    if (OpenErrno != 0) {
      errno = OpenErrno;
      return -1;
    }
    CidEx = 7;
    return 7;
  }
  std::int32_t CloseCom() override {
    if (CloseComActive.exchange(true)) return 0;
    if (UseThread) StopDispThread();
    CloseComActive = false;
    if (CidEx >= 0) CidEx = -1;
    ++CloseCalls;
    return 0;
  }
  bool CheckPort(const std::string&) override { return true; }
  std::int32_t ProcessCommunications() override { return 0; }
  std::uint8_t GetComModemStatus() override { return ModemLines; }

  std::string OpenedName;
  std::atomic<int> CloseCalls{0};

 private:
  std::mutex FOutLock;
  std::string FSent, FHeld;
};

// A port whose device layer is a TMemoryDispatcher; Disp() is the current one.
class TMemoryPort : public TQpComPort {
 public:
  TMemoryPort() {
    SetComNumber(1);
    SetCustomDispatcher([this](TQpCustomComPort* Owner) {
      auto D = std::make_shared<TMemoryDispatcher>(Owner);
      if (Configure) Configure(*D);
      Last = D;
      return D;
    });
  }
  std::shared_ptr<TMemoryDispatcher> Disp() { return Last; }
  std::function<void(TMemoryDispatcher&)> Configure;
  std::shared_ptr<TMemoryDispatcher> Last;
  using TQpCustomComPort::FDispatcher;
};
