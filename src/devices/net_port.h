#pragma once
// The network port component: the comm port component that talks either to a serial port
// (DeviceLayer dlWin32) or to a TCP peer (dlWinsock), resolving an address and a port and
// reporting connection events, all on the GUI thread.
//
// Opening with dlWinsock returns at once with the connection pending; OnWsConnect follows when
// it is made. A refused connection closes the port again without OnWsDisconnect; a peer that
// goes away closes it with one OnWsDisconnect.
//
// Through a SOCKS proxy (WsSocksServerInfo.SocksVersion not svNone, client mode) Open connects
// to the proxy and returns only when the proxy has answered, refused, closed, gone silent past
// WsSocksServerInfo.ReplyTimeout, or the port was closed meanwhile; events keep running during
// the wait (a nested event loop), so handlers may run inside Open. A failure is raised from
// Open (the port is then closed) or, with OnWsError assigned, handed to it with the port left
// open. The exchange is raw both ways; telnet handling and application output start once the
// tunnel is up.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "devices/net_dispatch.h"
#include "devices/sock_wrap.h"
#include "devices/socks_client.h"
#include "port/com_port.h"

class QEventLoop;
class TSocksReplyReader;

class TQpCustomWinsockPort;
using TWsAcceptEvent =
    std::function<void(TQpCustomWinsockPort* Sender, std::uint32_t Addr, bool& Accept)>;
using TWsPortNotifyEvent = std::function<void(TQpCustomWinsockPort* Sender)>;
using TWsErrorEvent = std::function<void(TQpCustomWinsockPort* Sender, std::int32_t ErrCode)>;

class TQpCustomWinsockPort : public TQpCustomComPort {
 public:
  TQpCustomWinsockPort();
  ~TQpCustomWinsockPort() override;

  // Remote host: a dotted address or a host name, stored trimmed. Changing it (or WsPort,
  // WsMode) while the port is open raises EQpSocketException 9006.
  const std::string& WsAddress() const { return FWsAddress; }
  void SetWsAddress(const std::string& Value);
  // A decimal port number (1 to 65535) or a TCP service name; stored trimmed.
  const std::string& WsPort() const { return FWsPort; }
  void SetWsPort(const std::string& Value);
  TWsMode WsMode() const { return FWsMode; }
  void SetWsMode(TWsMode Value);
  bool WsTelnet() const { return FWsTelnet; }
  void SetWsTelnet(bool Value) { FWsTelnet = Value; }
  // This machine's addresses, read afresh from the system on every read.
  std::vector<std::string> WsLocalAddresses();
  void SetWsLocalAddresses(const std::vector<std::string>& Value) { FWsLocalAddresses = Value; }
  std::int32_t WsLocalAddressIndex() const { return FWsLocalAddressIndex; }
  void SetWsLocalAddressIndex(std::int32_t Value) { FWsLocalAddressIndex = Value; }

  TQpSocksServerInfo& WsSocksServerInfo() { return FWsSocksServerInfo; }

  void SetUseMSRShadow(bool Value) override;

  TWsAcceptEvent OnWsAccept;
  TWsPortNotifyEvent OnWsConnect;
  TWsPortNotifyEvent OnWsDisconnect;
  TWsErrorEvent OnWsError;

 protected:
  std::shared_ptr<TQpBaseDispatcher> ActivateDeviceLayer() override;
  void DeviceLayerChanged() override;
  std::int32_t InitializePort() override;
  void ValidateComport() override;
  void ComWindowProc(TMessage& Msg) override;
  void PortOpen() override;
  void PortClose() override;

  virtual bool DoAccept(std::uint32_t Addr);
  virtual void DoConnect();
  virtual void DoDisconnect();
  virtual void DoError(std::int32_t ErrCode);
  // Asks, on a later turn of the loop, to close the current connection (and no later one).
  void PostQuit();

  void EnumHostAddresses();
  // The proxy path of InitializePort: checks and resolves everything, then connects to the
  // proxy with the first request queued raw. 0, or a negative code (OnWsError already called).
  std::int32_t OpenSocksConnection(TQpWinsockDispatcher& D);
  // Waits for the end of the exchange and reports its outcome (from PortOpen).
  void ContinueSocksNegotiation();

  std::string FWsAddress;
  TWsMode FWsMode = wsClient;
  std::string FWsPort = "telnet";
  bool FWsTelnet = true;
  std::vector<std::string> FWsLocalAddresses;
  std::int32_t FWsLocalAddressIndex = 0;
  bool FConnectFired = false;
  std::uint32_t FConnectionSerial = 0;  // counts opens; a posted quit names the one it ends
  TQpSocksServerInfo FWsSocksServerInfo;
  // The running negotiation's reply reader; none outside an open through a proxy.
  std::unique_ptr<TSocksReplyReader> FConnectPacket;
  bool FSocksComplete = true;
  std::int32_t FSocksSocketError = 0;  // a socket error seen while negotiating
  QEventLoop* FSocksLoop = nullptr;

 private:
  void CheckCanChange(bool Changes);
  std::uint16_t ResolvePort();
  // Called by the reply reader when the exchange has ended.
  void SocksFinished();
  friend class TSocksReplyReader;
};

// The component with its properties published; adds nothing.
class TQpWinsockPort : public TQpCustomWinsockPort {
 public:
  using TQpCustomWinsockPort::TQpCustomWinsockPort;
};
