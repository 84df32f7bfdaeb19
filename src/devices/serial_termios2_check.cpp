// Compile-time check of serial_termios2.h against the target's kernel headers. Apart from
// serial_linux.cpp because <asm/termbits.h> cannot share a file with glibc's <termios.h>.

#include <asm/ioctls.h>
#include <asm/termbits.h>

#include <cstddef>

#include "devices/serial_termios2.h"

#define QUILL_SAME_FIELD(F)                                                  \
  static_assert(offsetof(TTermios2, F) == offsetof(struct termios2, F) &&   \
                    sizeof(TTermios2::F) == sizeof(termios2::F),            \
                "termios2." #F " differs from the kernel's")

static_assert(sizeof(TTermios2) == sizeof(struct termios2), "termios2 size differs from the kernel's");
static_assert(alignof(TTermios2) == alignof(struct termios2), "termios2 alignment differs from the kernel's");
QUILL_SAME_FIELD(c_iflag);
QUILL_SAME_FIELD(c_oflag);
QUILL_SAME_FIELD(c_cflag);
QUILL_SAME_FIELD(c_lflag);
QUILL_SAME_FIELD(c_line);
QUILL_SAME_FIELD(c_cc);
QUILL_SAME_FIELD(c_ispeed);
QUILL_SAME_FIELD(c_ospeed);
static_assert(sizeof(TTermios2::c_cc) == NCCS, "termios2.c_cc differs from the kernel's");
static_assert(Termios2Bother == BOTHER && Termios2IbShift == IBSHIFT, "rate bits differ from the kernel's");

// The ioctl numbers encode the structure's size. serial_linux.cpp names its structure
// `struct termios2` for the C library's TCGETS2/TCSETS2; expanded here in a scope where that
// name is ours, they must give the kernel's numbers.
namespace ours {
struct termios2 : TTermios2 {};
inline constexpr unsigned long Get = TCGETS2, Set = TCSETS2;
}  // namespace ours
static_assert(ours::Get == TCGETS2 && ours::Set == TCSETS2, "TCGETS2/TCSETS2 differ from the kernel's");
