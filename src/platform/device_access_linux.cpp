// The system's side of device_access.h: stat, the process's groups, the group database, /proc.
#include "device_access.h"

#include "platform/device_path.h"
#include "platform/translations.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QtGlobal>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {

// getgrgid_r / getpwuid_r with a buffer grown until the entry fits.
template <typename TEntry, typename TKey, typename TCall>
bool LookUp(TKey Key, TEntry& Entry, std::vector<char>& Buf, TCall Call) {
  Buf.resize(1024);
  for (;;) {
    TEntry* Result = nullptr;
    const int Rc = Call(Key, &Entry, Buf.data(), Buf.size(), &Result);
    if (Rc == ERANGE && Buf.size() < (1u << 20)) {
      Buf.resize(Buf.size() * 2);
      continue;
    }
    return Rc == 0 && Result;
  }
}

}  // namespace

TDeviceAccessFacts SystemDeviceAccessFacts() {
  TDeviceAccessFacts F;
  F.NodeGroup = [](const std::string& Path, unsigned& Gid) {
    struct stat St;
    if (::stat(Path.c_str(), &St) != 0) return false;
    Gid = St.st_gid;
    return true;
  };
  F.ProcessGroups = [] {
    std::vector<unsigned> Groups{unsigned(getegid())};
    const int N = getgroups(0, nullptr);
    if (N > 0) {
      std::vector<gid_t> List(static_cast<size_t>(N));
      const int Got = getgroups(N, List.data());
      for (int I = 0; I < Got; ++I) Groups.push_back(List[size_t(I)]);
    }
    return Groups;
  };
  F.GroupName = [](unsigned Gid) {
    group G;
    std::vector<char> Buf;
    return LookUp(gid_t(Gid), G, Buf, getgrgid_r) ? std::string(G.gr_name) : std::string();
  };
  F.ListedInGroup = [](unsigned Gid) {
    passwd P;
    std::vector<char> PBuf;
    if (!LookUp(geteuid(), P, PBuf, getpwuid_r)) return false;
    if (P.pw_gid == Gid) return true;
    group G;
    std::vector<char> GBuf;
    if (!LookUp(gid_t(Gid), G, GBuf, getgrgid_r)) return false;
    for (char** M = G.gr_mem; M && *M; ++M)
      if (std::strcmp(*M, P.pw_name) == 0) return true;
    return false;
  };
  F.Holders = [](const std::string& Path) { return FindDeviceHolders("/proc", Path, int(getpid())); };
  return F;
}

namespace {

// A character device of the terminal kind: a pseudo-terminal, or one whose class in sysfs is
// tty (serial ports, USB adapters, consoles).
bool TerminalDevice(const struct stat& St) {
  const unsigned Major = major(St.st_rdev), Minor = minor(St.st_rdev);
  if (PseudoTerminalMajor(Major)) return true;
  std::error_code Ec;
  const auto Class = std::filesystem::read_symlink(
      "/sys/dev/char/" + std::to_string(Major) + ":" + std::to_string(Minor) + "/subsystem", Ec);
  return !Ec && Class.filename() == "tty";
}

}  // namespace

std::string DescribeUnusableDevice(const std::string& Path) {
  const auto Say = [&](const char* Text) { return Filled(TrText("Devices", Text), {Path}); };
  struct stat Link {}, St {};
  if (::lstat(Path.c_str(), &Link) != 0) return Say(QT_TRANSLATE_NOOP("Devices", "%1 is not there"));
  if (::stat(Path.c_str(), &St) != 0) {
    std::error_code Ec;
    const auto Target = std::filesystem::read_symlink(Path, Ec);
    if (Ec) return Say(QT_TRANSLATE_NOOP("Devices", "%1 leads to a path, which is not there"));
    //: %1 is a link, %2 the path it leads to.
    return Filled(TrText("Devices", "%1 leads to %2, which is not there"), {Path, Target.string()});
  }
  if (S_ISREG(St.st_mode)) return Say(QT_TRANSLATE_NOOP("Devices", "%1 is not a serial device (a regular file)"));
  if (S_ISDIR(St.st_mode)) return Say(QT_TRANSLATE_NOOP("Devices", "%1 is not a serial device (a folder)"));
  if (S_ISFIFO(St.st_mode)) return Say(QT_TRANSLATE_NOOP("Devices", "%1 is not a serial device (a named pipe)"));
  if (S_ISSOCK(St.st_mode)) return Say(QT_TRANSLATE_NOOP("Devices", "%1 is not a serial device (a socket)"));
  if (S_ISBLK(St.st_mode)) return Say(QT_TRANSLATE_NOOP("Devices", "%1 is not a serial device (a block device)"));
  if (!S_ISCHR(St.st_mode) || !TerminalDevice(St)) return Say(QT_TRANSLATE_NOOP("Devices", "%1 is not a serial device"));
  return Say(QT_TRANSLATE_NOOP("Devices", "%1 is a terminal that is not ready yet"));
}
