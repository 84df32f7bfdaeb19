#pragma once
// Locked first-in-first-out queues of buffers between a device layer's threads and the
// dispatcher thread (received bytes and device events), and for dispatch log entries.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "port/port_sync.h"

// Dispatch log entry types and subtypes (texts: message rows 15001 + type, 15100 + subtype).
enum TDispatchType : std::uint8_t {
  dtNone, dtDispatch, dtTrigger, dtError, dtThread, dtTriggerAlloc, dtTriggerDispose,
  dtTriggerHandlerAlloc, dtTriggerHandlerDispose, dtTriggerDataChange, dtTelnet, dtFax, dtXModem,
  dtYModem, dtZModem, dtKermit, dtAscii, dtBPlus, dtPacket, dtUser, dtScript
};
enum TDispatchSubType : std::uint16_t {
  dstNone, dstReadCom, dstWriteCom, dstLineStatus, dstModemStatus, dstAvail, dstTimer, dstData,
  dstStatus, dstThreadStart, dstThreadExit, dstThreadSleep, dstThreadWake, dstDataTrigger,
  dstTimerTrigger, dstStatusTrigger, dstAvailTrigger, dstWndHandler, dstProcHandler,
  dstEventHandler, dstSWill, dstSWont, dstSDo, dstSDont, dstRWill, dstRWont, dstRDo, dstRDont,
  dstCommand, dstSTerm
};

class TIOBuffer {
 public:
  virtual ~TIOBuffer() = default;
  bool InUse() const { return FInUse.load(); }
  void SetInUse(bool V) { FInUse.store(V); }
  std::int32_t Size() const { return FDataSize; }

 protected:
  std::atomic<bool> FInUse{false};  // cleared by a consumer outside the queue's lock
  std::int32_t FDataSize = 0;
};

// Received bytes: Size is the capacity; 0 <= BytesRead <= BytesUsed <= Size.
class TDataBuffer : public TIOBuffer {
 public:
  // Throws std::runtime_error("Insufficient memory to allocate I/O buffer.") when the block
  // cannot be allocated.
  explicit TDataBuffer(std::uint32_t Size);
  std::uint8_t* Data() { return FData.get(); }
  std::int32_t BytesUsed() const { return FDataUsed; }
  void SetBytesUsed(std::int32_t V) { FDataUsed = V; }
  std::int32_t BytesRead() const { return FDataRead; }
  void SetBytesRead(std::int32_t V) { FDataRead = V; }

 private:
  std::unique_ptr<std::uint8_t[]> FData;
  std::int32_t FDataUsed = 0;
  std::int32_t FDataRead = 0;
};

// One device event; Size 0.
class TStatusBuffer : public TIOBuffer {
 public:
  explicit TStatusBuffer(std::uint32_t Status = 0) : FStatus(Status) {}
  std::uint32_t Status() const { return FStatus; }
  void SetStatus(std::uint32_t V) { FStatus = V; }

 private:
  std::uint32_t FStatus;
};

// One dispatch log entry with a private copy of its bytes; Size (= drMoreData) is their count.
class TLogBuffer : public TIOBuffer {
 public:
  TLogBuffer(TDispatchType Typ, TDispatchSubType STyp, std::uint32_t Tim, std::uint32_t Data,
             const void* Bfr, std::int32_t BfrLen);
  TDispatchType drType() const { return FType; }
  TDispatchSubType drSubType() const { return FSubType; }
  std::uint32_t drTime() const { return FTime; }
  std::uint32_t drData() const { return FData; }
  const std::uint8_t* drBuffer() const { return FBuffer.empty() ? nullptr : FBuffer.data(); }
  std::int32_t drMoreData() const { return FDataSize; }

 private:
  TDispatchType FType;
  TDispatchSubType FSubType;
  std::uint32_t FTime;
  std::uint32_t FData;
  std::vector<std::uint8_t> FBuffer;
};

// The queue owns what it holds; a buffer taken with Pop belongs to the caller. One producer
// and several consumers; Peek marks the head in use so one consumer works on it at a time.
class TIOQueue {
 public:
  TIOQueue() = default;
  ~TIOQueue();
  TIOQueue(const TIOQueue&) = delete;
  TIOQueue& operator=(const TIOQueue&) = delete;

  void Push(TIOBuffer* Buffer);  // takes ownership
  void Push(std::unique_ptr<TIOBuffer> Buffer) { Push(Buffer.release()); }
  TIOBuffer* Pop();   // the caller frees it; nullptr when empty
  TIOBuffer* Peek();  // marks the head in use; nullptr when empty or the head is in use
  void Clear();       // frees every buffer that is not in use
  TWaitResult WaitForBuffer(std::int32_t TimeoutMs);
  // Ends a WaitForBuffer now (or the next one) without a buffer: the waiter has more to look at.
  void Wake() { FEvent.SetEvent(); }
  // Waits for the next Push (or Wake) until Deadline, whatever is queued already.
  bool WaitForPush(std::chrono::steady_clock::time_point Deadline) { return FEvent.WaitUntil(Deadline); }
  std::int32_t BytesQueued();
  int Count();

 private:
  std::mutex FLock;
  TQpEvent FEvent{false, false};
  std::deque<TIOBuffer*> FList;
  std::int32_t FBytesQueued = 0;
};
