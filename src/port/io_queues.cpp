#include "port/io_queues.h"

#include <cstring>
#include <new>
#include <stdexcept>

TDataBuffer::TDataBuffer(std::uint32_t Size) {
  FData.reset(new (std::nothrow) std::uint8_t[Size == 0 ? 1 : Size]());
  if (!FData) throw std::runtime_error("Insufficient memory to allocate I/O buffer.");
  FDataSize = static_cast<std::int32_t>(Size);
}

TLogBuffer::TLogBuffer(TDispatchType Typ, TDispatchSubType STyp, std::uint32_t Tim,
                       std::uint32_t Data, const void* Bfr, std::int32_t BfrLen)
    : FType(Typ), FSubType(STyp), FTime(Tim), FData(Data) {
  if (BfrLen > 0 && Bfr) {
    const auto* P = static_cast<const std::uint8_t*>(Bfr);
    FBuffer.assign(P, P + BfrLen);
    FDataSize = BfrLen;
  }
}

TIOQueue::~TIOQueue() { Clear(); }  // buffers still in use belong to their consumer

void TIOQueue::Push(TIOBuffer* Buffer) {
  if (!Buffer) return;
  {
    std::lock_guard<std::mutex> Guard(FLock);
    FList.push_back(Buffer);
    FBytesQueued += Buffer->Size();
  }
  FEvent.SetEvent();
}

TIOBuffer* TIOQueue::Pop() {
  std::lock_guard<std::mutex> Guard(FLock);
  if (FList.empty()) return nullptr;
  TIOBuffer* Head = FList.front();
  FList.pop_front();
  FBytesQueued -= Head->Size();
  return Head;
}

TIOBuffer* TIOQueue::Peek() {
  std::lock_guard<std::mutex> Guard(FLock);
  if (FList.empty() || FList.front()->InUse()) return nullptr;
  FList.front()->SetInUse(true);
  return FList.front();
}

void TIOQueue::Clear() {
  std::lock_guard<std::mutex> Guard(FLock);
  std::deque<TIOBuffer*> Kept;
  for (TIOBuffer* B : FList) {
    if (B->InUse()) {
      Kept.push_back(B);
    } else {
      FBytesQueued -= B->Size();
      delete B;
    }
  }
  FList.swap(Kept);
}

TWaitResult TIOQueue::WaitForBuffer(std::int32_t TimeoutMs) {
  if (Count() > 0) return TWaitResult::wrSignaled;
  return FEvent.WaitFor(TimeoutMs < 0 ? INFINITE_WAIT : static_cast<std::uint32_t>(TimeoutMs));
}

std::int32_t TIOQueue::BytesQueued() {
  std::lock_guard<std::mutex> Guard(FLock);
  return FBytesQueued;
}

int TIOQueue::Count() {
  std::lock_guard<std::mutex> Guard(FLock);
  return static_cast<int>(FList.size());
}
