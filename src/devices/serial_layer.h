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

  TSerialLayerOptions FOptions;
  std::shared_ptr<TSerialLines> FLines;
  std::atomic<int> FFd{-1};
  std::atomic<bool> FHasLines{false};
  std::atomic<bool> FFailed{false};  // a worker has failed (or the device hung up)
  // Wake-ups of the read, write and status threads; made at open, closed with the device.
  std::unique_ptr<TSerialWake> FReadWake, FWriteWake, FStatusWake;
  std::mutex FWakeLock;  // guards the wake-ups' lifetime against late signals
  // Output: the writer's current block (bytes not yet written) and flush handshakes.
  std::atomic<std::uint32_t> FBlockUnsent{0};
  std::atomic<std::uint64_t> FFlushRequest{0};
  std::uint64_t FFlushDone = 0;  // under FFlushLock
  std::mutex FFlushLock;
  std::condition_variable FFlushChanged;
  // Input: the read thread holds off above the high mark until the queue falls to half.
  std::uint32_t FQueueHigh = 256 * 1024;
  std::atomic<bool> FReadHeld{false};
  // Line errors (ce_ bits) gathered by the status thread for GetComError.
  std::atomic<std::uint32_t> FLineErrors{0};
  std::atomic<std::uint8_t> FModemBits{0};  // CTSMask... of the last poll
  TDCB FDcb;                                // settings in force (what was applied)
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
