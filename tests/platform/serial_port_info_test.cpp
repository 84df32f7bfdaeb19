// What a serial port is, as read from a fake sysfs and /dev: the USB adapters people plug in,
// a built-in port, a mapped pseudo-terminal; and the stable by-id link of a port.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/serial_device_map.h"
#include "platform/serial_port_info.h"
#include "pseudo_terminal.h"
#include "test_support.h"

namespace {

TSerialMapSources SourcesOf(const FakeSerialTree& T, const std::string& Env = {}) {
  TSerialMapSources S;
  S.SysRoot = T.Sys;
  S.DevRoot = T.Dev;
  S.EnvironmentMap = Env;
  return S;
}

}  // namespace

TEST(SerialPortInfo, DescribesEachKindOfPortFromSysfs) {
  FakeSerialTree T;
  T.AddUsbTty("ttyUSB0", "1-1", "ftdi_sio", {"0403", "6001", "FTDI", "FT232R USB UART", "A50285BI"});
  T.AddUsbTty("ttyUSB1", "1-2", "cp210x",
              {"10c4", "ea60", "Silicon Labs", "CP2102 USB to UART Bridge Controller", "0001"});
  T.AddUsbTty("ttyUSB2", "1-3", "ch341-uart", {"1a86", "7523", "", "USB Serial", ""});
  T.AddUsbTty("ttyUSB3", "1-4", "pl2303", {"067b", "2303", "", "", ""});
  T.AddUsbTty("ttyACM0", "1-5", "cdc_acm", {"2341", "0043", "Arduino (www.arduino.cc)", "Uno", "7563331313335"});
  T.AddPlatformTty("ttyS0", "serial8250", "serial8250");
  T.AddPlatformTty("ttyS1", "00:01", "serial", true);
  TPtyMaster Far;
  ASSERT_FALSE(Far.Path.empty());
  const std::string Pty = Far.Path;
  const auto S = SourcesOf(T, "COM7=" + Pty);

  struct Case {
    std::string Path, Description, Driver;
  };
  const std::vector<Case> Cases = {
      {T.Node("ttyUSB0"), "FT232R USB UART (A50285BI), FTDI 0403:6001, ftdi_sio", "ftdi_sio"},
      {T.Node("ttyUSB1"), "CP2102 USB to UART Bridge Controller (0001), Silicon Labs 10c4:ea60, cp210x", "cp210x"},
      // No manufacturer or serial number: what there is.
      {T.Node("ttyUSB2"), "USB Serial, 1a86:7523, ch341-uart", "ch341-uart"},
      {T.Node("ttyUSB3"), "USB serial adapter, 067b:2303, pl2303", "pl2303"},
      {T.Node("ttyACM0"), "Uno (7563331313335), Arduino (www.arduino.cc) 2341:0043, cdc_acm", "cdc_acm"},
      {T.Node("ttyS0"), "serial8250 driver", "serial8250"},
      {T.Node("ttyS1"), "serial driver", "serial"},
      {Pty, "pseudo-terminal", ""},
      {T.Node("ttyUSB9"), "no driver known", ""},
  };
  for (const auto& C : Cases) {
    const TSerialPortInfo I = DescribeSerialPort(C.Path, S);
    EXPECT_EQ(I.Description, C.Description) << C.Path;
    EXPECT_EQ(I.Driver, C.Driver) << C.Path;
  }

  // The line --list-ports prints for each port, in COM order, mapped ones included.
  std::vector<std::string> Lines;
  for (const auto& E : TSerialDeviceMap(S).Entries()) Lines.push_back(SerialPortLine(E, S));
  const std::vector<std::string> Expected = {
      "COM1 \u2014 " + T.Node("ttyS0") + " \u2014 serial8250 driver",
      "COM2 \u2014 " + T.Node("ttyS1") + " \u2014 serial driver",
      "COM7 \u2014 " + Pty + " \u2014 pseudo-terminal",
      "COM33 \u2014 " + T.Node("ttyUSB0") + " \u2014 FT232R USB UART (A50285BI), FTDI 0403:6001, ftdi_sio",
      "COM34 \u2014 " + T.Node("ttyUSB1") +
          " \u2014 CP2102 USB to UART Bridge Controller (0001), Silicon Labs 10c4:ea60, cp210x",
      "COM35 \u2014 " + T.Node("ttyUSB2") + " \u2014 USB Serial, 1a86:7523, ch341-uart",
      "COM36 \u2014 " + T.Node("ttyUSB3") + " \u2014 USB serial adapter, 067b:2303, pl2303",
      "COM65 \u2014 " + T.Node("ttyACM0") + " \u2014 Uno (7563331313335), Arduino (www.arduino.cc) 2341:0043, cdc_acm",
  };
  EXPECT_EQ(Lines, Expected);
}

TEST(SerialPortInfo, ByIdLinkIsFoundThroughWhateverPathNamesThePort) {
  FakeSerialTree T;
  T.AddUsbTty("ttyUSB0", "1-1", "ftdi_sio", {"0403", "6001", "FTDI", "FT232R USB UART", "A50285BI"});
  T.AddUsbTty("ttyUSB1", "1-2", "ch341-uart", {"1a86", "7523", "", "USB Serial", ""});
  T.AddPlatformTty("ttyS0", "serial8250", "serial8250");
  const auto S = SourcesOf(T);
  const std::string Ftdi = T.Dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  // Before udev has made any link, nothing is found (and the missing folder is no error).
  EXPECT_EQ(SerialByIdLink(T.Node("ttyUSB0"), S), "");
  T.LinkById("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "ttyUSB0");
  T.LinkById("usb-1a86_USB_Serial-if00-port0", "ttyUSB1");
  struct Case {
    std::string Path, Link;
  };
  for (const Case& C : {Case{T.Node("ttyUSB0"), Ftdi}, Case{Ftdi, Ftdi},
                        Case{T.Node("ttyUSB1"), T.Dev + "/serial/by-id/usb-1a86_USB_Serial-if00-port0"},
                        Case{T.Node("ttyS0"), ""}, Case{T.Node("ttyUSB7"), ""}})
    EXPECT_EQ(SerialByIdLink(C.Path, S), C.Link) << C.Path;
  // Described through the link, the port is the adapter behind it.
  EXPECT_EQ(DescribeSerialPort(Ftdi, S).Description, "FT232R USB UART (A50285BI), FTDI 0403:6001, ftdi_sio");
}
