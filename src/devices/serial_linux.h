#pragma once
// The operating system's side of the serial device layer, on Linux terminal devices: exclusive
// opening, line settings through termios (termios2 for rates without a B constant), queue
// counts, purges, and wake-ups for worker threads. The modem-line ioctls sit behind
// TSerialLines so tests can script lines that pseudo-terminals do not have.
//
// Every call returns a non-negative value on success and -errno on failure. Thread rules: the
// functions keep no state; a TSerialLines is shared by the threads of one port and must be
// callable from any of them.

#include <cstdint>
#include <memory>
#include <string>

#include "port/line_control.h"

// Interrupt counters of a UART (TIOCGICOUNT); only differences between two readings matter.
struct TSerialCounts {
  std::uint32_t Cts = 0, Dsr = 0, Ring = 0, Dcd = 0;
  std::uint32_t Frame = 0, Overrun = 0, Parity = 0, Break = 0, BufOverrun = 0;
};

// Modem-line bits as TIOCMGET reports them (the kernel's TIOCM_* values).
constexpr int lnDtr = 0x002, lnRts = 0x004, lnCts = 0x020, lnDcd = 0x040, lnRing = 0x080,
              lnDsr = 0x100;

class TSerialLines {
 public:
  virtual ~TSerialLines() = default;
  // The line bits; -ENOTTY (or -EINVAL) when the device has no modem lines.
  virtual int GetLines(int Fd);
  // Raises (On) or lowers the DTR/RTS bits in Bits.
  virtual int ChangeLines(int Fd, int Bits, bool On);
  // The interrupt counters; -ENOTTY/-EINVAL when the driver keeps none.
  virtual int GetCounts(int Fd, TSerialCounts& Counts);
  virtual int SetBreak(int Fd, bool On);
};
std::shared_ptr<TSerialLines> SystemSerialLines();

// True for the errors that mean "this device has no such line or counter".
bool NoSuchLine(int Result);

// Opens a terminal device for reading and writing, non-blocking, never as controlling
// terminal, exclusive against other opens (flock, then TIOCEXCL). Errors are folded into the
// few the port tells apart: -EBUSY (held elsewhere), -ENOENT (no such device, or not a
// terminal), -EACCES (no permission); others pass through.
int SerialOpen(const std::string& Path);
// Gives up exclusivity and closes.
int SerialClose(int Fd);

// Line settings: the DCB's rate, size, parity, stop bits and flow control onto termios, raw,
// with reads returning as soon as one byte is there. A rate of 0 is refused (-EINVAL): on a
// terminal it would mean "hang up".
int SerialApplyDcb(int Fd, const TDCB& Dcb);
// Reads the device's settings into Dcb's rate, size, parity, stop bits and flow bits.
int SerialReadDcb(int Fd, TDCB& Dcb);

int SerialOutQueue(int Fd);  // bytes the driver still holds for sending (0 when unknown)
int SerialInQueue(int Fd);   // bytes the driver holds received
// Queue 0: discard unsent output; 1: discard received input.
int SerialPurge(int Fd, int Queue);
// Suspends (true) or resumes output as if XOFF/XON had been received.
int SerialSuspendOutput(int Fd, bool Suspend);

// Non-blocking read and write: the count, 0 for end of file, -EAGAIN when nothing can move.
long SerialRead(int Fd, void* Buf, unsigned long Size);
long SerialWrite(int Fd, const void* Buf, unsigned long Size);

// A wake-up object for threads that wait in SerialWait: stays signalled until Consume.
class TSerialWake {
 public:
  TSerialWake();
  ~TSerialWake();
  TSerialWake(const TSerialWake&) = delete;
  TSerialWake& operator=(const TSerialWake&) = delete;
  bool Valid() const { return FFd >= 0; }
  void Signal();
  void Consume();
  int Fd() const { return FFd; }

 private:
  int FFd = -1;
};

// Waits until the device is readable (Events 1), writable (2) or has hung up, or Wake is
// signalled, or TimeoutMs passes (-1: no bound). Fd < 0 waits for Wake alone. Result bits:
// 1 readable, 2 writable, 4 hung up or failed, 8 woken, 16 device descriptor invalid; 0 on
// time-out; -errno when the wait itself failed. Interrupted waits are retried.
enum : int { swReadable = 1, swWritable = 2, swHangUp = 4, swWoken = 8, swInvalid = 16 };
int SerialWait(int Fd, int Events, const TSerialWake& Wake, int TimeoutMs);
