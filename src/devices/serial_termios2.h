#pragma once
// The kernel's struct termios2 (line settings with any rate, for TCGETS2/TCSETS2), which
// glibc does not declare; the kernel's own <asm/termbits.h> clashes with glibc's <termios.h>,
// so the layout is written out here with the kernel's types (tcflag_t and speed_t are
// unsigned int, cc_t unsigned char on every Linux architecture). serial_termios2_check.cpp
// holds it against the target's kernel headers at compile time: a mismatch on any
// architecture fails the build rather than corrupting a port's settings.

struct TTermios2 {
  unsigned int c_iflag;
  unsigned int c_oflag;
  unsigned int c_cflag;
  unsigned int c_lflag;
  unsigned char c_line;
  unsigned char c_cc[19];
  unsigned int c_ispeed;
  unsigned int c_ospeed;
};

// The c_cflag rate bits meaning "the rate is in c_ispeed/c_ospeed", and the shift of the input
// rate bits; older C libraries do not define them.
inline constexpr unsigned int Termios2Bother = 0010000;
inline constexpr unsigned int Termios2IbShift = 16;
