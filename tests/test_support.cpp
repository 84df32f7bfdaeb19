#include "test_support.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/messages.h"

bool WaitFor(const std::function<bool()>& Done, int TimeoutMs) {
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  while (!Done()) {
    if (std::chrono::steady_clock::now() >= Deadline) return Done();
    PumpSentMessages();
    // Runs the loop for a short slice: events are handled as they come, nothing spins.
    QEventLoop Slice;
    QTimer::singleShot(2, &Slice, &QEventLoop::quit);
    Slice.exec();
  }
  return true;
}

TempDir::TempDir() {
  std::string Pattern = (std::filesystem::temp_directory_path() / "quill-test-XXXXXX").string();
  if (!mkdtemp(Pattern.data())) std::abort();
  FPath = Pattern;
}

TempDir::~TempDir() {
  std::error_code Ec;
  std::filesystem::permissions(FPath, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, Ec);
  std::filesystem::remove_all(FPath, Ec);
}

std::string ReadFile(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  std::stringstream S;
  S << In.rdbuf();
  return S.str();
}

void WriteFile(const std::string& Path, const std::string& Text) {
  std::ofstream Out(Path, std::ios::binary);
  Out << Text;
}

std::string ScreenshotPath(const std::string& Name) {
  // Under the build tree, so parallel runs and other users never share a file.
  const char* Bin = std::getenv("QUILL_BIN_DIR");
  const std::filesystem::path Dir =
      std::filesystem::path(Bin && *Bin ? Bin : std::filesystem::temp_directory_path().string()) / ".." / "screenshots";
  std::error_code Ec;
  std::filesystem::create_directories(Dir, Ec);
  return (Dir / Name).lexically_normal().string();
}

namespace {
namespace tfs = std::filesystem;
void ReplaceLink(const tfs::path& Target, const tfs::path& Link) {
  std::error_code Ec;
  tfs::remove(Link, Ec);
  tfs::create_directories(Link.parent_path());
  tfs::create_directory_symlink(Target, Link);
}
}  // namespace

FakeSerialTree::FakeSerialTree() : Sys(Dir.File("sys")), Dev(Dir.File("dev")) {
  tfs::create_directories(Sys + "/class/tty");
  tfs::create_directories(Dev);
}

void FakeSerialTree::AddUsbTty(const std::string& Tty, const std::string& UsbPort, const std::string& Driver,
                               const TUsb& Usb) {
  const tfs::path UsbDev = tfs::path(Sys) / "devices/pci0000:00/0000:00:14.0/usb1" / UsbPort;
  tfs::create_directories(UsbDev);
  const std::pair<const char*, const std::string*> Files[] = {{"idVendor", &Usb.VendorId},
                                                              {"idProduct", &Usb.ProductId},
                                                              {"manufacturer", &Usb.Manufacturer},
                                                              {"product", &Usb.Product},
                                                              {"serial", &Usb.Serial}};
  for (const auto& [Name, Value] : Files)
    if (!Value->empty()) WriteFile((UsbDev / Name).string(), *Value + "\n");
  const tfs::path Interface = UsbDev / (UsbPort + ":1.0");
  const bool Acm = Tty.rfind("ttyACM", 0) == 0;
  const tfs::path Device = Acm ? Interface : Interface / Tty;
  tfs::create_directories(Device / "tty" / Tty);
  const tfs::path DriverDir = tfs::path(Sys) / "bus" / (Acm ? "usb" : "usb-serial") / "drivers" / Driver;
  tfs::create_directories(DriverDir);
  ReplaceLink(DriverDir, Device / "driver");
  tfs::create_directories(tfs::path(Sys) / "class/tty" / Tty);
  ReplaceLink(Device, tfs::path(Sys) / "class/tty" / Tty / "device");
  WriteFile(Node(Tty), "");
}

void FakeSerialTree::AddPlatformTty(const std::string& Tty, const std::string& Device, const std::string& Driver,
                                    bool SerialBase) {
  tfs::path D = tfs::path(Sys) / "devices/platform" / Device;
  tfs::create_directories(D);
  const tfs::path DriverDir = tfs::path(Sys) / "bus/platform/drivers" / Driver;
  tfs::create_directories(DriverDir);
  ReplaceLink(DriverDir, D / "driver");
  if (SerialBase) {
    for (const char* Core : {"ctrl", "port"}) {
      D /= D.filename().string() + ":0";
      tfs::create_directories(D);
      const tfs::path CoreDriver = tfs::path(Sys) / "bus/serial-base/drivers" / Core;
      tfs::create_directories(CoreDriver);
      ReplaceLink(CoreDriver, D / "driver");
    }
  }
  tfs::create_directories(D / "tty" / Tty);
  tfs::create_directories(tfs::path(Sys) / "class/tty" / Tty);
  ReplaceLink(D, tfs::path(Sys) / "class/tty" / Tty / "device");
  WriteFile(tfs::path(Sys + "/class/tty/" + Tty + "/type").string(), "4\n");
  WriteFile(Node(Tty), "");
}

void FakeSerialTree::LinkById(const std::string& Name, const std::string& Tty) {
  const tfs::path Link = tfs::path(Dev) / "serial/by-id" / Name;
  std::error_code Ec;
  tfs::remove(Link, Ec);
  tfs::create_directories(Link.parent_path());
  tfs::create_symlink(tfs::path("../..") / Tty, Link);
}

void FakeSerialTree::Unplug(const std::string& Tty) {
  std::error_code Ec;
  tfs::remove_all(tfs::path(Sys) / "class/tty" / Tty, Ec);
  tfs::remove(Node(Tty), Ec);
}
