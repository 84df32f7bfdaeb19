#pragma once
// The serial device layer (DeviceLayer dlWin32): a terminal device moved by three worker
// threads of its own beside the dispatcher thread of the base.
//
// - Read thread: waits for the device (or its wake-up), reads until nothing is left, up to
//   4 KiB per queued TDataBuffer; holds off while the queue is long and the dispatcher is
//   behind (the kernel then buffers, and flow control pushes back).
// - Write thread: takes the whole output ring as one block and writes it, waiting for room in
//   the driver when the peer does not read; a flush abandons the block.
// - Status thread: every 100 ms reads the modem-line counters and queues a TStatusBuffer for
//   each change, in order with the data; devices without modem lines (pseudo-terminals, some
//   USB adapters) have nothing to poll, and the thread then only waits to be told to end.
// Waits never depend on closing a descriptor: each thread has a wake-up that close, flush
// and new output signal. Idle threads do not wake.
//
// A hang-up (cable or adapter gone, peer closed) ends all four threads; the first thread to
// fail reports its code once (read side ecDeviceRead, write side ecDeviceWrite) through the
// base's ThreadGone, shown on the GUI thread; from then on WriteCom accepts nothing, so the
// next write fails at once. Only a stop caused by our own CloseCom is silent.
//
// Threads: OpenCom, SetComState, EscapeComFunction, WriteCom, FlushCom, CloseCom run on the
// GUI thread (CloseCom also on the dispatcher thread when it closes after a failure);
// ReadCom and InQueueUsed on the dispatcher thread; GetComError, OutBufUsed and
// GetComModemStatus from any thread.
//
// Locks, in the order they are taken when one is held with another:
//   DispSection -> DataSection -> OutputSection (the base's) -> FDeviceLock -> FQueue's lock.
// For example PutBlock holds OutputSection while WriteCom takes FDeviceLock to wake the
// writer, and GetComError reads FQueue's size under FDeviceLock. Nothing is taken the other
// way round: never a dispatcher lock under FDeviceLock, never FDeviceLock under FQueue's lock.
// FFlushLock and FEndLock are leaves: nothing else is taken while either is held.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "devices/serial_linux.h"
#include "platform/serial_device_map.h"
#include "port/port_dispatch.h"

class TQpWin32Thread;

// OS facts a serial dispatcher uses; tests replace them.
struct TSerialLayerOptions {
  std::shared_ptr<TSerialLines> Lines;      // modem-line ioctls; the system's when empty
  std::optional<TSerialMapSources> MapSources;  // COM number -> device; the process's when empty
  std::uint32_t StatusPollMs = 100;          // modem-line polling period where lines exist
};

constexpr std::uint32_t IO_BUFFER_SIZE = 256;   // smallest queued data block
constexpr std::uint32_t SerialReadBlock = 4096;  // largest queued data block
constexpr std::uint32_t OutFlushWait = 5000;
constexpr std::uint32_t WorkerEndWait = 2000;    // per worker, at close

class TQpWin32Dispatcher : public TQpBaseDispatcher {
 public:
  explicit TQpWin32Dispatcher(TQpCustomComPort* Owner, TSerialLayerOptions Options = {});
  ~TQpWin32Dispatcher() override;

  // ---- the device-layer contract ----
  std::int32_t EscapeComFunction(std::int32_t Func) override;
  std::int32_t FlushCom(std::int32_t Queue) override;
  std::int32_t GetComError(TComStat& Stat) override;
  std::int32_t GetComEventMask(std::int32_t EvtMask) override;
  std::int32_t GetComState(TDCB& DCB) override;
  std::int32_t ReadCom(void* Buf, std::int32_t Size) override;
  std::int32_t SetComState(TDCB& DCB) override;
  std::int32_t WriteCom(const void* Buf, std::int32_t Size) override;
  bool SetupCom(std::int32_t InSize, std::int32_t OutSize) override;
  void StartDispatcher() override;
  void StopDispatcher() override;
  std::uint32_t OutBufUsed() override;
  std::uint32_t InQueueUsed() override;
  std::uint32_t InputFollowing() override;
  std::int32_t OpenCom(const char* ComName, std::uint32_t InQueue, std::uint32_t OutQueue) override;
  std::int32_t CloseCom() override;
  bool CheckPort(const std::string& ComName) override;
  std::int32_t ProcessCommunications() override;
  std::uint8_t GetComModemStatus() override;

  // Bytes accepted but not yet on the line: the ring, the writer's unsent block and what the
  // driver still holds.
  std::uint32_t OutputPending();
  // The device path COM number ComName resolves to ("" when none).
  std::string DevicePathFor(const std::string& ComName) const;
  // The device has modem lines (decided at open).
  bool HasModemLines() const { return FHasLines.load(); }
  int DeviceFd() const { return FFd.load(); }

 protected:
  // Adopts an open descriptor instead of opening by name (the adopting layer).
  std::int32_t AdoptDevice(int Fd);

 private:
  friend class TQpWin32Thread;
  friend class TReadThread;
  friend class TWriteThread;
  friend class TStatusThread;

  // Tells every worker to stop; records Code as Sender's result when it is the first.
  void StopWorkers(TQpWin32Thread* Sender, std::int32_t Code);
  void WakeWorkers();
  void WakeDispatchThread();
  bool WorkersGone();
  void WorkerEnded();
  void StartWorker(const std::shared_ptr<TQpDispatcherThread>& T);
  TSerialDeviceMap Map() const;

  // -- Set at construction, read-only afterwards.
  TSerialLayerOptions FOptions;
  std::shared_ptr<TSerialLines> FLines;

  // -- FDeviceLock: serialises every ioctl on the open descriptor (line settings, modem lines,
  // queue sizes, purges) against the close, and guards the wake-ups' lifetime so no signal
  // reaches a closed eventfd.
  std::mutex FDeviceLock;
  // Made at open, reset at close, both under FDeviceLock; a worker uses its own without the
  // lock while it runs (the close waits for the workers before it resets them).
  std::unique_ptr<TSerialWake> FReadWake, FWriteWake, FStatusWake;
  TDCB FDcb;  // the settings in force (what was applied); under FDeviceLock once open

  // -- Atomics, any thread.
  std::atomic<int> FFd{-1};  // set at open; taken (exchanged to -1) under FDeviceLock at close
  std::atomic<bool> FHasLines{false};  // decided at open
  std::atomic<bool> FFailed{false};    // a worker has failed (or the device hung up)
  // Output: the writer's current block (bytes not yet written) and the flush requests.
  std::atomic<std::uint32_t> FBlockUnsent{0};
  std::atomic<std::uint64_t> FFlushRequest{0};
  std::atomic<bool> FReadHeld{false};  // the read thread holds off (see FQueueHigh)
  std::atomic<bool> FReadFull{false};  // the last read was half a block or more: more is coming
  // Line errors (ce_ bits) gathered by the status thread for GetComError.
  std::atomic<std::uint32_t> FLineErrors{0};
  std::atomic<std::uint8_t> FModemBits{0};  // CTSMask... of the last poll

  // -- Set at open, before any worker starts; read-only while open.
  // The read thread holds off above this mark until the queue falls to half.
  std::uint32_t FQueueHigh = 256 * 1024;

  // -- FFlushLock (a leaf): the write thread's acknowledgement of a flush.
  std::mutex FFlushLock;
  std::uint64_t FFlushDone = 0;
  std::condition_variable FFlushChanged;

  // -- FEndLock (a leaf): a worker's end, for a close waiting off the GUI thread.
  std::mutex FEndLock;
  std::condition_variable FEndChanged;
};

// Adopts a descriptor opened elsewhere (InCid) instead of opening by name; never used by the
// program.
class TQpTAPI32Dispatcher : public TQpWin32Dispatcher {
 public:
  TQpTAPI32Dispatcher(TQpCustomComPort* Owner, int InCid, TSerialLayerOptions Options = {})
      : TQpWin32Dispatcher(Owner, std::move(Options)), FInCid(InCid) {}
  std::int32_t OpenCom(const char* ComName, std::uint32_t InQueue, std::uint32_t OutQueue) override;

 private:
  int FInCid;
};

// Makes dlWin32 open serial devices through this layer (call once at start-up).
void RegisterSerialLayer();
