#include "terminal/term_byte_queue.h"

#include <algorithm>
#include <cstring>
#include <string>

void TaaByteQueue::SetCapacity(std::size_t C) {
  C = std::max(C, FCount);
  C = (C + 63) / 64 * 64;
  if (C == 0) C = 64;
  std::vector<std::uint8_t> Block(2 * C);
  if (FCount) std::memcpy(Block.data(), FBlock.data(), FCount);
  FBlock.swap(Block);
}

void TaaByteQueue::Grow(std::size_t Len) {
  std::size_t C = Capacity();
  while (FCount + Len > C) C *= 2;
  if (C != Capacity()) SetCapacity(C);
}

void TaaByteQueue::Put(const void* Data, std::size_t Len) {
  if (Len == 0) return;
  std::memcpy(PutPeek(Len), Data, Len);
  FCount += Len;
}

std::uint8_t* TaaByteQueue::PutPeek(std::size_t Len) {
  Grow(Len);
  return FBlock.data() + FCount;
}

void TaaByteQueue::AdvanceAfterPut(std::size_t Len) { FCount = std::min(FCount + Len, FBlock.size()); }

void TaaByteQueue::Check(std::size_t Len) const {
  if (Len <= FCount) return;
  throw std::runtime_error("Not enough data in queue (" + std::to_string(FCount) +
                           " bytes) to satisfy read request (" + std::to_string(Len) + " bytes)");
}

const std::uint8_t* TaaByteQueue::Peek(std::size_t Len) const {
  Check(Len);
  return FBlock.data();
}

void TaaByteQueue::Remove(std::size_t Len) {
  Check(Len);
  if (Len < FCount) std::memmove(FBlock.data(), FBlock.data() + Len, FCount - Len);
  FCount -= Len;
}

std::uint64_t TTermInput::OpenGate() {
  std::lock_guard<std::mutex> G(FLock);
  FOpen = true;
  return ++FGate;
}

void TTermInput::CloseGate() {
  std::lock_guard<std::mutex> G(FLock);
  FOpen = false;
  ++FGate;
}

// Over the bound the oldest half goes at once, so a long flood moves memory rarely.
void TTermInput::MakeRoom(std::size_t Len) {
  if (FQueue.Count() + Len <= FLimit) return;
  std::size_t Drop = FQueue.Count();
  if (Len < FLimit) Drop = std::min(FQueue.Count(), std::max(FQueue.Count() + Len - FLimit, FLimit / 2));
  if (Drop == 0) return;
  FQueue.Remove(Drop);
  FDropped += Drop;
  if (!FDropReported) FDropReportDue = true;
}

bool TTermInput::Append(const void* Data, std::size_t Len) {
  return Append(0, Len, [Data](std::uint8_t* To, std::size_t N) {
    std::memcpy(To, Data, N);
    return N;
  });
}

bool TTermInput::ArmPrim() {
  if (FPending) return false;
  FPending = true;
  return true;
}

void TTermInput::NoticeTaken() {
  std::lock_guard<std::mutex> G(FLock);
  FPending = false;
}

bool TTermInput::ArmNotice() {
  std::lock_guard<std::mutex> G(FLock);
  return ArmPrim();
}

void TTermInput::TakeAll(std::vector<std::uint8_t>& Out) {
  std::lock_guard<std::mutex> G(FLock);
  const std::size_t N = FQueue.Count();
  Out.assign(FQueue.Peek(N), FQueue.Peek(N) + N);
  FQueue.Clear();
}

std::size_t TTermInput::Count() const {
  std::lock_guard<std::mutex> G(FLock);
  return FQueue.Count();
}

std::size_t TTermInput::Capacity() const {
  std::lock_guard<std::mutex> G(FLock);
  return FQueue.Capacity();
}

std::uint64_t TTermInput::Dropped() const {
  std::lock_guard<std::mutex> G(FLock);
  return FDropped;
}

bool TTermInput::TakeDropReport() {
  std::lock_guard<std::mutex> G(FLock);
  if (!FDropReportDue) return false;
  FDropReportDue = false;
  FDropReported = true;
  return true;
}
