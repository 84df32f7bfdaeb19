#pragma once
// Helpers shared by the tests: waiting on a condition while the loop runs, temporary folders.

#include <functional>
#include <string>

// Runs the GUI loop until Done() is true or the deadline passes; returns Done().
bool WaitFor(const std::function<bool()>& Done, int TimeoutMs = 10000);

// A fresh folder removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return FPath; }
  std::string File(const std::string& Name) const { return FPath + "/" + Name; }

 private:
  std::string FPath;
};

std::string ReadFile(const std::string& Path);
void WriteFile(const std::string& Path, const std::string& Text);

// Where a test saves a picture of what it drew: the build tree's screenshots folder.
std::string ScreenshotPath(const std::string& Name);

// A fake sysfs and /dev for serial ports in a temporary folder, laid out as the kernel does:
// /sys/class/tty/<tty>/device leads into /sys/devices, a USB adapter's tty sits below its
// interface (a usb-serial one below a port device too) under the USB device with its
// idVendor, product, ... files, and each device's driver is a link into /sys/bus.
struct FakeSerialTree {
  struct TUsb {
    std::string VendorId, ProductId, Manufacturer, Product, Serial;  // empty: no such file
  };
  FakeSerialTree();
  // A USB tty: UsbPort names the USB device ("1-1"); Driver is the tty's device's driver
  // (ftdi_sio, cdc_acm, ...). ttyACM ttys hang off the interface, the others off a port device.
  void AddUsbTty(const std::string& Tty, const std::string& UsbPort, const std::string& Driver, const TUsb& Usb);
  // A tty on a platform device (serial8250 for a built-in 16550 port). With SerialBase, as
  // since Linux 6.5, the tty hangs off the serial core's "ctrl" and "port" devices below it.
  void AddPlatformTty(const std::string& Tty, const std::string& Device, const std::string& Driver,
                      bool SerialBase = false);
  // /dev/serial/by-id/<Name> -> ../../<Tty>, replacing an older link of that name.
  void LinkById(const std::string& Name, const std::string& Tty);
  // The tty's class entry and node go, as when the adapter is pulled out.
  void Unplug(const std::string& Tty);
  std::string Node(const std::string& Tty) const { return Dev + "/" + Tty; }

  TempDir Dir;
  std::string Sys, Dev;
};
