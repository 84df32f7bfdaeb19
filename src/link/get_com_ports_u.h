#pragma once
// The hidden discovery window: keeps the list of serial ports the system knows, refreshed
// every second, and turns a port entry into its number.

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/serial_device_map.h"


class TGetComPorts : public QObject {
  Q_OBJECT
 public:
  // Reads the process-wide serial device map (the real system).
  explicit TGetComPorts(QObject* Parent = nullptr);
  // Reads the map from the given sources (a fake tree in tests).
  explicit TGetComPorts(TSerialMapSources Sources, QObject* Parent = nullptr);
  ~TGetComPorts() override;

  // Re-reads the map; rebuilds the list only when the number of devices has changed.
  void GetAvailablePorts();
  void Timer1Timer();
  // The live list: "Disable", then one port name per device ("COM1", "COM33", …); empty until
  // the first device has been seen.
  const std::vector<std::string>& GetPortList() const { return ComListBox; }
  // The digits of S joined, as a number; 0 when there are none or they exceed 32 bits.
  static std::int32_t ExtractPortNumber(const std::string& S);
  // What the port list shows as an item's tooltip: the device behind COMn and what it is
  // ("/dev/ttyUSB0 — FT232R USB UART (A50285BI), FTDI 0403:6001"), as of the last refresh;
  // empty for a number not listed.
  std::string PortDescription(std::int32_t ComNumber) const;

  QTimer* Timer1 = nullptr;              // 1000 ms, running from creation
  std::vector<std::string> ComListBox;   // the port list itself
  std::unique_ptr<TSerialDeviceMap> Reg; // read only
  std::int32_t PortCount = 0;            // devices seen at the last rebuild
  std::vector<std::string> PortList;     // value names read at the last refresh
  std::map<std::int32_t, std::string> Descriptions;  // by COM number, at the last refresh

 private:
  void FormCreate();
};
