// The system's device watch: udev's monitor for device nodes when udev runs, inotify on the
// folders otherwise; either read from the event loop through a QSocketNotifier.
#include "platform/device_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <QSocketNotifier>

#include <cerrno>
#include <filesystem>
#include <map>
#include <set>

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t FolderEvents = IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM |
                                       IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;

// The folder that holds Path, or the nearest one above it that exists.
std::string ExistingFolder(const fs::path& Path) {
  std::error_code Ec;
  for (fs::path F = Path.parent_path(); !F.empty(); F = F.parent_path()) {
    if (fs::is_directory(F, Ec)) return F.string();
    if (F == F.root_path()) break;
  }
  return "/";
}

class TInotifyWatch final : public TDeviceWatch {
 public:
  // One notifier for the watch's life: OnChange may stop or restart the watch from inside the
  // notifier's own signal, where deleting the notifier would not be safe.
  TInotifyWatch() : FNotifier(QSocketNotifier::Read) {
    FNotifier.setEnabled(false);
    QObject::connect(&FNotifier, &QSocketNotifier::activated, &FNotifier, [this] { Drain(); });
  }
  ~TInotifyWatch() override { Stop(); }

  bool Watch(const std::string& Path) override {
    Stop();
    FFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (FFd < 0) return false;
    FPath = Path;
    if (!Rewatch()) {
      const int Err = errno;
      Stop();
      errno = Err;
      return false;
    }
    FNotifier.setSocket(FFd);
    FNotifier.setEnabled(true);
    return true;
  }

  void Stop() override {
    FNotifier.setEnabled(false);
    if (FFd >= 0) ::close(FFd);  // removes every watch with it
    FFd = -1;
    FWatched.clear();
  }

 private:
  // The folders that decide whether Path leads to a node: its own, and the target's when it
  // is a link (read one level: udev's links point straight at the node).
  std::set<std::string> Folders() const {
    std::set<std::string> Result{ExistingFolder(FPath)};
    std::error_code Ec;
    if (fs::is_symlink(FPath, Ec)) {
      fs::path Target = fs::read_symlink(FPath, Ec);
      if (!Ec) {
        if (Target.is_relative()) Target = fs::path(FPath).parent_path() / Target;
        Result.insert(ExistingFolder(Target.lexically_normal()));
      }
    }
    return Result;
  }

  bool Rewatch() {
    const std::set<std::string> Want = Folders();
    for (auto It = FWatched.begin(); It != FWatched.end();) {
      if (Want.count(It->first)) {
        ++It;
        continue;
      }
      ::inotify_rm_watch(FFd, It->second);
      It = FWatched.erase(It);
    }
    bool Any = false;
    for (const std::string& Folder : Want) {
      const int Wd = ::inotify_add_watch(FFd, Folder.c_str(), FolderEvents);
      if (Wd >= 0) {
        FWatched[Folder] = Wd;
        Any = true;
      }
    }
    return Any;
  }

  void Drain() {
    if (FFd < 0) return;
    alignas(inotify_event) char Buf[4096];
    bool Seen = false;
    for (;;) {
      const ssize_t N = ::read(FFd, Buf, sizeof Buf);
      if (N > 0) {
        Seen = true;
        continue;
      }
      if (N < 0 && errno == EINTR) continue;
      break;  // EAGAIN: all read
    }
    if (!Seen) return;
    // A folder made or removed, or a link pointed elsewhere, changes what must be watched.
    Rewatch();
    if (OnChange) OnChange();
  }

  std::string FPath;
  int FFd = -1;
  std::map<std::string, int> FWatched;
  QSocketNotifier FNotifier;
};

// Picks the backend for each path: udev's word for the kernel's own ttys when udev runs, since
// it comes after the node's group and permissions and the by-id links are in place (inotify
// sees the node before that, and an open then would fail with "Permission denied" once);
// inotify for everything udev never announces (pseudo-terminals, links in folders of the
// user's) and wherever no udev runs (containers).
class TSystemWatch final : public TDeviceWatch {
 public:
  bool Watch(const std::string& Path) override {
    Stop();
    if (UdevRunning() && UseUdevFor(Path) && Backend(FUdev, true).Watch(Path)) return true;
    // A monitor that cannot start (no netlink socket here) leaves the folders to watch.
    return Backend(FInotify, false).Watch(Path);
  }

  void Stop() override {
    // Backends are kept: Stop may run from inside a backend's own notification.
    if (FUdev) FUdev->Stop();
    if (FInotify) FInotify->Stop();
  }

 private:
  static bool UdevRunning() { return ::access("/run/udev/control", F_OK) == 0; }
  TDeviceWatch& Backend(std::unique_ptr<TDeviceWatch>& B, bool Udev) {
    if (!B) {
      B = Udev ? UdevDeviceWatch() : std::make_unique<TInotifyWatch>();
      B->OnChange = [this] {
        if (OnChange) OnChange();
      };
    }
    return *B;
  }

  std::unique_ptr<TDeviceWatch> FUdev;
  std::unique_ptr<TDeviceWatch> FInotify;
};

}  // namespace

bool UseUdevFor(const std::string& Path) {
  return Path.rfind("/dev/", 0) == 0 && Path.rfind("/dev/pts/", 0) != 0;
}

std::unique_ptr<TDeviceWatch> SystemDeviceWatch() { return std::make_unique<TSystemWatch>(); }
