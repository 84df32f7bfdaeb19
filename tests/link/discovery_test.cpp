#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "link/get_com_ports_u.h"
#include "platform/serial_device_map.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

using Strings = std::vector<std::string>;

// A fake sysfs and /dev in a temporary folder.
struct FakeSystem {
  TempDir Dir;
  std::string Sys = Dir.File("sys"), Dev = Dir.File("dev");
  FakeSystem() {
    fs::create_directories(Sys + "/class/tty");
    fs::create_directories(Dev);
  }
  // A tty the kernel knows; WithDevice: backed by hardware; WithNode: /dev entry present.
  void AddTty(const std::string& Name, bool WithDevice = true, bool WithNode = true,
              const char* Type = nullptr) {
    const std::string D = Sys + "/class/tty/" + Name;
    fs::create_directories(D);
    if (WithDevice) fs::create_directories(D + "/device");
    if (Type) WriteFile(D + "/type", std::string(Type) + "\n");
    if (WithNode) WriteFile(Dev + "/" + Name, "");
  }
  void Unplug(const std::string& Name) {
    fs::remove_all(Sys + "/class/tty/" + Name);
    fs::remove(Dev + "/" + Name);
  }
  TSerialMapSources Sources(std::string Env = {}, std::string Settings = {}) const {
    TSerialMapSources S;
    S.SysRoot = Sys;
    S.DevRoot = Dev;
    S.EnvironmentMap = std::move(Env);
    S.SettingsFile = std::move(Settings);
    return S;
  }
};

Strings Names(const std::vector<TSerialDeviceEntry>& Entries, bool ValueNames) {
  Strings R;
  for (const auto& E : Entries) R.push_back(ValueNames ? E.ValueName : E.PortName);
  return R;
}

}  // namespace

TEST(SerialDeviceMap, ConventionNumbers) {
  const std::vector<std::pair<std::string, int>> Cases = {
      {"ttyS0", 1},    {"ttyS3", 4},     {"ttyS31", 32},  {"ttyS32", 0},  {"ttyUSB0", 33},
      {"ttyUSB31", 64}, {"ttyACM0", 65}, {"ttyACM1", 66}, {"tty0", 0},    {"ttyUSB", 0},
      {"ttyUSBx", 0},  {"ttyS01", 0},    {"ttyAMA0", 0},  {"console", 0},
  };
  for (const auto& [Name, Number] : Cases) EXPECT_EQ(ConventionComNumber(Name), Number) << Name;
  for (const auto& [Text, Number] : std::vector<std::pair<std::string, int>>{
           {"COM1", 1}, {"com12", 12}, {"COM256", 256}, {"COM257", 0}, {"COM0", 0}, {"COM", 0}, {"COM1x", 0}})
    EXPECT_EQ(ParseComName(Text), Number) << Text;
}

TEST(SerialDeviceMap, ListsOnlySerialTtysThatReallyExist) {
  FakeSystem Sys;
  Sys.AddTty("ttyS0", true, true, "4");
  Sys.AddTty("ttyS1", true, false);           // no device node
  Sys.AddTty("ttyS2", false, true);           // not backed by a device
  Sys.AddTty("ttyS3", true, true, "0");       // an unused slot of the serial driver
  Sys.AddTty("ttyUSB0");
  Sys.AddTty("ttyACM2");
  Sys.AddTty("tty1", false, true);            // a virtual console
  Sys.AddTty("ttyAMA0");                      // no convention: only through the explicit map
  TSerialDeviceMap Map(Sys.Sources());
  const auto Entries = Map.Entries();
  EXPECT_EQ(Names(Entries, true), (Strings{"\\Device\\ttyS0", "\\Device\\ttyUSB0", "\\Device\\ttyACM2"}));
  EXPECT_EQ(Names(Entries, false), (Strings{"COM1", "COM33", "COM67"}));
  EXPECT_EQ(Entries[1].Path, Sys.Dev + "/ttyUSB0");

  EXPECT_TRUE(TSerialDeviceMap(FakeSystem().Sources()).Entries().empty());
  TSerialMapSources Missing;
  Missing.SysRoot = Sys.Dir.File("nowhere");
  Missing.DevRoot = Sys.Dev;
  EXPECT_TRUE(TSerialDeviceMap(Missing).Entries().empty());
}

TEST(SerialDeviceMap, ExplicitMapFromSettingsAndEnvironment) {
  FakeSystem Sys;
  Sys.AddTty("ttyS0");
  Sys.AddTty("ttyUSB0");
  fs::create_directories(Sys.Dev + "/pts");
  WriteFile(Sys.Dev + "/pts/3", "");
  WriteFile(Sys.Dir.File("ttyV0"), "");
  const std::string Ini = Sys.Dir.File("q.ini");
  // COM5 from the settings (relative to /dev), COM7 missing, COM9 overridden by the environment,
  // COM2 claims ttyUSB0 so it is not listed twice.
  WriteFile(Ini, "[ComMap]\nCOM5=pts/3\nCOM7=" + Sys.Dir.File("gone") + "\nCOM9=pts/3\ncom2=" + Sys.Dev +
                     "/ttyUSB0\nnonsense=x\n");
  const std::string Env = "COM9=" + Sys.Dir.File("ttyV0") + "; COM1 = " + Sys.Dev + "/pts/3;;bad";
  TSerialDeviceMap Map(Sys.Sources(Env, Ini));
  const auto Entries = Map.Entries();
  EXPECT_EQ(Names(Entries, false), (Strings{"COM1", "COM2", "COM5", "COM9"}));
  EXPECT_EQ(Names(Entries, true), (Strings{"\\Device\\pts/3", "\\Device\\ttyUSB0", "\\Device\\pts/3",
                                           "\\Device\\" + Sys.Dir.File("ttyV0")}));
  // ttyS0 gave way to the explicit COM1; the device it names is the explicit one.
  EXPECT_EQ(Map.DevicePath(1), Sys.Dev + "/pts/3");
  EXPECT_EQ(Map.DevicePath(7), Sys.Dir.File("gone"));
  EXPECT_EQ(Map.DevicePath(4), Sys.Dev + "/ttyS3");
  EXPECT_EQ(Map.DevicePath(34), Sys.Dev + "/ttyUSB1");
  EXPECT_EQ(Map.DevicePath(66), Sys.Dev + "/ttyACM1");
  EXPECT_EQ(Map.DevicePath(200), "");
}

TEST(GetComPorts, ListStartsWithDisableAndFollowsTheNumberOfDevices) {
  FakeSystem Sys;
  Sys.AddTty("ttyS0");
  Sys.AddTty("ttyUSB1");
  TGetComPorts Ports(Sys.Sources());
  EXPECT_EQ(Ports.GetPortList(), (Strings{"Disable", "COM1", "COM34"}));
  EXPECT_EQ(Ports.PortCount, 2);
  EXPECT_TRUE(Ports.Timer1->isActive());
  EXPECT_EQ(Ports.Timer1->interval(), 1000);

  // One device swapped for another: same count, list kept as it was.
  Sys.Unplug("ttyUSB1");
  Sys.AddTty("ttyACM0");
  Ports.Timer1Timer();
  EXPECT_EQ(Ports.GetPortList(), (Strings{"Disable", "COM1", "COM34"}));

  Sys.AddTty("ttyS1");
  Ports.Timer1Timer();
  EXPECT_EQ(Ports.GetPortList(), (Strings{"Disable", "COM1", "COM2", "COM65"}));

  Sys.Unplug("ttyS0");
  Sys.Unplug("ttyS1");
  Sys.Unplug("ttyACM0");
  Ports.Timer1Timer();
  EXPECT_EQ(Ports.GetPortList(), (Strings{"Disable"}));
}

TEST(GetComPorts, NoDevicesAtStartGiveAnEmptyList) {
  FakeSystem Sys;
  TGetComPorts Ports(Sys.Sources());
  EXPECT_TRUE(Ports.GetPortList().empty());
  Ports.Timer1Timer();
  EXPECT_TRUE(Ports.GetPortList().empty());
}

TEST(GetComPorts, TimerPicksUpAnUnpluggedAdapter) {
  FakeSystem Sys;
  Sys.AddTty("ttyS0");
  Sys.AddTty("ttyUSB0");
  TGetComPorts Ports(Sys.Sources());
  ASSERT_EQ(Ports.GetPortList().size(), 3u);
  Sys.Unplug("ttyUSB0");
  EXPECT_TRUE(WaitFor([&] { return Ports.GetPortList() == Strings{"Disable", "COM1"}; }, 10000));
}

TEST(GetComPorts, ExtractPortNumber) {
  const std::vector<std::pair<std::string, int>> Cases = {
      {"COM3", 3},           {"COM12", 12},        {"Disable", 0},          {"COM1 (2)", 12},
      {"", 0},               {"COM007", 7},        {"COM2147483647", 2147483647},
      {"COM2147483648", 0},  {"COM99999999999999999999", 0},
  };
  for (const auto& [Text, Number] : Cases) EXPECT_EQ(TGetComPorts::ExtractPortNumber(Text), Number) << Text;
}

TEST(GetComPorts, AnAdapterMappedByItsStableLinkKeepsItsNumberAcrossAReset) {
  FakeSerialTree T;
  const FakeSerialTree::TUsb Ftdi{"0403", "6001", "FTDI", "FT232R USB UART", "A50285BI"};
  const std::string ById = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  T.AddUsbTty("ttyUSB0", "1-1", "ftdi_sio", Ftdi);
  T.LinkById(ById, "ttyUSB0");
  const std::string Ini = T.Dir.File("q.ini");
  WriteFile(Ini, "[ComMap]\nCOM5=" + T.Dev + "/serial/by-id/" + ById + "\n");
  TSerialMapSources S;
  S.SysRoot = T.Sys;
  S.DevRoot = T.Dev;
  S.SettingsFile = Ini;
  TGetComPorts Ports(S);
  EXPECT_EQ(Ports.GetPortList(), (Strings{"Disable", "COM5"}));
  const std::string Described = T.Dev + "/serial/by-id/" + ById + " \u2014 FT232R USB UART (A50285BI), FTDI 0403:6001, ftdi_sio";
  EXPECT_EQ(Ports.PortDescription(5), Described);

  // A reset: the adapter comes back as ttyUSB1 while a CH340 took ttyUSB0 meanwhile.
  T.Unplug("ttyUSB0");
  T.AddUsbTty("ttyUSB0", "1-2", "ch341-uart", {"1a86", "7523", "", "USB Serial", ""});
  T.AddUsbTty("ttyUSB1", "1-1", "ftdi_sio", Ftdi);
  T.LinkById(ById, "ttyUSB1");
  Ports.Timer1Timer();
  EXPECT_EQ(Ports.GetPortList(), (Strings{"Disable", "COM5", "COM33"}));
  EXPECT_EQ(Ports.PortDescription(5), Described);
  EXPECT_EQ(Ports.PortDescription(33), T.Node("ttyUSB0") + " \u2014 USB Serial, 1a86:7523, ch341-uart");
  EXPECT_EQ(Ports.PortDescription(34), "") << "ttyUSB1 is COM5's";
  EXPECT_EQ(TSerialDeviceMap(S).DevicePath(5), T.Dev + "/serial/by-id/" + ById);
}
