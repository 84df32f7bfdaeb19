#pragma once
// What a person recognises a serial port by: the device behind a COM number and, read from
// sysfs, the USB adapter's vendor, product and serial number, or the driver for other ports.
// Also the stable /dev/serial/by-id link of a port, so a [ComMap] entry can follow one adapter
// whatever ttyUSB number it gets. Everything is read through TSerialMapSources' roots (a fake
// tree in tests), fresh at every call. Any thread; nothing is cached.

#include <string>
#include <vector>

#include "platform/serial_device_map.h"

struct TSerialPortInfo {
  std::string Path;          // the device as mapped (/dev/ttyUSB0, /dev/serial/by-id/..., /dev/pts/3)
  std::string Node;          // the node it resolves to (/dev/ttyUSB0)
  std::string Manufacturer;  // USB only, as far as the device says
  std::string Product;
  std::string Serial;
  std::string VendorId;      // "0403"
  std::string ProductId;     // "6001"
  std::string Driver;        // ftdi_sio, cdc_acm, serial8250; empty when sysfs names none
  bool PseudoTerminal = false;
  // "FT232R USB UART (A50285BI), FTDI 0403:6001", "serial8250 driver", "pseudo-terminal"; the
  // words that are not the device's own in the program's language.
  std::string Description;
};

TSerialPortInfo DescribeSerialPort(const std::string& Path, const TSerialMapSources& Sources);
// "COM33 — /dev/ttyUSB0 — FT232R USB UART (A50285BI), FTDI 0403:6001"
std::string SerialPortLine(const TSerialDeviceEntry& Entry, const TSerialMapSources& Sources);
// The full path of the link in <DevRoot>/serial/by-id that leads to the same node as Path;
// empty when there is none.
std::string SerialByIdLink(const std::string& Path, const TSerialMapSources& Sources);
