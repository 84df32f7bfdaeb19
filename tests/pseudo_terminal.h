#pragma once
// The master side of a pseudo-terminal, held by a test as the far end of a cable; Path names
// the slave, empty when none could be made. One thread at a time.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

struct TPtyMaster {
  // ExtraFlags: O_NONBLOCK for a master read and written without blocking. Locked: the slave
  // cannot be opened until Unlock, as for a moment after a program makes a terminal.
  explicit TPtyMaster(int ExtraFlags = 0, bool Locked = false) {
    Master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | ExtraFlags);
    if (Master >= 0 && grantpt(Master) == 0 && (Locked || Unlock()))
      if (const char* Name = ptsname(Master)) Path = Name;
  }
  bool Unlock() { return unlockpt(Master) == 0; }
  ~TPtyMaster() { Close(); }
  TPtyMaster(const TPtyMaster&) = delete;
  TPtyMaster& operator=(const TPtyMaster&) = delete;
  // The far end hangs up: the slave's holder sees the line drop.
  void Close() {
    if (Master >= 0) ::close(Master);
    Master = -1;
  }
  int Master = -1;
  std::string Path;
};
