#pragma once
// The terminal control's input: bytes from the port's delivering thread (the GUI thread with
// the network layer, the dispatcher thread with the serial layer) and from local writes, waiting
// for the GUI thread to process them.
//
// TaaByteQueue is the plain queue (one thread; the data always starts at the block's start).
// TTermInput wraps one in a lock held only while bytes are copied in or taken out, bounds it
// (the oldest bytes go first, counted), and keeps one "notice pending" flag so that a flood
// posts one message at a time, never one per delivery.
//
// Lock order: the control's receiver calls Append with a Fill that runs the port's GetBlock,
// so FLock is held across GetBlock, which takes the dispatcher's DispSection: FLock comes
// before every dispatcher lock, and nothing under a dispatcher lock may call into this queue.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <vector>

class TaaByteQueue {
 public:
  TaaByteQueue() { SetCapacity(64); }
  std::size_t Count() const { return FCount; }
  // Half the block: the block is twice the capacity.
  std::size_t Capacity() const { return FBlock.size() / 2; }
  // Room for at least max(C, Count) bytes, rounded up to 64.
  void SetCapacity(std::size_t C);
  void Put(const void* Data, std::size_t Len);
  // Room for Len more bytes at the tail, for the caller to fill; AdvanceAfterPut counts them.
  std::uint8_t* PutPeek(std::size_t Len);
  void AdvanceAfterPut(std::size_t Len);
  // The head, when at least Len bytes are queued; raises otherwise.
  const std::uint8_t* Peek(std::size_t Len) const;
  // Takes Len bytes from the head; raises when fewer are queued.
  void Remove(std::size_t Len);
  void Clear() { FCount = 0; }

 private:
  void Grow(std::size_t Len);
  void Check(std::size_t Len) const;
  std::vector<std::uint8_t> FBlock;
  std::size_t FCount = 0;
};

// Any thread, unless a member says otherwise.
class TTermInput {
 public:
  static constexpr std::size_t DefaultLimit = std::size_t(4) << 20;
  explicit TTermInput(std::size_t Limit = DefaultLimit) : FLimit(Limit < 64 ? 64 : Limit) {}

  // Opens a new gate and returns its number; deliveries carrying an older number are ignored,
  // so a receiver copy still in flight after a detach never adds anything.
  std::uint64_t OpenGate();
  void CloseGate();

  // Adds up to Len bytes written by Fill(To, Len) -> bytes really written, while the gate
  // numbered Gate is open (Gate 0: always). True when the caller must post the notice.
  template <class FillFn>
  bool Append(std::uint64_t Gate, std::size_t Len, FillFn&& Fill) {
    std::lock_guard<std::mutex> G(FLock);
    if (Gate != 0 && (Gate != FGate || !FOpen)) return false;
    if (Len == 0) return false;
    MakeRoom(Len);
    std::uint8_t* To = FQueue.PutPeek(Len);
    const std::size_t Got = std::min<std::size_t>(Fill(To, Len), Len);
    FQueue.AdvanceAfterPut(Got);
    return Got > 0 && ArmPrim();
  }
  bool Append(const void* Data, std::size_t Len);

  // GUI thread: the message announced by the notice is being handled.
  void NoticeTaken();
  // Arms the notice when none is pending; true when the caller must post it.
  bool ArmNotice();
  // Moves every waiting byte into Out (replacing its contents).
  void TakeAll(std::vector<std::uint8_t>& Out);

  std::size_t Count() const;
  std::size_t Capacity() const;
  std::size_t Limit() const { return FLimit; }
  // Bytes dropped because the queue was full, in all.
  std::uint64_t Dropped() const;
  // True once: the first time bytes were dropped (for one log line).
  bool TakeDropReport();

 private:
  void MakeRoom(std::size_t Len);
  bool ArmPrim();
  mutable std::mutex FLock;
  TaaByteQueue FQueue;
  std::size_t FLimit;
  std::uint64_t FDropped = 0;
  bool FDropReported = false, FDropReportDue = false;
  bool FPending = false;
  std::uint64_t FGate = 0;
  bool FOpen = false;
};
