// udev's monitor of tty devices, read from the event loop through a QSocketNotifier.
#include <libudev.h>

#include <QSocketNotifier>

#include <cerrno>

#include "platform/device_watch.h"

namespace {

class TUdevWatch final : public TDeviceWatch {
 public:
  // One notifier for the watch's life, as for inotify: OnChange may stop or restart the watch
  // from inside the notifier's signal.
  TUdevWatch() : FNotifier(QSocketNotifier::Read) {
    FNotifier.setEnabled(false);
    QObject::connect(&FNotifier, &QSocketNotifier::activated, &FNotifier, [this] { Drain(); });
  }
  ~TUdevWatch() override { Stop(); }

  // Any tty added, removed or changed is worth a look: a returning adapter may come back under
  // another node than Path, and the caller knows it by its identity, not its name.
  bool Watch(const std::string&) override {
    Stop();
    FUdev = ::udev_new();
    if (FUdev) FMonitor = ::udev_monitor_new_from_netlink(FUdev, "udev");
    if (!FMonitor || ::udev_monitor_filter_add_match_subsystem_devtype(FMonitor, "tty", nullptr) < 0 ||
        ::udev_monitor_enable_receiving(FMonitor) < 0) {
      const int Err = errno ? errno : ENOSYS;
      Stop();
      errno = Err;
      return false;
    }
    FNotifier.setSocket(::udev_monitor_get_fd(FMonitor));  // non-blocking, close-on-exec
    FNotifier.setEnabled(true);
    return true;
  }

  void Stop() override {
    FNotifier.setEnabled(false);
    if (FMonitor) ::udev_monitor_unref(FMonitor);  // closes its socket
    if (FUdev) ::udev_unref(FUdev);
    FMonitor = nullptr;
    FUdev = nullptr;
  }

 private:
  void Drain() {
    if (!FMonitor) return;
    bool Seen = false;
    while (udev_device* Device = ::udev_monitor_receive_device(FMonitor)) {
      ::udev_device_unref(Device);
      Seen = true;
    }
    if (Seen && OnChange) OnChange();
  }

  udev* FUdev = nullptr;
  udev_monitor* FMonitor = nullptr;
  QSocketNotifier FNotifier;
};

}  // namespace

std::unique_ptr<TDeviceWatch> UdevDeviceWatch() { return std::make_unique<TUdevWatch>(); }
