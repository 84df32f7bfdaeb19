#pragma once
// TQpSocket: the socket library behind a small component. It starts the library, turns failed
// calls into error events or exceptions, converts addresses and names, and owns a hidden
// window that receives the library's notifications and turns them into six event operations.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "devices/sock_loader.h"
#include "platform/messages.h"

constexpr int IPStrSize = 15;
constexpr UINT CM_QPSOCKETMESSAGE = 0x0B11;
constexpr UINT CM_QPSOCKETQUIT = 0x0B12;

constexpr int QPWSLOADERROR = 9002;
constexpr int QPWSVERSIONERROR = 9003;
constexpr int QPWSNOTINIT = 9004;
constexpr int QPWSINVPORT = 9005;
constexpr int QPWSCANTCHANGE = 9006;
constexpr int QPWSCANTRESOLVE = 9007;

enum TWsMode { wsClient, wsServer };

// The notification as the hidden window receives it: WParam = socket, LParam low 16 bits the
// event, high 16 bits the error.
struct TCMQpSocketMessage {
  UINT Msg;
  TSocket Socket;
  std::uint16_t SelectEvent;
  std::uint16_t SelectError;
  LRESULT Result;
  static TCMQpSocketMessage From(const TMessage& M) {
    return {M.Msg, TSocket(M.WParam), std::uint16_t(std::uint32_t(M.LParam) & 0xFFFF),
            std::uint16_t((std::uint32_t(M.LParam) >> 16) & 0xFFFF), M.Result};
  }
};

class EQpSocketException : public std::runtime_error {
 public:
  // Message: the error table's text for ErrCode.
  static EQpSocketException CreateTranslate(int ErrCode, int Dummy1 = 0, int Dummy2 = 0);
  // Message: "Winsock not initialized - " followed by the text for ErrCode.
  static EQpSocketException CreateNoInit(int ErrCode, int Dummy = 0);
  int ErrorCode() const { return FErrorCode; }

 private:
  EQpSocketException(const std::string& Msg, int Code) : std::runtime_error(Msg), FErrorCode(Code) {}
  int FErrorCode;
};

// What a connection needs of its owner: the data calls on one socket. TQpSocket provides them
// on the socket library; tests give a connection scripted bytes instead.
class TWsTransport {
 public:
  virtual ~TWsTransport() = default;
  virtual TSocket CreateSocket() = 0;
  virtual int ReadSocket(TSocket Socket, char* Buf, int BufSize, int Flags) = 0;
  virtual int WriteSocket(TSocket Socket, const char* Buf, int BufSize, int Flags) = 0;
  virtual int CloseSocket(TSocket Socket) = 0;
  // The terminal type reported to a telnet server.
  virtual std::string WsTerminal() const { return "vt100"; }
};

class TQpSocket;
using TWsNotifyEvent = std::function<void(TQpSocket* Sender, TSocket Socket)>;
using TWsSocketErrorEvent = std::function<void(TQpSocket* Sender, TSocket Socket, int ErrCode)>;

class TQpSocket : public TWsTransport {
 public:
  TQpSocket();
  ~TQpSocket() override;
  TQpSocket(const TQpSocket&) = delete;
  TQpSocket& operator=(const TQpSocket&) = delete;

  void CheckLoaded() const;

  TSocket CreateSocket() override;
  int BindSocket(TSocket Socket, const TSockAddrIn& Address);
  int ConnectSocket(TSocket Socket, const TSockAddrIn& Address);
  int ListenSocket(TSocket Socket, int Backlog);
  TSocket AcceptSocket(TSocket Socket, TSockAddrIn& Address);
  int ReadSocket(TSocket Socket, char* Buf, int BufSize, int Flags) override;
  int WriteSocket(TSocket Socket, const char* Buf, int BufSize, int Flags) override;
  int ShutdownSocket(TSocket Socket, int How);
  int CloseSocket(TSocket Socket) override;
  int SetAsyncStyles(TSocket Socket, std::int32_t lEvent);
  int SetSocketOptions(TSocket Socket, int Level, int OptName, const void* OptVal, int OptLen);
  bool CanReadSocket(TSocket Socket, std::uint32_t WaitTime);
  bool CanWriteSocket(TSocket Socket, std::uint32_t WaitTime);

  std::uint32_t htonl(std::uint32_t HostLong);
  std::uint16_t htons(std::uint16_t HostShort);
  std::uint32_t ntohl(std::uint32_t NetLong);
  std::uint16_t ntohs(std::uint16_t NetShort);

  // A dotted address in network order; InAddr_None for anything else, including a text longer
  // than a dotted address can be (it is never cut down into another address).
  std::uint32_t String2NetAddr(const std::string& S);
  std::string NetAddr2String(std::uint32_t InAddr);
  // First address of the name (network order), or 0 when it is unknown.
  std::uint32_t LookupName(const std::string& Name);
  std::string LookupAddress(std::uint32_t InAddr);
  // Port of a TCP service in host order, or 0 when unknown.
  std::uint16_t LookupService(const std::string& Service);
  std::string LookupPort(std::uint16_t Port);
  std::string GetLocalHost();
  std::string GetLocalAddress();
  int GetLastError();

  // Properties.
  std::string Description() const;
  std::string SystemStatus() const;
  int WsVersion() const { return asWSData.wVersion; }
  int HighVersion() const { return asWSData.wHighVersion; }
  int MaxSockets() const { return asWSData.iMaxSockets; }
  HWND Handle() const { return FHandle; }
  int LastError() { return GetLastError(); }
  std::string LocalHost() { return GetLocalHost(); }
  std::string LocalAddress() { return GetLocalAddress(); }
  int StartErrorCode() const { return asStartErrorCode; }
  bool DllLoaded() const { return asDllLoaded; }

  TWsNotifyEvent OnWsAccept;
  TWsNotifyEvent OnWsConnect;
  TWsNotifyEvent OnWsDisconnect;
  TWsSocketErrorEvent OnWsError;
  TWsNotifyEvent OnWsRead;
  TWsNotifyEvent OnWsWrite;

 protected:
  virtual void DoAccept(TSocket Socket);
  virtual void DoConnect(TSocket Socket);
  virtual void DoDisconnect(TSocket Socket);
  virtual void DoError(TSocket Socket, int ErrCode);
  virtual void DoRead(TSocket Socket);
  virtual void DoWrite(TSocket Socket);
  virtual void ShowErrorMessage(int /*Err*/) {}

  void CMQpSocketMessage(TMessage& Msg);
  void WndProc(TMessage& Msg);

  HWND FHandle = 0;
  bool asDllLoaded = false;
  int asStartErrorCode = 0;
  TwsaData asWSData;

 private:
  bool FStarted = false;  // WSAStartup succeeded: WSACleanup is owed
  bool WaitSocket(TSocket Socket, std::uint32_t WaitTime, bool ForWrite);
  int Checked(int Result, TSocket Socket, bool WouldBlockIsFine);
};

// Host and service names go to the library as 8-bit text of at most this many characters;
// longer ones are refused as unknown rather than cut into another name.
constexpr std::size_t MaxLookupName = 255;
