#pragma once
// Watching for a device node to appear or change: the seam between the logic that waits for a
// lost serial device to come back and the system's notifications.
//
// A watch follows one device path (a node such as /dev/ttyUSB0, or a stable link such as
// /dev/serial/by-id/usb-…). It reports that something may have changed for that path: the node
// or the link was made, replaced, removed, or its permissions changed. It never says whether
// the device is there; the caller looks (the link may point at a node that is not there yet).
//
// Threads: GUI thread only. The system's watches (device_watch_linux.cpp: inotify on the
// folders involved; device_watch_udev.cpp: udev's monitor of tty devices) are read through a
// QSocketNotifier: no thread of their own and no polling; events arrive from the event loop.

#include <functional>
#include <memory>
#include <string>

class TDeviceWatch {
 public:
  virtual ~TDeviceWatch() = default;
  // Starts following Path (replacing what was followed); false when nothing can be watched
  // (the reason in errno). OnChange is called for each batch of events that concerns Path.
  virtual bool Watch(const std::string& Path) = 0;
  virtual void Stop() = 0;
  std::function<void()> OnChange;
};

// The system's watch. For a path under /dev (but a pseudo-terminal's) while udev runs: udev's
// monitor, which reports each tty device added, removed or changed once udev has set it up.
// Otherwise (no udev, as in a container; pseudo-terminals; links in other folders): inotify on
// the folder of the path, on the folder of the node a link points to, and on the nearest
// folder that exists when either is missing (/dev/serial/by-id goes away with the last adapter).
std::unique_ptr<TDeviceWatch> SystemDeviceWatch();
// Whether udev announces the device at Path (when it runs).
bool UseUdevFor(const std::string& Path);
// udev's monitor alone; Watch fails (errno set) when the monitor cannot start.
std::unique_ptr<TDeviceWatch> UdevDeviceWatch();
