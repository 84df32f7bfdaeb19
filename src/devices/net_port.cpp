#include "net_port.h"

#include <cstdio>
#include <cstring>

#include "platform/text_util.h"

namespace {

std::string Format2(const char* Pattern, const std::string& A, const std::string& B) {
  std::string Out = Pattern;
  if (auto P = Out.find("%s"); P != std::string::npos) Out.replace(P, 2, A);
  if (auto P = Out.find("%s"); P != std::string::npos) Out.replace(P, 2, B);
  return Out;
}

}  // namespace

TQpCustomWinsockPort::TQpCustomWinsockPort() {
  FDeviceLayers |= DeviceLayerBit(dlWinsock);
  EnumHostAddresses();
}

TQpCustomWinsockPort::~TQpCustomWinsockPort() {
  // Close while this class's overrides still exist: the close ends in PortClose.
  if (FPortState != psClosed) {
    try {
      SetOpen(false);
    } catch (...) {
    }
  }
}

void TQpCustomWinsockPort::CheckCanChange(bool Changes) {
  if (Changes && FPortState == psOpen) throw EQpSocketException::CreateTranslate(QPWSCANTCHANGE);
}

void TQpCustomWinsockPort::SetWsAddress(const std::string& Value) {
  const std::string V = Trim(Value);
  CheckCanChange(V != FWsAddress);
  FWsAddress = V;
}

void TQpCustomWinsockPort::SetWsPort(const std::string& Value) {
  const std::string V = Trim(Value);
  CheckCanChange(V != FWsPort);
  FWsPort = V;
}

void TQpCustomWinsockPort::SetWsMode(TWsMode Value) {
  CheckCanChange(Value != FWsMode);
  FWsMode = Value;
}

std::vector<std::string> TQpCustomWinsockPort::WsLocalAddresses() {
  EnumHostAddresses();
  return FWsLocalAddresses;
}

void TQpCustomWinsockPort::EnumHostAddresses() {
  FWsLocalAddresses.clear();
  try {
    TQpDeviceSocket* S = QpSocket();
    S->CheckLoaded();
    char Name[256] = {};
    if (SockFuncs.gethostname(Name, sizeof Name) != 0) return;
    THostEnt* H = SockFuncs.gethostbyname(Name);
    if (!H || !H->h_addr_list) return;
    for (int I = 0; I < 256 && H->h_addr_list[I]; ++I) {
      const auto* B = reinterpret_cast<const unsigned char*>(H->h_addr_list[I]);
      char Text[16];
      std::snprintf(Text, sizeof Text, "%d.%d.%d.%d", B[0], B[1], B[2], B[3]);
      FWsLocalAddresses.push_back(Text);
    }
  } catch (...) {
    FWsLocalAddresses.clear();  // no usable socket library: no addresses
  }
}

void TQpCustomWinsockPort::SetUseMSRShadow(bool Value) {
  TQpCustomComPort::SetUseMSRShadow(Value);
  if (FDeviceLayer == dlWinsock) FUseMSRShadow = false;
}

std::shared_ptr<TQpBaseDispatcher> TQpCustomWinsockPort::ActivateDeviceLayer() {
  if (FDeviceLayer == dlWinsock && !fCustomDispatcher)
    return std::make_shared<TQpWinsockDispatcher>(this);
  return TQpCustomComPort::ActivateDeviceLayer();
}

void TQpCustomWinsockPort::DeviceLayerChanged() {
  if (FDeviceLayer == dlWinsock) {
    FTapiMode = tmOff;
    FUseMSRShadow = false;
  } else {
    FTapiMode = tmAuto;
  }
}

void TQpCustomWinsockPort::ValidateComport() {
  if (FDeviceLayer == dlWinsock) return;  // no serial port number is needed
  TQpCustomComPort::ValidateComport();
}

// A decimal number is a port only from 1 to 65535 (never taken modulo 65536); anything that
// is not a decimal number is looked up as a TCP service.
std::uint16_t TQpCustomWinsockPort::ResolvePort() {
  const std::string& P = FWsPort;
  const bool Decimal = !P.empty() && P.find_first_not_of("0123456789") == std::string::npos;
  if (Decimal) {
    unsigned long Value = 0;
    for (char C : P) {
      Value = Value * 10 + unsigned(C - '0');
      if (Value > 65535) throw EQpSocketException::CreateTranslate(QPWSINVPORT);
    }
    if (Value == 0) throw EQpSocketException::CreateTranslate(QPWSINVPORT);
    return std::uint16_t(Value);
  }
  const std::uint16_t Port = QpSocket()->LookupService(P);
  if (Port == 0) throw EQpSocketException::CreateTranslate(QPWSINVPORT);
  return Port;
}

std::int32_t TQpCustomWinsockPort::InitializePort() {
  if (FDeviceLayer != dlWinsock) return TQpCustomComPort::InitializePort();
  auto D = std::dynamic_pointer_cast<TQpWinsockDispatcher>(FDispatcher);
  if (!D) return TQpCustomComPort::InitializePort();  // a custom layer opens its own way
  TQpDeviceSocket* S = QpSocket();
  std::uint32_t Address = 0;
  if (FWsMode == wsClient) {
    D->DeviceName = Format2("Winsock client, connect to %s on port %s", FWsAddress, FWsPort);
    if (FWsAddress.empty()) throw EQpSocketException::CreateTranslate(wsaEDestAddrReq);
    Address = S->String2NetAddr(FWsAddress);
    if (Address == InAddr_None) Address = S->LookupName(FWsAddress);
    if (Address == 0) {
      if (OnWsError) {
        OnWsError(this, QPWSCANTRESOLVE);
        return -QPWSCANTRESOLVE;
      }
      throw EQpSocketException::CreateTranslate(QPWSCANTRESOLVE);
    }
  } else {
    D->DeviceName = Format2("Winsock server on port %s", FWsPort, "");
  }
  const std::uint16_t Port = ResolvePort();
  D->InitSocketData(FWsLocalAddressIndex, Address, S->htons(Port), FWsMode == wsClient, FWsTelnet);
  const std::int32_t Result = D->InitSocket(FInSize, FOutSize);
  if (Result < 0) throw EQpSocketException::CreateTranslate(-Result);
  FPortState = psOpen;
  return 0;
}

void TQpCustomWinsockPort::PortOpen() { TQpCustomComPort::PortOpen(); }

void TQpCustomWinsockPort::PortClose() {
  TQpCustomComPort::PortClose();
  DoDisconnect();
}

void TQpCustomWinsockPort::ComWindowProc(TMessage& Msg) {
  if (Msg.Msg == CM_QPSOCKETMESSAGE) {
    switch (Msg.WParam) {
      case WPARAM(Fd_Accept): Msg.Result = DoAccept(std::uint32_t(Msg.LParam)) ? 1 : 0; break;
      case WPARAM(Fd_Connect): DoConnect(); break;
      // The port closes itself on a later turn, never inside the notification that said why.
      case WPARAM(Fd_Close): PostMessage(fComWindow, CM_QPSOCKETQUIT, 0, 0); break;
      case WPARAM(Fd_ClientClose): DoDisconnect(); break;
      default: DoError(std::int32_t(Msg.WParam)); break;
    }
    return;
  }
  if (Msg.Msg == CM_QPSOCKETQUIT) {
    SetOpen(false);
    return;
  }
  TQpCustomComPort::ComWindowProc(Msg);
}

bool TQpCustomWinsockPort::DoAccept(std::uint32_t Addr) {
  bool Accept = true;
  if (OnWsAccept) OnWsAccept(this, Addr, Accept);
  return Accept;
}

void TQpCustomWinsockPort::DoConnect() {
  FConnectFired = true;
  if (OnWsConnect) OnWsConnect(this);
}

void TQpCustomWinsockPort::DoDisconnect() {
  const bool Fire = FConnectFired || FWsMode == wsServer;
  FConnectFired = false;
  if (Fire && OnWsDisconnect) OnWsDisconnect(this);
}

void TQpCustomWinsockPort::DoError(std::int32_t ErrCode) {
  if (ErrCode == wsaENetReset || ErrCode == wsaEConnAborted || ErrCode == wsaEConnReset ||
      ErrCode == wsaEConnRefused) {
    if (FWsMode == wsClient)
      PostMessage(fComWindow, CM_QPSOCKETQUIT, 0, 0);
    else
      DoDisconnect();
  }
  if (OnWsError) OnWsError(this, ErrCode);
}
