#include "net_dispatch.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <stdexcept>

#include "port/com_port.h"

// ------------------------------------------------------------------------ the socket object

namespace {

TQpDeviceSocket* GQpSocket = nullptr;

void FreeQpSocketAtExit() { DeactivateNetDispatch(); }

std::atomic<UINT_PTR> NextTimerId{1};
constexpr int MaxRoundsPerPass = 16;

}  // namespace

TQpDeviceSocket* QpSocket() {
  if (!GQpSocket) {
    GQpSocket = new TQpDeviceSocket;
    if (QCoreApplication::instance()) qAddPostRoutine(FreeQpSocketAtExit);
  }
  return GQpSocket;
}

void DeactivateNetDispatch() {
  TQpDeviceSocket* S = GQpSocket;
  GQpSocket = nullptr;
  delete S;
}

TQpDeviceSocket::TQpDeviceSocket() = default;

TQpDeviceSocket::~TQpDeviceSocket() {
  std::lock_guard<std::recursive_mutex> Guard(SockSection);
  for (auto& C : FConnections) C->Shutdown();
  FConnections.clear();
}

TWsConnection* TQpDeviceSocket::FindConnection(TSocket Socket) {
  if (Socket < 0) return nullptr;  // "no socket" must never match a connection without one
  std::lock_guard<std::recursive_mutex> Guard(SockSection);
  if (Socket == LastSocket && LastConnection) return LastConnection;
  for (auto& C : FConnections) {
    if (C->CommSocket() == Socket || C->SocketHandle() == Socket) {
      LastSocket = Socket;
      LastConnection = C.get();
      return C.get();
    }
  }
  return nullptr;
}

TSocket TQpDeviceSocket::TweakSocket(TSocket Socket) {
  TWsConnection* C = FindConnection(Socket);
  return C ? C->SocketHandle() : -1;
}

TWsConnection* TQpDeviceSocket::AddConnection(std::uint32_t InSize, std::uint32_t OutSize) {
  std::lock_guard<std::recursive_mutex> Guard(SockSection);
  FConnections.push_back(std::make_unique<TWsConnection>(*this, InSize, OutSize));
  return FConnections.back().get();
}

void TQpDeviceSocket::RemoveConnection(TWsConnection* Connection) {
  std::lock_guard<std::recursive_mutex> Guard(SockSection);
  ForgetCache();
  FConnections.erase(std::remove_if(FConnections.begin(), FConnections.end(),
                                    [&](const auto& C) { return C.get() == Connection; }),
                     FConnections.end());
}

std::shared_ptr<TQpWinsockDispatcher> TQpDeviceSocket::DispatcherOf(TWsConnection* Connection) {
  if (!Connection || Connection->SocketHandle() < 0) return nullptr;
  return TQpBaseDispatcher::GetTComRecPtr<TQpWinsockDispatcher>(Connection->SocketHandle());
}

LRESULT TQpDeviceSocket::DoDispMessage(TSocket Socket, int /*Event*/, LPARAM LP) {
  auto D = TQpBaseDispatcher::GetTComRecPtr<TQpWinsockDispatcher>(Socket);
  if (!D || !D->fDispatcherWindow) return 0;
  return SendMessage(D->fDispatcherWindow, CM_QPSOCKETMESSAGE, WPARAM(Socket), LP);
}

LRESULT TQpDeviceSocket::DoWsMessage(TSocket Socket, int Event, LPARAM LP) {
  auto D = TQpBaseDispatcher::GetTComRecPtr<TQpWinsockDispatcher>(Socket);
  if (!D) return 0;
  // A connection event may arrive inside a trigger delivery (a handler that processes
  // messages): the outer delivery's busy mark is restored afterwards, not cleared.
  bool WasBusy = false;
  D->SetEventBusy(WasBusy, true);
  LRESULT Result = 0;
  if (TQpCustomComPort* Port = D->Owner(); Port && Port->ComWindow())
    Result = SendMessage(Port->ComWindow(), CM_QPSOCKETMESSAGE, WPARAM(Event), LP);
  bool Dummy = false;
  D->SetEventBusy(Dummy, WasBusy);
  return Result;
}

void TQpDeviceSocket::DoRead(TSocket Socket) {
  const TSocket H = TweakSocket(Socket);
  if (H != -1) DoDispMessage(H, Fd_Read, 0);
  TQpSocket::DoRead(Socket);
}

void TQpDeviceSocket::DoWrite(TSocket Socket) { TQpSocket::DoWrite(Socket); }

void TQpDeviceSocket::DoConnect(TSocket Socket) {
  TWsConnection* C = FindConnection(Socket);
  if (!C) return;
  if (C->IsClient()) C->SetCommSocket(Socket);
  C->SetConnectionState(wcsConnected);
  C->WriteBuf(nullptr, 0);  // what was written while connecting goes out now
  DoWsMessage(Socket, Fd_Connect, 0);
  TQpSocket::DoConnect(Socket);
}

void TQpDeviceSocket::DoDisconnect(TSocket Socket) {
  if (TWsConnection* C = FindConnection(Socket)) {
    const TSocket Main = C->SocketHandle();
    auto D = DispatcherOf(C);
    // What arrived before the close reaches the port's handlers before the close does.
    if (D && C->Connected()) D->Dispatcher(CM_QPSOCKETMESSAGE, 0, 0);
    C = FindConnection(Socket);  // a handler may have closed the port meanwhile
    if (C) {
      if (D) {
        D->WsSockAddr = TSockAddrIn{};
        C->SetCommSocket(-1);
        C->SetConnectionState(wcsInit);
      }
      ForgetCache();
      if (Socket == Main) {
        DoWsMessage(Main, Fd_Close, 0);
      } else {
        DoWsMessage(Main, Fd_ClientClose, 0);
        CloseSocket(Socket);
      }
    }
  }
  TQpSocket::DoDisconnect(Socket);
}

void TQpDeviceSocket::DoAccept(TSocket Socket) {
  TWsConnection* C = FindConnection(Socket);
  auto D = DispatcherOf(C);
  if (!C || !D) {
    TQpSocket::DoAccept(Socket);
    return;
  }
  if (C->CommSocket() == -1) {
    const TSocket S = AcceptSocket(Socket, D->WsSockAddr);
    if (S == Invalid_Socket) {
      D->WsSockAddr = TSockAddrIn{};
      return;
    }
    if (DoWsMessage(Socket, Fd_Accept, LPARAM(D->WsSockAddr.sin_addr)) == 1) {
      C->SetCommSocket(S);
      C->SetConnectionState(wcsConnected);
    } else {
      CloseSocket(S);
      D->WsSockAddr = TSockAddrIn{};
      C->SetCommSocket(-1);
    }
    ForgetCache();
    TQpSocket::DoAccept(Socket);
  } else {
    // One client at a time: a newcomer is accepted and closed at once.
    TSockAddrIn Ignored;
    const TSocket S = AcceptSocket(Socket, Ignored);
    if (S != Invalid_Socket) CloseSocket(S);
  }
}

void TQpDeviceSocket::DoError(TSocket Socket, int ErrCode) {
  // A server's client lost by a reset or an abort is gone as surely as one that closed: free
  // its socket, so the next client can be taken.
  TWsConnection* C = FindConnection(Socket);
  if (C && !C->IsClient() && Socket == C->CommSocket() && Socket != C->SocketHandle() &&
      (ErrCode == wsaENetReset || ErrCode == wsaEConnAborted || ErrCode == wsaEConnReset)) {
    if (auto D = DispatcherOf(C)) D->WsSockAddr = TSockAddrIn{};
    C->SetCommSocket(-1);
    C->SetConnectionState(wcsInit);
    ForgetCache();
    CloseSocket(Socket);
    const TSocket Main = C->SocketHandle();
    DoWsMessage(Main, ErrCode, 0);
    if (OnWsError) OnWsError(this, Socket, ErrCode);
    return;
  }
  const TSocket H = TweakSocket(Socket);
  if (H != -1) DoWsMessage(H, ErrCode, 0);
  if (OnWsError) OnWsError(this, Socket, ErrCode);
}

// ------------------------------------------------------------------------ the dispatcher

TQpWinsockDispatcher::TQpWinsockDispatcher(TQpCustomComPort* Owner) : TQpBaseDispatcher(Owner) {}

TQpWinsockDispatcher::~TQpWinsockDispatcher() {
  if (DispActive) StopDispatcher();
}

TWsConnection* TQpWinsockDispatcher::Connection() {
  const std::int32_t Cid = CidEx.load();
  if (Cid < 0 || !QpSocket()) return nullptr;
  return QpSocket()->FindConnection(Cid);
}

void TQpWinsockDispatcher::InitSocketData(std::int32_t, std::uint32_t Address, std::uint16_t Port,
                                          bool IsClient, bool IsTelnet) {
  WsIsClient = IsClient;
  WsIsTelnet = IsTelnet;
  WsSockAddr = TSockAddrIn{};
  WsSockAddr.sin_family = Af_Inet;
  WsSockAddr.sin_port = Port;
  WsSockAddr.sin_addr = Address;
  WsHostAddr = TSockAddrIn{};
  WsHostAddr.sin_family = Af_Inet;
  WsHostAddr.sin_addr = InAddr_Any;
  if (!IsClient) WsHostAddr.sin_port = Port;
}

std::int32_t TQpWinsockDispatcher::EscapeComFunction(std::int32_t) { return 0; }

std::int32_t TQpWinsockDispatcher::FlushCom(std::int32_t Queue) {
  TWsConnection* C = Connection();
  if (!C) return 0;
  if (Queue == 0) C->FlushOutBuffer();
  if (Queue == 1) C->FlushInBuffer();
  return 0;
}

// A TCP connection has no line errors: socket errors travel to the port as connection events
// and never become line error bits. Only a failed set-up reports its reason here, once, for
// the open to fail with it.
std::int32_t TQpWinsockDispatcher::GetComError(TComStat& Stat) {
  if (TWsConnection* C = Connection()) {
    Stat.cbInQue = C->InChars();
    Stat.cbOutQue = C->OutChars();
    FInQue = Stat.cbInQue;
  } else {
    FInQue = 0;
    Stat.cbInQue = 0;
    Stat.cbOutQue = 0;
  }
  const int Err = FSetupError;
  FSetupError = 0;
  return Err == EWouldBlock ? 0 : Err;
}

std::int32_t TQpWinsockDispatcher::GetComEventMask(std::int32_t) { return 0; }

std::int32_t TQpWinsockDispatcher::GetComState(TDCB& ADCB) {
  ADCB.BaudRate = 19200;
  ADCB.ByteSize = 8;
  ADCB.Parity = 0;
  ADCB.StopBits = 1;
  return 0;
}

std::int32_t TQpWinsockDispatcher::ReadCom(void* Buf, std::int32_t Size) {
  TWsConnection* C = Connection();
  if (!C || !C->Connected()) return 0;
  return C->ReadBuf(static_cast<char*>(Buf), Size);
}

std::int32_t TQpWinsockDispatcher::SetComState(TDCB&) { return 0; }

// Only queues: PutBlock holds OutputSection here, and a failed send reaches the port's
// handlers. SendQueued sends once the lock is released.
std::int32_t TQpWinsockDispatcher::WriteCom(const void* Buf, std::int32_t Size) {
  TWsConnection* C = Connection();
  if (!C) return 0;
  return C->QueueBuf(static_cast<const char*>(Buf), Size);
}

void TQpWinsockDispatcher::SendQueued() {
  if (TWsConnection* C = Connection()) C->WriteBuf(nullptr, 0);
}

bool TQpWinsockDispatcher::WaitComEvent(std::uint32_t& EvtMask, void*) {
  EvtMask = 0;
  return true;
}

bool TQpWinsockDispatcher::SetupCom(std::int32_t, std::int32_t) {
  TQpDeviceSocket* S = QpSocket();
  const TSocket Sock = CidEx.load();
  auto Failed = [&](int Result) {
    if (Result != Socket_Error) return false;
    const int Err = SockFuncs.WSAGetLastError();
    if (Err == EWouldBlock) return false;
    FSetupError = Err;
    return true;
  };
  const std::int32_t On = -1;
  if (Failed(S->SetSocketOptions(Sock, Sol_Socket, So_ReuseAddr, &On, sizeof On))) return false;
  if (Failed(S->BindSocket(Sock, WsHostAddr))) return false;
  if (Failed(S->SetAsyncStyles(Sock, DefAsyncStyles))) return false;
  if (WsIsClient) {
    if (Failed(S->ConnectSocket(Sock, WsSockAddr))) return false;
  } else {
    if (Failed(S->ListenSocket(Sock, SoMaxConn))) return false;
  }
  if (TWsConnection* C = S->FindConnection(Sock)) {
    C->SetIsClient(WsIsClient);
    C->SetIsTelnet(WsIsTelnet);
    C->SetDispatcher(this);
    // Under DataSection like every ModemStatus writer, so the rule does not rest on this layer
    // having one thread.
    C->OnCarrier = [this](bool Connected) {
      DispLock Guard(DataSection);
      if (Connected)
        ModemStatus |= DCDMask;
      else
        ModemStatus &= std::uint8_t(~DCDMask);
    };
    C->OnTelnetLog = [this](TTelnetLogKind Kind, const std::string& Data) { LogTelnet(Kind, Data); };
  }
  return true;
}

void TQpWinsockDispatcher::LogTelnet(TTelnetLogKind Kind, const std::string& Data) {
  if (!DLoggingOn) return;
  static const TDispatchSubType Map[] = {dstRWill, dstRWont, dstRDo,   dstRDont, dstCommand,
                                         dstSDo,   dstSDont, dstSWill, dstSWont, dstSTerm,
                                         dstNone};
  // Option events carry the option as Data (the log names it); the terminal type its text.
  if (Kind == tlkSTerm || Data.empty())
    AddDispatchEntry(dtTelnet, Map[Kind], 0, Data.data(), std::uint32_t(Data.size()));
  else
    AddDispatchEntry(dtTelnet, Map[Kind], std::uint8_t(Data[0]), nullptr, 0);
}

void TQpWinsockDispatcher::StartDispatcher() {
  if (DispActive) throw std::runtime_error("Dispatcher already started");
  DispActive = true;
  std::weak_ptr<TQpBaseDispatcher> Weak = weak_from_this();
  CreateDispatcherWindow([Weak](TMessage& M) {
    if (auto Self = std::dynamic_pointer_cast<TQpWinsockDispatcher>(Weak.lock()))
      Self->DispatcherWndFunc(M);
  });
  TimerID = SetTimer(fDispatcherWindow, NextTimerId.fetch_add(1), WsCommTimerMs);
  if (TimerID == 0) {
    DeallocateHWnd(fDispatcherWindow);
    fDispatcherWindow = 0;
    DispActive = false;
    throw std::runtime_error("Resource not available");
  }
}

void TQpWinsockDispatcher::StopDispatcher() {
  if (!DispActive) return;
  if (fDispatcherWindow) {
    KillTimer(fDispatcherWindow, TimerID);
    DeallocateHWnd(fDispatcherWindow);
  }
  fDispatcherWindow = 0;
  TimerID = 0;
  DispActive = false;
}

std::uint32_t TQpWinsockDispatcher::OutBufUsed() {
  TWsConnection* C = Connection();
  return C ? C->QueuedOutChars() : 0;
}

std::uint32_t TQpWinsockDispatcher::InQueueUsed() {
  TWsConnection* C = Connection();
  return C ? C->InChars() : 0;
}

std::int32_t TQpWinsockDispatcher::OpenCom(const char*, std::uint32_t InQueue, std::uint32_t OutQueue) {
  TQpDeviceSocket* S = QpSocket();
  std::lock_guard<std::recursive_mutex> Guard(S->SockSection);
  S->CheckLoaded();  // an unusable library is the caller's exception, not a code
  try {
    TWsConnection* C = S->AddConnection(InQueue, OutQueue);
    CidEx = C->SocketHandle();
    return C->SocketHandle();
  } catch (const EQpSocketException& E) {
    return -E.ErrorCode();
  }
}

std::int32_t TQpWinsockDispatcher::CloseCom() {
  TQpDeviceSocket* S = QpSocket();
  std::lock_guard<std::recursive_mutex> Guard(S->SockSection);
  TWsConnection* C = Connection();
  CidEx = -1;  // the number may belong to another socket from now on
  if (!C) return -1;
  const int Result = C->Shutdown();
  S->RemoveConnection(C);
  return Result;
}

bool TQpWinsockDispatcher::CheckPort(const std::string& ComName) {
  const std::int32_t R = OpenCom(ComName.c_str(), 64, 64);
  if (R > 0) CloseCom();
  return R > 0;
}

std::int32_t TQpWinsockDispatcher::ProcessCommunications() {
  Dispatcher(0, 1, 0);
  return 0;
}

std::int32_t TQpWinsockDispatcher::Dispatcher(UINT, WPARAM wParam, LPARAM) {
  if (InDispatcher) return 0;
  auto Keep = shared_from_this();  // a handler may close and release the port meanwhile
  InDispatcher = true;
  // A pass repeats while data keeps arriving and the handlers keep taking it, so a busy
  // link is drained in one turn of the loop instead of one ring's worth per turn.
  for (int Round = 0; Round < MaxRoundsPerPass && !ClosePending; ++Round) {
    RefreshStatus();  // receives into the connection's ring and sends what waits
    const std::uint32_t Before = DBufHead;
    const bool WasFull = DispatchFull;
    if (FInQue > 0) ExtractData();
    // The connection's ring (the port's InSize) may be smaller than the input ring: while the
    // ring has room and more has arrived, take that too, so one notification carries up to a
    // ring's worth (each one runs every receiver).
    for (int More = 0; More < 4 && FInQue > 0 && !DispatchFull && !ClosePending; ++More) {
      const std::uint32_t Head = DBufHead;
      RefreshStatus();
      if (FInQue == 0) break;
      ExtractData();
      if (DBufHead == Head) break;
    }
    const bool Moved = DBufHead != Before || DispatchFull != WasFull;
    if (wParam == 0 && !fEventBusy) {
      {
        DispLock Guard(DataSection);  // as every writer of GlobalStatHit does
        GlobalStatHit = false;
      }
      while (!ClosePending && CheckTriggers()) {
      }
      if (GlobalStatHit) ResetStatusHits();
    } else {
      if (DLoggingOn) AddDispatchEntry(dtError, dstNone, 0, nullptr, 0);
      break;
    }
    if (!Moved || DispatchFull) break;
  }
  InDispatcher = false;
  if (ClosePending) DonePortPrim();
  return 0;
}

void TQpWinsockDispatcher::WsCommTimer() { Dispatcher(0, 0, 0); }

void TQpWinsockDispatcher::DispatcherWndFunc(TMessage& Msg) {
  if (Msg.Msg == WM_TIMER) {
    if (UINT_PTR(Msg.WParam) == TimerID) WsCommTimer();
    return;
  }
  if (Msg.Msg == CM_QPSOCKETMESSAGE) {
    if (std::int32_t(Msg.WParam) == CidEx.load()) Msg.Result = Dispatcher(Msg.Msg, 0, Msg.LParam);
    return;
  }
}
