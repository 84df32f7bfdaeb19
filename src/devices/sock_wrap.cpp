#include "sock_wrap.h"

#include <cstring>

#include "platform/error_handler.h"
#include "port/port_errors.h"

EQpSocketException EQpSocketException::CreateTranslate(int ErrCode, int, int) {
  return EQpSocketException(QpLoadStr(ErrCode), ErrCode);
}

EQpSocketException EQpSocketException::CreateNoInit(int ErrCode, int) {
  std::string Text = QpLoadStr(QPWSNOTINIT);
  const std::string Reason = QpLoadStr(ErrCode);
  if (auto P = Text.find("%s"); P != std::string::npos)
    Text.replace(P, 2, Reason);
  else
    Text += Reason;
  return EQpSocketException(Text, ErrCode);
}

TQpSocket::TQpSocket() {
  asDllLoaded = LoadWinsock();
  if (!asDllLoaded) {
    ShowErrorMessage(QPWSLOADERROR);
    asStartErrorCode = QPWSLOADERROR;
    return;
  }
  asStartErrorCode = SockFuncs.WSAStartup(Sock_Version, &asWSData);
  if (asStartErrorCode != 0) {
    ShowErrorMessage(asStartErrorCode);
    return;
  }
  FStarted = true;
  if ((asWSData.wVersion & 0xFF) != 1 || (asWSData.wVersion >> 8) != 1) {
    asStartErrorCode = QPWSVERSIONERROR;
    ShowErrorMessage(QPWSVERSIONERROR);
  }
  FHandle = AllocateHWnd([this](TMessage& M) { WndProc(M); });
}

TQpSocket::~TQpSocket() {
  if (asDllLoaded && FStarted && SockFuncs.WSACleanup) {
    if (SockFuncs.WSACancelBlockingCall) SockFuncs.WSACancelBlockingCall();
    SockFuncs.WSACleanup();
  }
  if (FHandle) DeallocateHWnd(FHandle);
}

void TQpSocket::WndProc(TMessage& Msg) {
  constexpr UINT WM_QUERYENDSESSION = 0x0011;
  try {
    if (Msg.Msg == CM_QPSOCKETMESSAGE)
      CMQpSocketMessage(Msg);
    else if (Msg.Msg == WM_QUERYENDSESSION)
      Msg.Result = 1;
  } catch (...) {
    HandleException(std::current_exception());
  }
}

void TQpSocket::CMQpSocketMessage(TMessage& Msg) {
  const TCMQpSocketMessage M = TCMQpSocketMessage::From(Msg);
  if (M.SelectError != 0) {
    DoError(M.Socket, M.SelectError);
    return;
  }
  switch (M.SelectEvent) {
    case Fd_Read: DoRead(M.Socket); break;
    case Fd_Write: DoWrite(M.Socket); break;
    case Fd_Accept: DoAccept(M.Socket); break;
    case Fd_Connect: DoConnect(M.Socket); break;
    case Fd_Close: DoDisconnect(M.Socket); break;
    default: break;  // out-of-band data is not used
  }
}

void TQpSocket::DoAccept(TSocket Socket) {
  if (OnWsAccept) OnWsAccept(this, Socket);
}
void TQpSocket::DoConnect(TSocket Socket) {
  if (OnWsConnect) OnWsConnect(this, Socket);
}
void TQpSocket::DoDisconnect(TSocket Socket) {
  if (OnWsDisconnect) OnWsDisconnect(this, Socket);
}
void TQpSocket::DoRead(TSocket Socket) {
  if (OnWsRead) OnWsRead(this, Socket);
}
void TQpSocket::DoWrite(TSocket Socket) {
  if (OnWsWrite) OnWsWrite(this, Socket);
}
void TQpSocket::DoError(TSocket Socket, int ErrCode) {
  if (OnWsError)
    OnWsError(this, Socket, ErrCode);
  else
    throw EQpSocketException::CreateTranslate(ErrCode);
}

void TQpSocket::CheckLoaded() const {
  if (asStartErrorCode != 0) throw EQpSocketException::CreateNoInit(asStartErrorCode);
}

int TQpSocket::Checked(int Result, TSocket Socket, bool WouldBlockIsFine) {
  if (Result == Socket_Error) {
    const int Err = SockFuncs.WSAGetLastError();
    if (!(WouldBlockIsFine && Err == EWouldBlock)) DoError(Socket, Err);
  }
  return Result;
}

TSocket TQpSocket::CreateSocket() {
  CheckLoaded();
  TSocket S = SockFuncs.socket(Af_Inet, Sock_Stream, IpProto_Ip);
  if (S == Invalid_Socket) throw EQpSocketException::CreateTranslate(SockFuncs.WSAGetLastError());
  return S;
}

int TQpSocket::BindSocket(TSocket Socket, const TSockAddrIn& Address) {
  CheckLoaded();
  return Checked(SockFuncs.bind(Socket, &Address, sizeof Address), Socket, false);
}

int TQpSocket::ConnectSocket(TSocket Socket, const TSockAddrIn& Address) {
  CheckLoaded();
  return Checked(SockFuncs.connect(Socket, &Address, sizeof Address), Socket, true);
}

int TQpSocket::ListenSocket(TSocket Socket, int Backlog) {
  CheckLoaded();
  return Checked(SockFuncs.listen(Socket, Backlog), Socket, true);
}

TSocket TQpSocket::AcceptSocket(TSocket Socket, TSockAddrIn& Address) {
  CheckLoaded();
  std::int32_t Len = sizeof Address;
  TSocket S = SockFuncs.accept(Socket, &Address, &Len);
  if (S == Invalid_Socket) DoError(Socket, SockFuncs.WSAGetLastError());
  return S;
}

int TQpSocket::ReadSocket(TSocket Socket, char* Buf, int BufSize, int Flags) {
  CheckLoaded();
  return Checked(SockFuncs.recv(Socket, Buf, BufSize, Flags), Socket, true);
}

int TQpSocket::WriteSocket(TSocket Socket, const char* Buf, int BufSize, int Flags) {
  CheckLoaded();
  return Checked(SockFuncs.send(Socket, Buf, BufSize, Flags), Socket, true);
}

int TQpSocket::ShutdownSocket(TSocket Socket, int How) {
  CheckLoaded();
  return Checked(SockFuncs.shutdown(Socket, How), Socket, true);
}

int TQpSocket::CloseSocket(TSocket Socket) {
  CheckLoaded();
  return Checked(SockFuncs.closesocket(Socket), Socket, false);
}

int TQpSocket::SetAsyncStyles(TSocket Socket, std::int32_t lEvent) {
  CheckLoaded();
  return Checked(SockFuncs.WSAAsyncSelect(Socket, FHandle, CM_QPSOCKETMESSAGE, lEvent), Socket,
                 false);
}

int TQpSocket::SetSocketOptions(TSocket Socket, int Level, int OptName, const void* OptVal,
                                int OptLen) {
  CheckLoaded();
  return Checked(SockFuncs.setsockopt(Socket, Level, OptName, static_cast<const char*>(OptVal),
                                      OptLen),
                 Socket, false);
}

bool TQpSocket::WaitSocket(TSocket Socket, std::uint32_t WaitTime, bool ForWrite) {
  CheckLoaded();
  TFDSet Set;
  Set.fd_count = 1;
  Set.fd_array[0] = Socket;
  TTimeVal T;
  T.tv_sec = std::int32_t(WaitTime / 1000);
  T.tv_usec = std::int32_t((WaitTime % 1000) * 1000);
  return SockFuncs.select(0, ForWrite ? nullptr : &Set, ForWrite ? &Set : nullptr, nullptr, &T) > 0;
}

bool TQpSocket::CanReadSocket(TSocket Socket, std::uint32_t WaitTime) {
  return WaitSocket(Socket, WaitTime, false);
}
bool TQpSocket::CanWriteSocket(TSocket Socket, std::uint32_t WaitTime) {
  return WaitSocket(Socket, WaitTime, true);
}

std::uint32_t TQpSocket::htonl(std::uint32_t V) {
  CheckLoaded();
  return SockFuncs.htonl(V);
}
std::uint16_t TQpSocket::htons(std::uint16_t V) {
  CheckLoaded();
  return SockFuncs.htons(V);
}
std::uint32_t TQpSocket::ntohl(std::uint32_t V) {
  CheckLoaded();
  return SockFuncs.ntohl(V);
}
std::uint16_t TQpSocket::ntohs(std::uint16_t V) {
  CheckLoaded();
  return SockFuncs.ntohs(V);
}

std::uint32_t TQpSocket::String2NetAddr(const std::string& S) {
  CheckLoaded();
  if (S.empty() || S.size() > std::size_t(IPStrSize)) return InAddr_None;
  return SockFuncs.inet_addr(S.c_str());
}

std::string TQpSocket::NetAddr2String(std::uint32_t InAddr) {
  CheckLoaded();
  const char* P = SockFuncs.inet_ntoa(InAddr);
  return P ? P : "";
}

std::uint32_t TQpSocket::LookupName(const std::string& Name) {
  CheckLoaded();
  if (Name.empty() || Name.size() > MaxLookupName) return 0;
  THostEnt* H = SockFuncs.gethostbyname(Name.c_str());
  if (!H || !H->h_addr_list || !H->h_addr_list[0]) return 0;
  std::uint32_t A;
  std::memcpy(&A, H->h_addr_list[0], 4);
  return A;
}

std::string TQpSocket::LookupAddress(std::uint32_t InAddr) {
  CheckLoaded();
  THostEnt* H = SockFuncs.gethostbyaddr(reinterpret_cast<const char*>(&InAddr), 4, Af_Inet);
  return H && H->h_name ? H->h_name : "";
}

std::uint16_t TQpSocket::LookupService(const std::string& Service) {
  CheckLoaded();
  if (Service.empty() || Service.size() > MaxLookupName) return 0;
  TServEnt* S = SockFuncs.getservbyname(Service.c_str(), "tcp");
  return S ? SockFuncs.ntohs(std::uint16_t(S->s_port)) : 0;
}

std::string TQpSocket::LookupPort(std::uint16_t Port) {
  CheckLoaded();
  TServEnt* S = SockFuncs.getservbyport(SockFuncs.htons(Port), nullptr);
  return S && S->s_name ? S->s_name : "";
}

std::string TQpSocket::GetLocalHost() {
  CheckLoaded();
  char Buf[256] = {};
  if (SockFuncs.gethostname(Buf, sizeof Buf) != 0) return "";
  return Buf;
}

std::string TQpSocket::GetLocalAddress() {
  CheckLoaded();
  const std::string Host = GetLocalHost();
  if (Host.empty()) return "";
  THostEnt* H = SockFuncs.gethostbyname(Host.c_str());
  if (!H || !H->h_addr_list || !H->h_addr_list[0]) return "";
  std::uint32_t A;
  std::memcpy(&A, H->h_addr_list[0], 4);
  return NetAddr2String(A);
}

int TQpSocket::GetLastError() {
  CheckLoaded();
  return SockFuncs.WSAGetLastError();
}

std::string TQpSocket::Description() const { return asWSData.szDescription; }
std::string TQpSocket::SystemStatus() const { return asWSData.szSystemStatus; }
