#include "serial_port_info.h"

#include <filesystem>
#include <fstream>

#include <QCoreApplication>

#include "platform/text_util.h"
#include "platform/translations.h"

namespace fs = std::filesystem;

namespace {

std::string FirstLine(const fs::path& File) {
  std::ifstream In(File);
  std::string Line;
  std::getline(In, Line);
  return Trim(Line);
}

std::string Resolved(const std::string& Path) {
  std::error_code Ec;
  const auto C = fs::canonical(Path, Ec);
  return Ec ? Path : C.string();
}

bool StartsWith(const std::string& S, const std::string& Prefix) { return S.compare(0, Prefix.size(), Prefix) == 0; }

// The USB device above a tty's device: the first folder upwards with an idVendor file. A
// usb-serial port sits two levels below it (interface, port), an ACM tty one (interface).
fs::path UsbDeviceAbove(fs::path Dir, const fs::path& SysRoot) {
  std::error_code Ec;
  for (int Depth = 0; Depth < 4 && !Dir.empty() && Dir != SysRoot && Dir != Dir.root_path(); ++Depth) {
    if (fs::exists(Dir / "idVendor", Ec)) return Dir;
    Dir = Dir.parent_path();
  }
  return {};
}

}  // namespace

TSerialPortInfo DescribeSerialPort(const std::string& Path, const TSerialMapSources& Sources) {
  TSerialPortInfo I;
  I.Path = Path;
  I.Node = Resolved(Path);
  const std::string DevRoot = Resolved(Sources.DevRoot);
  I.PseudoTerminal = StartsWith(I.Node, DevRoot + "/pts/") || StartsWith(I.Node, "/dev/pts/");

  std::error_code Ec;
  const fs::path Tty = fs::path(Sources.SysRoot) / "class" / "tty" / fs::path(I.Node).filename();
  const fs::path Device = fs::canonical(Tty / "device", Ec);
  if (!I.PseudoTerminal && !Ec) {
    std::error_code E2;
    // Since Linux 6.5 a serial core tty hangs off "port" and "ctrl" devices of the serial-base
    // bus; the driver a person knows (serial8250, serial for a PNP port) is above them.
    fs::path Dir = Device;
    for (int Depth = 0; Depth < 3; ++Depth) {
      const fs::path Driver = fs::canonical(Dir / "driver", E2);
      if (E2) break;
      I.Driver = Driver.filename().string();
      if (Driver.parent_path().parent_path().filename() != "serial-base") break;
      I.Driver.clear();
      Dir = Dir.parent_path();
    }
    const fs::path Usb = UsbDeviceAbove(Device, fs::canonical(Sources.SysRoot, E2));
    if (!Usb.empty()) {
      I.Manufacturer = FirstLine(Usb / "manufacturer");
      I.Product = FirstLine(Usb / "product");
      I.Serial = FirstLine(Usb / "serial");
      I.VendorId = FirstLine(Usb / "idVendor");
      I.ProductId = FirstLine(Usb / "idProduct");
    }
  }

  // The USB line is the device's own words and numbers; only the stand-in name is ours.
  if (!I.VendorId.empty()) {
    std::string D = I.Product.empty() ? TrText("Devices", "USB serial adapter") : I.Product;
    if (!I.Serial.empty()) D += " (" + I.Serial + ")";
    D += ", ";
    if (!I.Manufacturer.empty()) D += I.Manufacturer + " ";
    D += I.VendorId + ":" + I.ProductId;
    if (!I.Driver.empty()) D += ", " + I.Driver;
    I.Description = D;
  } else if (I.PseudoTerminal) {
    I.Description = TrText("Devices", "pseudo-terminal");
  } else if (!I.Driver.empty()) {
    //: %1 is the kernel driver's name, such as serial8250.
    I.Description = QCoreApplication::translate("Devices", "%1 driver").arg(QString::fromStdString(I.Driver)).toStdString();
  } else {
    I.Description = TrText("Devices", "no driver known");
  }
  return I;
}

std::string SerialPortLine(const TSerialDeviceEntry& Entry, const TSerialMapSources& Sources) {
  return Entry.PortName + " \u2014 " + Entry.Path + " \u2014 " + DescribeSerialPort(Entry.Path, Sources).Description;
}

std::string SerialByIdLink(const std::string& Path, const TSerialMapSources& Sources) {
  const std::string Node = Resolved(Path);
  std::error_code Ec;
  const fs::path ById = fs::path(Sources.DevRoot) / "serial" / "by-id";
  for (fs::directory_iterator It(ById, Ec), End; !Ec && It != End; It.increment(Ec)) {
    std::error_code E2;
    if (!It->is_symlink(E2)) continue;
    if (Resolved(It->path().string()) == Node) return It->path().string();
  }
  return {};
}
