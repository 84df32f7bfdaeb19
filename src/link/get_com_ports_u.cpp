#include "get_com_ports_u.h"

#include <QTimer>

#include <limits>

#include "defs/str_funct.h"
#include "platform/error_handler.h"
#include "platform/serial_port_info.h"

TGetComPorts::TGetComPorts(QObject* Parent)
    : QObject(Parent), Reg(std::make_unique<TSerialDeviceMap>()) {
  FormCreate();
}

TGetComPorts::TGetComPorts(TSerialMapSources Sources, QObject* Parent)
    : QObject(Parent), Reg(std::make_unique<TSerialDeviceMap>(std::move(Sources))) {
  FormCreate();
}

TGetComPorts::~TGetComPorts() = default;

void TGetComPorts::FormCreate() {
  Timer1 = new QTimer(this);
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, [this] { GuardedCall([this] { Timer1Timer(); }); });
  GetAvailablePorts();
  Timer1->start();
}

void TGetComPorts::Timer1Timer() { GetAvailablePorts(); }

void TGetComPorts::GetAvailablePorts() {
  try {
    PortList.clear();
    const auto Entries = Reg->Entries();
    for (const auto& E : Entries) PortList.push_back(E.ValueName);
    // Read at every look, unlike the list: the same count may hide another adapter behind a
    // number (a [ComMap] entry that followed its adapter to another ttyUSB).
    const TSerialMapSources Sources = Reg->Sources();
    std::map<std::int32_t, std::string> Now;
    for (const auto& E : Entries) Now[E.ComNumber] = E.Path + " \u2014 " + DescribeSerialPort(E.Path, Sources).Description;
    Descriptions = std::move(Now);
    // Only the count is compared: a device swapped for another between two looks keeps the list.
    if (std::int32_t(PortList.size()) != PortCount) {
      PortCount = std::int32_t(PortList.size());
      ComListBox.clear();
      ComListBox.push_back(tr("Disable").toStdString());
      for (const auto& E : Entries)
        if (E.ValueName.find("\\Device\\") != std::string::npos) ComListBox.push_back(E.PortName);
    }
  } catch (...) {
    // A map that cannot be read leaves the list as it was; the next tick tries again.
  }
}

std::string TGetComPorts::PortDescription(std::int32_t ComNumber) const {
  const auto It = Descriptions.find(ComNumber);
  return It == Descriptions.end() ? std::string() : It->second;
}

std::int32_t TGetComPorts::ExtractPortNumber(const std::string& S) {
  std::string Digits;
  for (char C : S)
    if (C >= '0' && C <= '9') Digits += C;
  if (!ValidInteger(Digits)) return 0;
  const long long Value = std::stoll(Digits);
  // A number that no 32-bit port number can hold names no port.
  if (Value > std::numeric_limits<std::int32_t>::max()) return 0;
  return std::int32_t(Value);
}
