#pragma once
// A network port as the Communications window drives it, recording what its handlers see:
// the bytes received and the run of events (data, connect, disconnect). GUI thread only.

#include <cstdint>
#include <string>
#include <vector>

#include "devices/net_port.h"

struct TLanPort {
  TLanPort() {
    Port.SetAutoOpen(false);
    Port.SetDeviceLayer(dlWinsock);
    Port.SetWsAddress("127.0.0.1");
    Port.OnTriggerAvail = [this](TQpCustomComPort* CP, std::uint16_t Count) {
      for (std::uint16_t I = 0; I < Count; ++I) Received += char(CP->GetChar());
      Log("data");
    };
    Port.OnWsConnect = [this](TQpCustomWinsockPort*) { Log("connect"); };
    Port.OnWsDisconnect = [this](TQpCustomWinsockPort*) { Log("disconnect"); };
  }
  void Log(const std::string& E) {
    if (Events.empty() || Events.back() != E) Events.push_back(E);  // runs of data count once
  }
  int Count(const std::string& E) const {
    int N = 0;
    for (const auto& X : Events) N += X == E;
    return N;
  }
  void OpenTo(std::uint16_t PortNumber) {
    Port.SetWsPort(std::to_string(PortNumber));
    Port.SetOpen(true);
  }
  std::string Received;
  std::vector<std::string> Events;
  TQpWinsockPort Port;  // last: it goes first, so its closing events still find the rest
};
