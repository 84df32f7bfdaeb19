#pragma once
// What a serial port's device path is, as far as telling "the same device again" goes: whether
// the path itself is a symbolic link (and which one: a link made again is another inode, or
// at least another change time), and whether it leads to a pseudo-terminal, whose number the
// system hands to the next terminal any program opens and so says nothing about the device.
//
// Threads: any; no state.

#include <cstdint>
#include <string>

struct TDevicePathFacts {
  bool Link = false;            // the path itself is a symbolic link
  std::uint64_t LinkDevice = 0;  // the link's own identity (lstat), when Link
  std::uint64_t LinkInode = 0;
  std::int64_t LinkChangeNs = 0;
  bool PseudoTerminal = false;  // it leads (now, or by its name) to a pseudo-terminal

  // The same link as before: not made again since.
  bool SameLinkAs(const TDevicePathFacts& O) const {
    return Link && O.Link && LinkDevice == O.LinkDevice && LinkInode == O.LinkInode &&
           LinkChangeNs == O.LinkChangeNs;
  }
};

// A character device number of a Unix 98 pseudo-terminal's terminal side (majors 136-143).
bool PseudoTerminalMajor(unsigned Major);

// Looks at Path now. A path that leads nowhere is a pseudo-terminal when its name is one
// (/dev/pts/N), so a bare number is known for what it is after its terminal has gone.
TDevicePathFacts LookAtDevicePath(const std::string& Path);
