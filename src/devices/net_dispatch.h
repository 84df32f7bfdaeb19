#pragma once
// The network device layer: TQpWinsockDispatcher runs one TCP connection (client or server)
// for a port, entirely on the GUI thread, driven by a 50 ms timer and by the socket library's
// notifications. The process-wide socket object QpSocket() owns every connection and routes
// data notifications to the owning dispatcher and connection events to the owning port.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devices/sock_wrap.h"
#include "devices/ws_connection.h"
#include "port/port_dispatch.h"

// Notifications the layer asks for: read, write, accept, connect and close.
constexpr std::int32_t DefAsyncStyles = 0x3B;
// The event code for "a server's accepted client closed", carried to the port.
constexpr int Fd_ClientClose = 48;
constexpr UINT WsCommTimerMs = 50;

class TQpWinsockDispatcher;

class TQpDeviceSocket : public TQpSocket {
 public:
  TQpDeviceSocket();
  ~TQpDeviceSocket() override;

  std::string WsTerminal() const override { return FWsTerminal; }
  void SetWsTerminal(const std::string& Value) { FWsTerminal = Value; }

  // The connection whose data socket or main socket is Socket; none for a negative handle.
  TWsConnection* FindConnection(TSocket Socket);
  // The main socket of the connection that owns Socket, or -1.
  TSocket TweakSocket(TSocket Socket);
  void LockList() { SockSection.lock(); }
  void UnLockList() { SockSection.unlock(); }
  // Sends the notification to the data dispatcher of Socket (its hidden window).
  LRESULT DoDispMessage(TSocket Socket, int Event, LPARAM LP);
  // Hands a connection event to the port that owns the dispatcher of Socket.
  LRESULT DoWsMessage(TSocket Socket, int Event, LPARAM LP);

  // Creates a connection (and its socket) owned by this object.
  TWsConnection* AddConnection(std::uint32_t InSize, std::uint32_t OutSize);
  // Frees the connection; the lookup cache forgets it.
  void RemoveConnection(TWsConnection* Connection);
  std::size_t ConnectionCount() const { return FConnections.size(); }

  std::recursive_mutex SockSection;

 protected:
  void DoAccept(TSocket Socket) override;
  void DoConnect(TSocket Socket) override;
  void DoDisconnect(TSocket Socket) override;
  void DoError(TSocket Socket, int ErrCode) override;
  void DoRead(TSocket Socket) override;
  void DoWrite(TSocket Socket) override;

 private:
  std::shared_ptr<TQpWinsockDispatcher> DispatcherOf(TWsConnection* Connection);
  void ForgetCache() {
    LastSocket = -1;
    LastConnection = nullptr;
  }

  std::string FWsTerminal = "vt100";
  std::vector<std::unique_ptr<TWsConnection>> FConnections;
  TSocket LastSocket = -1;
  TWsConnection* LastConnection = nullptr;
};

// The process-wide socket object, created on first use (which loads and starts the socket
// library) and freed with the application or by DeactivateNetDispatch.
TQpDeviceSocket* QpSocket();
void DeactivateNetDispatch();

class TQpWinsockDispatcher : public TQpBaseDispatcher {
 public:
  explicit TQpWinsockDispatcher(TQpCustomComPort* Owner);
  ~TQpWinsockDispatcher() override;

  // ---- the device-layer contract ----
  std::int32_t EscapeComFunction(std::int32_t Func) override;
  std::int32_t FlushCom(std::int32_t Queue) override;
  std::int32_t GetComError(TComStat& Stat) override;
  std::int32_t GetComEventMask(std::int32_t EvtMask) override;
  std::int32_t GetComState(TDCB& DCB) override;
  std::int32_t ReadCom(void* Buf, std::int32_t Size) override;
  std::int32_t SetComState(TDCB& DCB) override;
  std::int32_t WriteCom(const void* Buf, std::int32_t Size) override;
  void SendQueued() override;
  bool WaitComEvent(std::uint32_t& EvtMask, void* Overlapped) override;
  bool SetupCom(std::int32_t InSize, std::int32_t OutSize) override;
  void StartDispatcher() override;
  void StopDispatcher() override;
  std::uint32_t OutBufUsed() override;
  std::uint32_t InQueueUsed() override;
  std::int32_t OpenCom(const char* ComName, std::uint32_t InQueue, std::uint32_t OutQueue) override;
  std::int32_t CloseCom() override;
  bool CheckPort(const std::string& ComName) override;
  std::int32_t ProcessCommunications() override;
  std::uint8_t GetComModemStatus() override {
    DispLock Guard(DataSection);  // GetModemStatusPrim asks before it takes the lock
    return ModemStatus & DCDMask;
  }

  // Address and port arrive in network byte order. LocalAddress is accepted and not used:
  // the socket always binds to any local address.
  void InitSocketData(std::int32_t LocalAddress, std::uint32_t Address, std::uint16_t Port,
                      bool IsClient, bool IsTelnet);
  // One dispatch pass; always 0.
  std::int32_t Dispatcher(UINT Msg, WPARAM wParam, LPARAM lParam);
  void WsCommTimer();
  void DispatcherWndFunc(TMessage& Msg);

  TWsConnection* Connection();

  bool InDispatcher = false;
  TSockAddrIn WsSockAddr;
  TSockAddrIn WsHostAddr;
  bool WsIsClient = true;
  bool WsIsTelnet = true;

 private:
  void LogTelnet(TTelnetLogKind Kind, const std::string& Data);
  int FSetupError = 0;  // why SetupCom failed; reported once by GetComError
  std::uint32_t FInQue = 0;  // raw bytes waiting at the last status refresh
};
