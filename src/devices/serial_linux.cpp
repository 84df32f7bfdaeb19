#include "devices/serial_linux.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <linux/serial.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "devices/serial_termios2.h"

// Named as the kernel names it: <sys/ioctl.h>'s TCGETS2/TCSETS2 take `struct termios2`'s size.
struct termios2 : TTermios2 {};
static_assert(sizeof(termios2) == sizeof(TTermios2));
#ifndef BOTHER
#define BOTHER Termios2Bother
#endif
#ifndef IBSHIFT
#define IBSHIFT Termios2IbShift
#endif

// TIOCMGET's bits as serial_linux.h gives them.
static_assert(lnDtr == TIOCM_DTR && lnRts == TIOCM_RTS && lnCts == TIOCM_CTS && lnDcd == TIOCM_CAR &&
              lnRing == TIOCM_RNG && lnDsr == TIOCM_DSR);

namespace {

int Fail() { return errno > 0 ? -errno : -EIO; }

struct TSpeed {
  std::uint32_t Rate;
  speed_t Code;
};
constexpr TSpeed Speeds[] = {
    {50, B50},         {75, B75},         {110, B110},         {134, B134},
    {150, B150},       {200, B200},       {300, B300},         {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},       {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},     {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800},   {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000}};

bool StandardSpeed(std::uint32_t Rate, speed_t& Code) {
  for (const auto& S : Speeds)
    if (S.Rate == Rate) {
      Code = S.Code;
      return true;
    }
  return false;
}

std::uint32_t RateOf(speed_t Code) {
  for (const auto& S : Speeds)
    if (S.Code == Code) return S.Rate;
  return 0;
}

}  // namespace

// ---------------------------------------------------------------- modem lines

int TSerialLines::GetLines(int Fd) {
  int Bits = 0;
  return ::ioctl(Fd, TIOCMGET, &Bits) == 0 ? Bits : Fail();
}

int TSerialLines::ChangeLines(int Fd, int Bits, bool On) {
  return ::ioctl(Fd, On ? TIOCMBIS : TIOCMBIC, &Bits) == 0 ? 0 : Fail();
}

int TSerialLines::GetCounts(int Fd, TSerialCounts& Counts) {
  serial_icounter_struct C{};
  if (::ioctl(Fd, TIOCGICOUNT, &C) != 0) return Fail();
  Counts.Cts = std::uint32_t(C.cts);
  Counts.Dsr = std::uint32_t(C.dsr);
  Counts.Ring = std::uint32_t(C.rng);
  Counts.Dcd = std::uint32_t(C.dcd);
  Counts.Frame = std::uint32_t(C.frame);
  Counts.Overrun = std::uint32_t(C.overrun);
  Counts.Parity = std::uint32_t(C.parity);
  Counts.Break = std::uint32_t(C.brk);
  Counts.BufOverrun = std::uint32_t(C.buf_overrun);
  return 0;
}

int TSerialLines::SetBreak(int Fd, bool On) {
  return ::ioctl(Fd, On ? TIOCSBRK : TIOCCBRK) == 0 ? 0 : Fail();
}

std::shared_ptr<TSerialLines> SystemSerialLines() {
  static const auto Lines = std::make_shared<TSerialLines>();
  return Lines;
}

bool NoSuchLine(int Result) { return Result == -ENOTTY || Result == -EINVAL; }

// ---------------------------------------------------------------- open and close

int SerialOpen(const std::string& Path) {
  const int Fd = ::open(Path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (Fd < 0) {
    const int E = errno;
    if (E == EBUSY || E == EWOULDBLOCK) return -EBUSY;
    if (E == ENOENT || E == ENODEV || E == ENXIO || E == EIO || E == ENOTDIR) return -ENOENT;
    return -E;
  }
  if (!::isatty(Fd)) {
    ::close(Fd);
    return -ENOENT;
  }
  // flock stops every other open, root's included; TIOCEXCL stops unprivileged opens that do
  // not take the lock.
  if (::flock(Fd, LOCK_EX | LOCK_NB) != 0) {
    const int E = errno;
    ::close(Fd);
    return E == EWOULDBLOCK || E == EINTR ? -EBUSY : -E;
  }
  ::ioctl(Fd, TIOCEXCL);
  return Fd;
}

int SerialClose(int Fd) {
  if (Fd < 0) return -EBADF;
  ::ioctl(Fd, TIOCNXCL);  // on a pseudo-terminal the flag outlives the descriptor otherwise
  ::flock(Fd, LOCK_UN);
  return ::close(Fd) == 0 ? 0 : Fail();
}

// ---------------------------------------------------------------- line settings

// Through termios2 throughout: the C library's tcsetattr fails a pseudo-terminal that drops
// parity (after applying everything else), and only termios2 carries any rate.
int SerialApplyDcb(int Fd, const TDCB& Dcb) {
  if (Dcb.BaudRate == 0) return -EINVAL;
  termios2 T{};
  if (::ioctl(Fd, TCGETS2, &T) != 0) return Fail();
  // Raw: no line editing, echo, signals, translation or output processing.
  T.c_iflag &= ~tcflag_t(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
  T.c_oflag &= ~tcflag_t(OPOST);
  T.c_lflag &= ~tcflag_t(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  T.c_cflag &= ~tcflag_t(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
  T.c_cflag |= CLOCAL | CREAD;
  switch (Dcb.ByteSize) {
    case 5: T.c_cflag |= CS5; break;
    case 6: T.c_cflag |= CS6; break;
    case 7: T.c_cflag |= CS7; break;
    case 8: T.c_cflag |= CS8; break;
    default: return -EINVAL;
  }
  switch (Dcb.Parity) {
    case 0: break;
    case 1: T.c_cflag |= PARENB | PARODD; break;
    case 2: T.c_cflag |= PARENB; break;
    case 3: T.c_cflag |= PARENB | PARODD | CMSPAR; break;  // mark
    case 4: T.c_cflag |= PARENB | CMSPAR; break;           // space
    default: return -EINVAL;
  }
  if (Dcb.Flags & dcb_Parity) T.c_iflag |= INPCK;
  if (Dcb.StopBits != ONESTOPBIT) T.c_cflag |= CSTOPB;  // 1.5 with five data bits, else 2
  if ((Dcb.Flags & dcb_OutxCtsFlow) || (Dcb.Flags & dcb_RTSMask) == dcb_RTSBit2) T.c_cflag |= CRTSCTS;
  if (Dcb.Flags & dcb_OutX) T.c_iflag |= IXON;
  if (Dcb.Flags & dcb_InX) T.c_iflag |= IXOFF;
  T.c_cc[VSTART] = cc_t(Dcb.XonChar);
  T.c_cc[VSTOP] = cc_t(Dcb.XoffChar);
  T.c_cc[VMIN] = 1;  // with O_NONBLOCK an empty read is EAGAIN, never 0 (0 is a hang-up)
  T.c_cc[VTIME] = 0;
  // The input rate follows the output rate (no separate input bits).
  speed_t Code;
  T.c_cflag |= StandardSpeed(Dcb.BaudRate, Code) ? Code : BOTHER;
  T.c_ispeed = T.c_ospeed = Dcb.BaudRate;
  return ::ioctl(Fd, TCSETS2, &T) == 0 ? 0 : Fail();
}

int SerialReadDcb(int Fd, TDCB& Dcb) {
  termios2 T{};
  if (::ioctl(Fd, TCGETS2, &T) != 0) return Fail();
  const speed_t Bits = T.c_cflag & CBAUD;
  const std::uint32_t Rate = Bits == BOTHER ? T.c_ospeed : RateOf(Bits);
  if (Rate != 0) Dcb.BaudRate = Rate;
  switch (T.c_cflag & CSIZE) {
    case CS5: Dcb.ByteSize = 5; break;
    case CS6: Dcb.ByteSize = 6; break;
    case CS7: Dcb.ByteSize = 7; break;
    default: Dcb.ByteSize = 8; break;
  }
  if (!(T.c_cflag & PARENB))
    Dcb.Parity = 0;
  else if (T.c_cflag & CMSPAR)
    Dcb.Parity = (T.c_cflag & PARODD) ? 3 : 4;
  else
    Dcb.Parity = (T.c_cflag & PARODD) ? 1 : 2;
  Dcb.StopBits = (T.c_cflag & CSTOPB) ? (Dcb.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS) : ONESTOPBIT;
  Dcb.Flags &= ~(dcb_OutxCtsFlow | dcb_OutX | dcb_InX | dcb_Parity);
  if (T.c_cflag & CRTSCTS) Dcb.Flags |= dcb_OutxCtsFlow;
  if (T.c_iflag & IXON) Dcb.Flags |= dcb_OutX;
  if (T.c_iflag & IXOFF) Dcb.Flags |= dcb_InX;
  if (T.c_iflag & INPCK) Dcb.Flags |= dcb_Parity;
  Dcb.XonChar = char(T.c_cc[VSTART]);
  Dcb.XoffChar = char(T.c_cc[VSTOP]);
  return 0;
}

// ---------------------------------------------------------------- queues and flow

int SerialOutQueue(int Fd) {
  int N = 0;
  return ::ioctl(Fd, TIOCOUTQ, &N) == 0 && N > 0 ? N : 0;
}

int SerialInQueue(int Fd) {
  int N = 0;
  return ::ioctl(Fd, FIONREAD, &N) == 0 && N > 0 ? N : 0;
}

int SerialPurge(int Fd, int Queue) { return ::tcflush(Fd, Queue == 0 ? TCOFLUSH : TCIFLUSH) == 0 ? 0 : Fail(); }

int SerialSuspendOutput(int Fd, bool Suspend) { return ::tcflow(Fd, Suspend ? TCOOFF : TCOON) == 0 ? 0 : Fail(); }

long SerialRead(int Fd, void* Buf, unsigned long Size) {
  for (;;) {
    const ssize_t N = ::read(Fd, Buf, Size);
    if (N >= 0) return long(N);
    if (errno == EINTR) continue;
    return errno == EWOULDBLOCK ? -EAGAIN : Fail();
  }
}

long SerialWrite(int Fd, const void* Buf, unsigned long Size) {
  for (;;) {
    const ssize_t N = ::write(Fd, Buf, Size);
    if (N >= 0) return long(N);
    if (errno == EINTR) continue;
    return errno == EWOULDBLOCK ? -EAGAIN : Fail();
  }
}

// ---------------------------------------------------------------- waiting

TSerialWake::TSerialWake() : FFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

TSerialWake::~TSerialWake() {
  if (FFd >= 0) ::close(FFd);
}

void TSerialWake::Signal() {
  const std::uint64_t One = 1;
  [[maybe_unused]] const auto N = ::write(FFd, &One, sizeof One);
}

void TSerialWake::Consume() {
  std::uint64_t Count;
  [[maybe_unused]] const auto N = ::read(FFd, &Count, sizeof Count);
}

int SerialWait(int Fd, int Events, const TSerialWake& Wake, int TimeoutMs) {
  pollfd P[2] = {{Wake.Fd(), POLLIN, 0}, {Fd, 0, 0}};
  if (Events & swReadable) P[1].events |= POLLIN;
  if (Events & swWritable) P[1].events |= POLLOUT;
  const nfds_t Count = Fd >= 0 ? 2 : 1;
  using Clock = std::chrono::steady_clock;
  const auto Deadline = Clock::now() + std::chrono::milliseconds(TimeoutMs < 0 ? 0 : TimeoutMs);
  int Left = TimeoutMs;
  for (;;) {
    const int R = ::poll(P, Count, Left);
    if (R > 0) break;
    if (R == 0) return 0;
    if (errno != EINTR) return Fail();
    // A signal handler of the program ran on this thread: wait for the rest of the time.
    if (TimeoutMs >= 0) {
      const auto Ms = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - Clock::now()).count();
      if (Ms <= 0) return 0;
      Left = int(Ms);
    }
  }
  int Result = 0;
  if (P[0].revents & POLLIN) Result |= swWoken;
  if (Count == 2) {
    const short R = P[1].revents;
    if (R & POLLIN) Result |= swReadable;
    if (R & POLLOUT) Result |= swWritable;
    if (R & (POLLHUP | POLLERR)) Result |= swHangUp;
    if (R & POLLNVAL) Result |= swInvalid;
  }
  return Result;
}
