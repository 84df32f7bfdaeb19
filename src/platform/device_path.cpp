#include "platform/device_path.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

bool PseudoTerminalMajor(unsigned Major) { return Major >= 136 && Major <= 143; }

TDevicePathFacts LookAtDevicePath(const std::string& Path) {
  TDevicePathFacts F;
  struct stat St {};
  if (::lstat(Path.c_str(), &St) == 0 && S_ISLNK(St.st_mode)) {
    F.Link = true;
    F.LinkDevice = St.st_dev;
    F.LinkInode = St.st_ino;
    F.LinkChangeNs = std::int64_t(St.st_ctim.tv_sec) * 1000000000 + St.st_ctim.tv_nsec;
  }
  if (::stat(Path.c_str(), &St) == 0)
    F.PseudoTerminal = S_ISCHR(St.st_mode) && PseudoTerminalMajor(major(St.st_rdev));
  else if (!F.Link)
    F.PseudoTerminal = Path.rfind("/dev/pts/", 0) == 0;
  return F;
}
