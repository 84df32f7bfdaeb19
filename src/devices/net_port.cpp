#include "net_port.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
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

// The reply collector of one negotiation: takes the proxy's replies off the connection below
// telnet handling, sends the next request raw, and tells the port when the exchange has ended.
class TSocksReplyReader : public TWsRawReader {
 public:
  TSocksReplyReader(TQpCustomWinsockPort& Port, TWsConnection& Conn, TSocksRequest R)
      : FPort(Port), FConn(Conn), Negotiation(std::move(R)) {}
  std::size_t Take(const std::uint8_t* Data, std::size_t Len) override {
    // After a failed or abandoned exchange nothing the proxy sends is the target's data.
    if (FAbandoned || Negotiation.Finished()) return Len;
    const std::size_t N = Negotiation.Feed(Data, Len);
    const std::string Next = Negotiation.TakeOutput();
    if (!Next.empty()) FConn.WriteRaw(Next);
    if (Negotiation.Finished()) {
      if (Negotiation.TunnelUp()) FConn.SetHoldOutput(false);
      FPort.SocksFinished();
    }
    return N;
  }
  bool Done() const override {
    return !FAbandoned && Negotiation.Finished() && Negotiation.TunnelUp();
  }
  void Abandon() { FAbandoned = true; }
  void Begin() {
    FConn.SetHoldOutput(true);
    FConn.SetRawReader(this);
    FConn.WriteRaw(Negotiation.Start());  // goes out when the connection is made
  }

 private:
  TQpCustomWinsockPort& FPort;
  TWsConnection& FConn;
  bool FAbandoned = false;

 public:
  TSocksNegotiation Negotiation;
};

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

void TQpCustomWinsockPort::PostQuit() {
  PostMessage(fComWindow, CM_QPSOCKETQUIT, 0, LPARAM(FConnectionSerial));
}

std::int32_t TQpCustomWinsockPort::InitializePort() {
  ++FConnectionSerial;  // a quit posted for an earlier connection no longer matches
  if (FDeviceLayer != dlWinsock) return TQpCustomComPort::InitializePort();
  FConnectPacket.reset();  // left over only by an open that failed later on
  FSocksComplete = true;
  auto D = std::dynamic_pointer_cast<TQpWinsockDispatcher>(FDispatcher);
  if (!D) return TQpCustomComPort::InitializePort();  // a custom layer opens its own way
  if (FWsMode == wsClient && FWsSocksServerInfo.SocksVersion() != svNone)
    return OpenSocksConnection(*D);
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

// Everything that can be known before connecting is checked here, so a bad setting fails the
// open at once instead of leaving it waiting on a request that was never sent.
std::int32_t TQpCustomWinsockPort::OpenSocksConnection(TQpWinsockDispatcher& D) {
  TQpDeviceSocket* S = QpSocket();
  const TQpSocksServerInfo& Info = FWsSocksServerInfo;
  D.DeviceName = Format2("Winsock client, connect to %s on port %s", FWsAddress, FWsPort);
  if (FWsAddress.empty()) throw EQpSocketException::CreateTranslate(wsaEDestAddrReq);
  if (Info.Port() == 0) throw EQpSocketException::CreateTranslate(QPWSINVPORT);
  auto Resolve = [S](const std::string& Name) {
    std::uint32_t A = S->String2NetAddr(Name);
    if (A == InAddr_None) A = S->LookupName(Name);
    return A;
  };
  auto CantResolve = [this]() -> std::int32_t {
    if (OnWsError) {
      OnWsError(this, QPWSCANTRESOLVE);
      return -QPWSCANTRESOLVE;
    }
    throw EQpSocketException::CreateTranslate(QPWSCANTRESOLVE);
  };
  TSocksRequest R;
  R.Version = Info.SocksVersion();
  R.DestPort = ResolvePort();
  R.UserCode = Info.UserCode();
  R.Password = Info.Password();
  if (R.Version == svSocks4a) {
    R.DestHost = FWsAddress;
  } else {
    R.DestAddr = Resolve(FWsAddress);
    if (R.DestAddr == 0) return CantResolve();
  }
  if (const std::int32_t Bad = TSocksNegotiation::Validate(R)) return Bad;
  const std::uint32_t Proxy = Info.Address().empty() ? 0 : Resolve(Info.Address());
  if (Proxy == 0) return CantResolve();

  D.InitSocketData(FWsLocalAddressIndex, Proxy, S->htons(Info.Port()), true, FWsTelnet);
  const std::int32_t Result = D.InitSocket(FInSize, FOutSize);
  if (Result < 0) throw EQpSocketException::CreateTranslate(-Result);
  TWsConnection* C = D.Connection();
  if (!C) throw EQpSocketException::CreateTranslate(wsaENotSock);
  FSocksSocketError = 0;
  FSocksComplete = false;
  FConnectPacket = std::make_unique<TSocksReplyReader>(*this, *C, std::move(R));
  FConnectPacket->Begin();
  FPortState = psOpen;
  return 0;
}

void TQpCustomWinsockPort::SocksFinished() {
  FSocksComplete = true;
  if (FSocksLoop) FSocksLoop->quit();
}

void TQpCustomWinsockPort::ContinueSocksNegotiation() {
  const std::shared_ptr<bool> Alive = FAlive;
  auto StillOpen = [this] { return FPortState == psOpen && FDispatcher != nullptr; };
  bool TimedOut = false;
  if (!FSocksComplete && StillOpen()) {
    QEventLoop Loop;
    QTimer Deadline;
    Deadline.setSingleShot(true);
    QObject::connect(&Deadline, &QTimer::timeout, &Loop, [&] {
      TimedOut = true;
      Loop.quit();
    });
    Deadline.start(int(std::min<std::uint32_t>(FWsSocksServerInfo.ReplyTimeout(), 0x7FFFFFFF)));
    FSocksLoop = &Loop;
    Loop.exec();
    if (!*Alive) return;  // a handler freed the port meanwhile
    FSocksLoop = nullptr;
  }
  std::int32_t Code = 0;
  bool Reported = false;
  if (FSocksComplete && FConnectPacket) {
    Code = FConnectPacket->Negotiation.ErrorCode();
  } else if (!StillOpen()) {
    // Refused, reset or closed before the answer was complete. A socket error already went
    // to OnWsError when it came.
    Code = FSocksSocketError != 0 ? FSocksSocketError : QPWSUNKNOWNERROR;
    Reported = FSocksSocketError != 0 && OnWsError;
  } else {
    Code = TimedOut ? wsaETimedOut : QPWSUNKNOWNERROR;
  }
  FSocksComplete = true;
  auto D = std::dynamic_pointer_cast<TQpWinsockDispatcher>(FDispatcher);
  TWsConnection* C = D ? D->Connection() : nullptr;
  if (FConnectPacket && (!C || FConnectPacket->Done())) {
    if (C) C->SetRawReader(nullptr);
    FConnectPacket.reset();
  } else if (FConnectPacket) {
    // No tunnel: the reader stays on the connection and drops what the proxy still sends,
    // and application output stays held, until the port closes.
    FConnectPacket->Abandon();
  }
  if (Code == 0) return;
  if (OnWsError) {
    if (!Reported) OnWsError(this, Code);
    return;  // the port stays open; closing it is the handler's decision
  }
  if (StillOpen()) DonePort();
  FConnectPacket.reset();
  throw EQpSocketException::CreateTranslate(Code);
}

void TQpCustomWinsockPort::PortOpen() {
  TQpCustomComPort::PortOpen();
  if (FConnectPacket) ContinueSocksNegotiation();
}

void TQpCustomWinsockPort::PortClose() {
  if (FSocksLoop) FSocksLoop->quit();
  TQpCustomComPort::PortClose();
  DoDisconnect();
}

void TQpCustomWinsockPort::ComWindowProc(TMessage& Msg) {
  if (Msg.Msg == CM_QPSOCKETMESSAGE) {
    switch (Msg.WParam) {
      case WPARAM(Fd_Accept): Msg.Result = DoAccept(std::uint32_t(Msg.LParam)) ? 1 : 0; break;
      case WPARAM(Fd_Connect): DoConnect(); break;
      // The port closes itself on a later turn, never inside the notification that said why.
      case WPARAM(Fd_Close): PostQuit(); break;
      case WPARAM(Fd_ClientClose): DoDisconnect(); break;
      default: DoError(std::int32_t(Msg.WParam)); break;
    }
    return;
  }
  if (Msg.Msg == CM_QPSOCKETQUIT) {
    // Only the connection the quit was posted for: a handler may have closed it and opened
    // another meanwhile, and that one (or its pending open) must stay.
    if (std::uint32_t(Msg.LParam) == FConnectionSerial && PortState() == psOpen) SetOpen(false);
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
  if (!FSocksComplete && FSocksSocketError == 0) FSocksSocketError = ErrCode;
  if (ErrCode == wsaENetReset || ErrCode == wsaEConnAborted || ErrCode == wsaEConnReset ||
      ErrCode == wsaEConnRefused) {
    if (FWsMode == wsClient)
      PostQuit();
    else
      DoDisconnect();
  }
  if (OnWsError) OnWsError(this, ErrCode);
}
