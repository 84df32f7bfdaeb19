// The socket library's entry points on BSD sockets, with the Windows semantics the network
// layer relies on:
// - errors are Windows socket error numbers (an explicit table, never 10000 + errno);
// - no call raises SIGPIPE (send uses MSG_NOSIGNAL);
// - WSAAsyncSelect makes the socket non-blocking and delivers notifications to a window on the
//   GUI thread through QSocketNotifier, with the re-enabling rules of the original: one
//   FD_CONNECT; FD_READ again only after a recv while data remains; FD_ACCEPT again after
//   accept; FD_WRITE after connecting and after a send that would have blocked; one FD_CLOSE,
//   and only once the data before it has been received;
// - a non-blocking connect that fails at once (refused, unreachable) reports would-block and
//   delivers the failure later as FD_CONNECT with the error;
// - closing a socket drops its notifications, including those not yet delivered, so a
//   reused descriptor number never receives an earlier socket's events.

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "sock_loader.h"

namespace {

thread_local int LastError = 0;
int StartCount = 0;

void SetError(int Code) { LastError = Code; }
int FailErrno() {
  LastError = WsaErrorFromErrno(errno);
  return Socket_Error;
}

// ---------------------------------------------------------------- asynchronous notifications

struct TAsyncSel {
  TSocket S = -1;
  HWND Wnd = 0;
  UINT Msg = 0;
  std::int32_t Events = 0;
  QSocketNotifier* ReadN = nullptr;
  QSocketNotifier* WriteN = nullptr;
  bool Connecting = false;
  bool Connected = false;
  bool Listening = false;
  bool CloseSent = false;
};

std::unordered_map<TSocket, std::shared_ptr<TAsyncSel>> AsyncTable;  // GUI thread only

std::shared_ptr<TAsyncSel> FindAsync(TSocket S) {
  auto It = AsyncTable.find(S);
  return It == AsyncTable.end() ? nullptr : It->second;
}

LPARAM MakeSelectLParam(int Event, int Error) {
  return LPARAM((std::uint32_t(Error & 0xFFFF) << 16) | std::uint32_t(Event & 0xFFFF));
}

void Notify(const std::shared_ptr<TAsyncSel>& A, int Event, int Error) {
  if (!(A->Events & Event)) return;
  SendMessage(A->Wnd, A->Msg, WPARAM(A->S), MakeSelectLParam(Event, Error));
}

// Delivered on a later turn of the loop; dropped when the socket has been closed meanwhile.
void NotifyLater(const std::shared_ptr<TAsyncSel>& A, int Event, int Error) {
  std::weak_ptr<TAsyncSel> Weak = A;
  RunOnGuiThread([Weak, Event, Error] {
    if (auto Live = Weak.lock()) Notify(Live, Event, Error);
  });
}

void EnableRead(const std::shared_ptr<TAsyncSel>& A) {
  if (A->ReadN && !A->CloseSent && (A->Connected || A->Listening)) A->ReadN->setEnabled(true);
}

void OnReadable(const std::shared_ptr<TAsyncSel>& A) {
  A->ReadN->setEnabled(false);
  if (A->Listening) {
    Notify(A, Fd_Accept, 0);  // re-armed by accept
    return;
  }
  char C;
  ssize_t N = ::recv(A->S, &C, 1, MSG_PEEK | MSG_DONTWAIT);
  if (N > 0) {
    Notify(A, Fd_Read, 0);  // re-armed by recv
  } else if (N == 0) {
    A->CloseSent = true;
    Notify(A, Fd_Close, 0);
  } else if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
    A->ReadN->setEnabled(true);
  } else {
    A->CloseSent = true;
    Notify(A, Fd_Close, WsaErrorFromErrno(errno));
  }
}

void OnWritable(const std::shared_ptr<TAsyncSel>& A) {
  A->WriteN->setEnabled(false);
  if (A->Connecting) {
    A->Connecting = false;
    int Err = 0;
    socklen_t Len = sizeof Err;
    if (::getsockopt(A->S, SOL_SOCKET, SO_ERROR, &Err, &Len) != 0) Err = errno;
    if (Err != 0) {
      Notify(A, Fd_Connect, WsaErrorFromErrno(Err));
      return;
    }
    A->Connected = true;
    EnableRead(A);
    std::weak_ptr<TAsyncSel> Weak = A;
    Notify(A, Fd_Connect, 0);
    if (auto Live = Weak.lock(); Live && FindAsync(Live->S) == Live) Notify(Live, Fd_Write, 0);
    return;
  }
  Notify(A, Fd_Write, 0);
}

void DropAsync(TSocket S) {
  auto It = AsyncTable.find(S);
  if (It == AsyncTable.end()) return;
  auto A = It->second;
  AsyncTable.erase(It);
  for (QSocketNotifier* N : {A->ReadN, A->WriteN}) {
    if (!N) continue;
    N->setEnabled(false);
    N->deleteLater();
  }
  A->ReadN = A->WriteN = nullptr;
}

bool IsListening(int Fd) {
  int On = 0;
  socklen_t Len = sizeof On;
  return ::getsockopt(Fd, SOL_SOCKET, SO_ACCEPTCONN, &On, &Len) == 0 && On != 0;
}

bool IsConnected(int Fd) {
  sockaddr_storage Addr{};
  socklen_t Len = sizeof Addr;
  return ::getpeername(Fd, reinterpret_cast<sockaddr*>(&Addr), &Len) == 0;
}

std::shared_ptr<TAsyncSel> Register(TSocket S, HWND Wnd, UINT Msg, std::int32_t Events) {
  DropAsync(S);
  auto A = std::make_shared<TAsyncSel>();
  A->S = S;
  A->Wnd = Wnd;
  A->Msg = Msg;
  A->Events = Events;
  A->Listening = IsListening(S);
  A->Connected = !A->Listening && IsConnected(S);
  A->ReadN = new QSocketNotifier(S, QSocketNotifier::Read);
  A->WriteN = new QSocketNotifier(S, QSocketNotifier::Write);
  A->ReadN->setEnabled(false);
  A->WriteN->setEnabled(false);
  std::weak_ptr<TAsyncSel> Weak = A;
  QObject::connect(A->ReadN, &QSocketNotifier::activated, A->ReadN, [Weak] {
    if (auto Live = Weak.lock(); Live && Live->ReadN) OnReadable(Live);
  });
  QObject::connect(A->WriteN, &QSocketNotifier::activated, A->WriteN, [Weak] {
    if (auto Live = Weak.lock(); Live && Live->WriteN) OnWritable(Live);
  });
  AsyncTable[S] = A;
  EnableRead(A);
  if (A->Connected) NotifyLater(A, Fd_Write, 0);
  return A;
}

bool SetNonBlocking(int Fd, bool On) {
  int Flags = ::fcntl(Fd, F_GETFL);
  if (Flags < 0) return false;
  Flags = On ? (Flags | O_NONBLOCK) : (Flags & ~O_NONBLOCK);
  return ::fcntl(Fd, F_SETFL, Flags) == 0;
}

// ---------------------------------------------------------------- addresses

bool ToSockaddr(const TSockAddrIn* Addr, int Len, sockaddr_in& Out) {
  if (!Addr || Len < int(sizeof(TSockAddrIn))) {
    SetError(wsaEFault);
    return false;
  }
  if (Addr->sin_family != Af_Inet) {
    SetError(wsaEAfNoSupport);
    return false;
  }
  Out = sockaddr_in{};
  Out.sin_family = AF_INET;
  Out.sin_port = Addr->sin_port;
  Out.sin_addr.s_addr = Addr->sin_addr;
  return true;
}

void FromSockaddr(const sockaddr_in& In, TSockAddrIn* Addr, std::int32_t* Len) {
  if (!Addr) return;
  if (Len && *Len < int(sizeof(TSockAddrIn))) return;
  *Addr = TSockAddrIn{};
  Addr->sin_family = Af_Inet;
  Addr->sin_port = In.sin_port;
  Addr->sin_addr = In.sin_addr.s_addr;
  if (Len) *Len = sizeof(TSockAddrIn);
}

// ---------------------------------------------------------------- entry points

TSocket ws_accept(TSocket S, TSockAddrIn* Addr, std::int32_t* AddrLen) {
  sockaddr_in In{};
  socklen_t Len = sizeof In;
  int Fd = ::accept4(S, reinterpret_cast<sockaddr*>(&In), &Len, SOCK_CLOEXEC);
  int SavedErrno = errno;
  auto A = FindAsync(S);
  if (A) EnableRead(A);
  if (Fd < 0) {
    errno = SavedErrno;
    return FailErrno();
  }
  FromSockaddr(In, Addr, AddrLen);
  if (A) {
    // The accepted socket takes over the listening socket's notification request.
    SetNonBlocking(Fd, true);
    Register(Fd, A->Wnd, A->Msg, A->Events);
  }
  return Fd;
}

int ws_bind(TSocket S, const TSockAddrIn* Addr, int Len) {
  sockaddr_in In;
  if (!ToSockaddr(Addr, Len, In)) return Socket_Error;
  if (::bind(S, reinterpret_cast<const sockaddr*>(&In), sizeof In) != 0) return FailErrno();
  return 0;
}

int ws_closesocket(TSocket S) {
  if (S < 0) {
    SetError(wsaENotSock);
    return Socket_Error;
  }
  DropAsync(S);
  if (::close(S) != 0) return FailErrno();
  return 0;
}

int ws_connect(TSocket S, const TSockAddrIn* Addr, int Len) {
  sockaddr_in In;
  if (!ToSockaddr(Addr, Len, In)) return Socket_Error;
  auto A = FindAsync(S);
  if (::connect(S, reinterpret_cast<const sockaddr*>(&In), sizeof In) == 0) {
    if (!A) return 0;
    // Completion is always reported by notification, as for a connect still in progress.
    A->Connecting = true;
    A->WriteN->setEnabled(true);
    SetError(EWouldBlock);
    return Socket_Error;
  }
  const int E = errno;
  if (A && E == EINPROGRESS) {
    A->Connecting = true;
    A->WriteN->setEnabled(true);
    SetError(EWouldBlock);
    return Socket_Error;
  }
  if (A && (E == ECONNREFUSED || E == ENETUNREACH || E == EHOSTUNREACH || E == ETIMEDOUT ||
            E == ECONNRESET || E == EHOSTDOWN || E == ENETDOWN)) {
    NotifyLater(A, Fd_Connect, WsaErrorFromErrno(E));
    SetError(EWouldBlock);
    return Socket_Error;
  }
  return FailErrno();
}

int ws_ioctlsocket(TSocket S, std::int32_t Cmd, std::uint32_t* Arg) {
  if (!Arg) {
    SetError(wsaEFault);
    return Socket_Error;
  }
  if (Cmd == FionBio) {
    if (!SetNonBlocking(S, *Arg != 0)) return FailErrno();
    return 0;
  }
  if (Cmd == FionRead) {
    int N = 0;
    if (::ioctl(S, FIONREAD, &N) != 0) return FailErrno();
    *Arg = std::uint32_t(N);
    return 0;
  }
  SetError(wsaEInVal);
  return Socket_Error;
}

int ws_getpeername(TSocket S, TSockAddrIn* Addr, std::int32_t* Len) {
  sockaddr_in In{};
  socklen_t L = sizeof In;
  if (::getpeername(S, reinterpret_cast<sockaddr*>(&In), &L) != 0) return FailErrno();
  FromSockaddr(In, Addr, Len);
  return 0;
}

int ws_getsockname(TSocket S, TSockAddrIn* Addr, std::int32_t* Len) {
  sockaddr_in In{};
  socklen_t L = sizeof In;
  if (::getsockname(S, reinterpret_cast<sockaddr*>(&In), &L) != 0) return FailErrno();
  FromSockaddr(In, Addr, Len);
  return 0;
}

bool MapOption(int Level, int Name, int& OsLevel, int& OsName) {
  if (Level == Sol_Socket) {
    OsLevel = SOL_SOCKET;
    switch (Name) {
      case So_ReuseAddr: OsName = SO_REUSEADDR; return true;
      case So_KeepAlive: OsName = SO_KEEPALIVE; return true;
      case So_SndBuf: OsName = SO_SNDBUF; return true;
      case So_RcvBuf: OsName = SO_RCVBUF; return true;
      case So_Error: OsName = SO_ERROR; return true;
      default: return false;
    }
  }
  if (Level == IpProto_Tcp && Name == Tcp_NoDelay) {
    OsLevel = IPPROTO_TCP;
    OsName = TCP_NODELAY;
    return true;
  }
  return false;
}

int ws_getsockopt(TSocket S, int Level, int Name, char* Val, std::int32_t* Len) {
  int OsLevel, OsName;
  if (!MapOption(Level, Name, OsLevel, OsName)) {
    SetError(wsaENoProtoOpt);
    return Socket_Error;
  }
  if (!Val || !Len || *Len < 4) {
    SetError(wsaEFault);
    return Socket_Error;
  }
  int V = 0;
  socklen_t L = sizeof V;
  if (::getsockopt(S, OsLevel, OsName, &V, &L) != 0) return FailErrno();
  if (OsName == SO_ERROR && OsLevel == SOL_SOCKET && V != 0) V = WsaErrorFromErrno(V);
  std::int32_t Out = V;
  std::memcpy(Val, &Out, 4);
  *Len = 4;
  return 0;
}

int ws_setsockopt(TSocket S, int Level, int Name, const char* Val, int Len) {
  int OsLevel, OsName;
  if (!MapOption(Level, Name, OsLevel, OsName) || OsName == SO_ERROR) {
    SetError(wsaENoProtoOpt);
    return Socket_Error;
  }
  if (!Val || Len < 1) {
    SetError(wsaEFault);
    return Socket_Error;
  }
  std::int32_t V = 0;
  std::memcpy(&V, Val, std::min(Len, 4));
  if (Len < 4) V = static_cast<unsigned char>(Val[0]);  // a one-byte boolean
  if (OsName == SO_REUSEADDR || OsName == SO_KEEPALIVE || OsName == TCP_NODELAY) V = V != 0;
  if (::setsockopt(S, OsLevel, OsName, &V, sizeof V) != 0) return FailErrno();
  return 0;
}

std::uint32_t ws_htonl(std::uint32_t V) { return htonl(V); }
std::uint16_t ws_htons(std::uint16_t V) { return htons(V); }
std::uint32_t ws_ntohl(std::uint32_t V) { return ntohl(V); }
std::uint16_t ws_ntohs(std::uint16_t V) { return ntohs(V); }

std::uint32_t ws_inet_addr(const char* S) {
  if (!S) return InAddr_None;
  in_addr A{};
  if (::inet_aton(S, &A) == 0) return InAddr_None;
  return A.s_addr;
}

char* ws_inet_ntoa(std::uint32_t Addr) {
  thread_local char Buf[INET_ADDRSTRLEN];
  in_addr A{};
  A.s_addr = Addr;
  ::inet_ntop(AF_INET, &A, Buf, sizeof Buf);
  return Buf;
}

int ws_listen(TSocket S, int Backlog) {
  if (::listen(S, Backlog) != 0) return FailErrno();
  if (auto A = FindAsync(S)) {
    A->Listening = true;
    A->Connected = false;
    EnableRead(A);
  }
  return 0;
}

int ws_recv(TSocket S, char* Buf, int Len, int Flags) {
  if (Len < 0) {
    SetError(wsaEFault);
    return Socket_Error;
  }
  ssize_t N = ::recv(S, Buf, size_t(Len), Flags & MSG_PEEK);
  int SavedErrno = errno;
  if (auto A = FindAsync(S)) EnableRead(A);  // FD_READ again while data remains
  if (N < 0) {
    errno = SavedErrno;
    return FailErrno();
  }
  return int(N);
}

int ws_recvfrom(TSocket S, char* Buf, int Len, int Flags, TSockAddrIn* From, std::int32_t* FromLen) {
  sockaddr_in In{};
  socklen_t L = sizeof In;
  ssize_t N = ::recvfrom(S, Buf, size_t(std::max(Len, 0)), Flags & MSG_PEEK,
                         reinterpret_cast<sockaddr*>(&In), &L);
  int SavedErrno = errno;
  if (auto A = FindAsync(S)) EnableRead(A);
  if (N < 0) {
    errno = SavedErrno;
    return FailErrno();
  }
  if (L >= sizeof(sockaddr_in)) FromSockaddr(In, From, FromLen);
  return int(N);
}

int ws_select(int, TFDSet* R, TFDSet* W, TFDSet* E, const TTimeVal* Timeout) {
  std::vector<pollfd> Fds;
  auto Add = [&](TFDSet* Set, short Ev) {
    if (!Set) return;
    for (std::uint32_t I = 0; I < std::min<std::uint32_t>(Set->fd_count, Fd_SetSize); ++I)
      Fds.push_back(pollfd{Set->fd_array[I], Ev, 0});
  };
  Add(R, POLLIN);
  Add(W, POLLOUT);
  Add(E, POLLPRI);
  if (Fds.empty()) {
    SetError(wsaEInVal);
    return Socket_Error;
  }
  int Ms = -1;
  if (Timeout) Ms = int(Timeout->tv_sec) * 1000 + int(Timeout->tv_usec) / 1000;
  int N;
  do {
    N = ::poll(Fds.data(), Fds.size(), Ms);
  } while (N < 0 && errno == EINTR);
  if (N < 0) return FailErrno();
  for (const pollfd& P : Fds)
    if (P.revents & POLLNVAL) {
      SetError(wsaENotSock);
      return Socket_Error;
    }
  int Total = 0;
  std::size_t Index = 0;
  auto Keep = [&](TFDSet* Set, short Ev) {
    if (!Set) return;
    TFDSet Out;
    for (std::uint32_t I = 0; I < std::min<std::uint32_t>(Set->fd_count, Fd_SetSize); ++I) {
      const pollfd& P = Fds[Index++];
      if (P.revents & (Ev | POLLERR | POLLHUP)) Out.fd_array[Out.fd_count++] = P.fd;
    }
    Total += int(Out.fd_count);
    *Set = Out;
  };
  Keep(R, POLLIN);
  Keep(W, POLLOUT);
  Keep(E, POLLPRI);
  return Total;
}

int ws_send(TSocket S, const char* Buf, int Len, int Flags) {
  if (Len < 0) {
    SetError(wsaEFault);
    return Socket_Error;
  }
  ssize_t N = ::send(S, Buf, size_t(Len), (Flags & MSG_OOB) | MSG_NOSIGNAL);
  if (N < 0) {
    const int E = errno;
    if (E == EAGAIN || E == EWOULDBLOCK) {
      if (auto A = FindAsync(S); A && A->Connected) A->WriteN->setEnabled(true);
    }
    errno = E;
    return FailErrno();
  }
  return int(N);
}

int ws_sendto(TSocket S, const char* Buf, int Len, int Flags, const TSockAddrIn* To, int ToLen) {
  if (!To) return ws_send(S, Buf, Len, Flags);
  sockaddr_in In;
  if (!ToSockaddr(To, ToLen, In)) return Socket_Error;
  ssize_t N = ::sendto(S, Buf, size_t(std::max(Len, 0)), (Flags & MSG_OOB) | MSG_NOSIGNAL,
                       reinterpret_cast<const sockaddr*>(&In), sizeof In);
  if (N < 0) return FailErrno();
  return int(N);
}

int ws_shutdown(TSocket S, int How) {
  if (How < 0 || How > 2) {
    SetError(wsaEInVal);
    return Socket_Error;
  }
  if (::shutdown(S, How) != 0) return FailErrno();
  return 0;
}

TSocket ws_socket(int Af, int Type, int Protocol) {
  if (StartCount == 0) {
    SetError(wsaNotInitialised);
    return Invalid_Socket;
  }
  if (Af != Af_Inet) {
    SetError(wsaEAfNoSupport);
    return Invalid_Socket;
  }
  int OsType = Type == Sock_Stream ? SOCK_STREAM : Type == 2 ? SOCK_DGRAM : -1;
  if (OsType < 0) {
    SetError(wsaESocktNoSupport);
    return Invalid_Socket;
  }
  int Fd = ::socket(AF_INET, OsType | SOCK_CLOEXEC, Protocol);
  if (Fd < 0) return FailErrno();
  return Fd;
}

// Host entries live in per-thread storage until the next lookup on the same thread.
struct THostStore {
  std::string Name;
  std::vector<std::uint32_t> Addrs;
  std::vector<char*> AddrPtrs;
  char* NoAliases[1] = {nullptr};
  THostEnt Ent{};
  THostEnt* Fill() {
    AddrPtrs.clear();
    for (auto& A : Addrs) AddrPtrs.push_back(reinterpret_cast<char*>(&A));
    AddrPtrs.push_back(nullptr);
    Ent.h_name = Name.data();
    Ent.h_aliases = NoAliases;
    Ent.h_addrtype = Af_Inet;
    Ent.h_length = 4;
    Ent.h_addr_list = AddrPtrs.data();
    return &Ent;
  }
};
thread_local THostStore HostStore;

std::string OwnHostName() {
  char Buf[256] = {};
  if (::gethostname(Buf, sizeof Buf - 1) != 0) return {};
  return Buf;
}

// This machine's own IPv4 addresses, those of real interfaces first, without a resolver.
std::vector<std::uint32_t> InterfaceAddresses() {
  std::vector<std::uint32_t> Outer, Loop;
  ifaddrs* List = nullptr;
  if (::getifaddrs(&List) != 0) return {};
  for (ifaddrs* I = List; I; I = I->ifa_next) {
    if (!I->ifa_addr || I->ifa_addr->sa_family != AF_INET || !(I->ifa_flags & IFF_UP)) continue;
    auto Addr = reinterpret_cast<sockaddr_in*>(I->ifa_addr)->sin_addr.s_addr;
    ((I->ifa_flags & IFF_LOOPBACK) ? Loop : Outer).push_back(Addr);
  }
  ::freeifaddrs(List);
  Outer.insert(Outer.end(), Loop.begin(), Loop.end());
  return Outer;
}

THostEnt* ws_gethostbyname(const char* Name) {
  if (!Name) {
    SetError(wsaEFault);
    return nullptr;
  }
  const std::string Own = OwnHostName();
  if (!Own.empty() && ::strcasecmp(Own.c_str(), Name) == 0) {
    auto Addrs = InterfaceAddresses();
    if (Addrs.empty()) {
      SetError(wsaNo_Data);
      return nullptr;
    }
    HostStore.Name = Own;
    HostStore.Addrs = std::move(Addrs);
    return HostStore.Fill();
  }
  addrinfo Hints{};
  Hints.ai_family = AF_INET;
  Hints.ai_socktype = SOCK_STREAM;
  Hints.ai_flags = AI_CANONNAME;
  addrinfo* Res = nullptr;
  int Rc = ::getaddrinfo(Name, nullptr, &Hints, &Res);
  if (Rc != 0) {
    SetError(WsaErrorFromResolver(Rc, errno));
    return nullptr;
  }
  HostStore.Name = Res->ai_canonname ? Res->ai_canonname : Name;
  HostStore.Addrs.clear();
  for (addrinfo* P = Res; P; P = P->ai_next)
    if (P->ai_family == AF_INET) {
      auto A = reinterpret_cast<sockaddr_in*>(P->ai_addr)->sin_addr.s_addr;
      if (std::find(HostStore.Addrs.begin(), HostStore.Addrs.end(), A) == HostStore.Addrs.end())
        HostStore.Addrs.push_back(A);
    }
  ::freeaddrinfo(Res);
  if (HostStore.Addrs.empty()) {
    SetError(wsaNo_Data);
    return nullptr;
  }
  return HostStore.Fill();
}

THostEnt* ws_gethostbyaddr(const char* Addr, int Len, int Type) {
  if (!Addr || Len != 4 || Type != Af_Inet) {
    SetError(wsaEFault);
    return nullptr;
  }
  sockaddr_in In{};
  In.sin_family = AF_INET;
  std::memcpy(&In.sin_addr.s_addr, Addr, 4);
  char Host[NI_MAXHOST];
  int Rc = ::getnameinfo(reinterpret_cast<sockaddr*>(&In), sizeof In, Host, sizeof Host, nullptr,
                         0, NI_NAMEREQD);
  if (Rc != 0) {
    SetError(WsaErrorFromResolver(Rc, errno));
    return nullptr;
  }
  HostStore.Name = Host;
  HostStore.Addrs = {In.sin_addr.s_addr};
  return HostStore.Fill();
}

int ws_gethostname(char* Name, int Len) {
  if (!Name || Len <= 0) {
    SetError(wsaEFault);
    return Socket_Error;
  }
  const std::string Own = OwnHostName();
  if (Own.empty()) return FailErrno();
  if (int(Own.size()) >= Len) {
    SetError(wsaEFault);
    return Socket_Error;
  }
  std::memcpy(Name, Own.c_str(), Own.size() + 1);
  return 0;
}

struct TServStore {
  std::string Name, Proto;
  char* NoAliases[1] = {nullptr};
  TServEnt Ent{};
};
thread_local TServStore ServStore;

TServEnt* FillServ(const servent* S) {
  ServStore.Name = S->s_name ? S->s_name : "";
  ServStore.Proto = S->s_proto ? S->s_proto : "";
  ServStore.Ent.s_name = ServStore.Name.data();
  ServStore.Ent.s_aliases = ServStore.NoAliases;
  ServStore.Ent.s_port = std::int16_t(S->s_port);
  ServStore.Ent.s_proto = ServStore.Proto.data();
  return &ServStore.Ent;
}

TServEnt* ws_getservbyname(const char* Name, const char* Proto) {
  if (!Name) {
    SetError(wsaEFault);
    return nullptr;
  }
  servent Ent{}, *Out = nullptr;
  char Buf[1024];
  if (::getservbyname_r(Name, Proto, &Ent, Buf, sizeof Buf, &Out) != 0 || !Out) {
    SetError(wsaNo_Data);
    return nullptr;
  }
  return FillServ(Out);
}

TServEnt* ws_getservbyport(int Port, const char* Proto) {
  servent Ent{}, *Out = nullptr;
  char Buf[1024];
  if (::getservbyport_r(Port, Proto, &Ent, Buf, sizeof Buf, &Out) != 0 || !Out) {
    SetError(wsaNo_Data);
    return nullptr;
  }
  return FillServ(Out);
}

struct TProtoRow {
  const char* Name;
  std::int16_t Number;
};
constexpr TProtoRow Protocols[] = {{"ip", 0}, {"icmp", 1}, {"tcp", 6}, {"udp", 17}};
thread_local TProtoEnt ProtoEnt;
thread_local char* ProtoNoAliases[1] = {nullptr};

TProtoEnt* FillProto(const TProtoRow& R) {
  ProtoEnt.p_name = const_cast<char*>(R.Name);
  ProtoEnt.p_aliases = ProtoNoAliases;
  ProtoEnt.p_proto = R.Number;
  return &ProtoEnt;
}

TProtoEnt* ws_getprotobynumber(int Number) {
  for (const auto& R : Protocols)
    if (R.Number == Number) return FillProto(R);
  SetError(wsaNo_Data);
  return nullptr;
}

TProtoEnt* ws_getprotobyname(const char* Name) {
  for (const auto& R : Protocols)
    if (Name && ::strcasecmp(Name, R.Name) == 0) return FillProto(R);
  SetError(wsaNo_Data);
  return nullptr;
}

int ws_WSAStartup(std::uint16_t Version, TwsaData* Data) {
  if (!Data) return wsaEFault;
  if ((Version & 0xFF) < 1) return wsaVerNotSupported;  // below 1.x is not offered
  *Data = TwsaData{};
  Data->wVersion = Sock_Version;
  Data->wHighVersion = Sock_Version;
  std::strncpy(Data->szDescription, "BSD sockets", WsaDescription_Len);
  std::strncpy(Data->szSystemStatus, "Running", WsaSys_Status_Len);
  rlimit Lim{};
  std::uint32_t Max = 32767;
  if (::getrlimit(RLIMIT_NOFILE, &Lim) == 0 && Lim.rlim_cur < Max) Max = std::uint32_t(Lim.rlim_cur);
  Data->iMaxSockets = std::uint16_t(Max);
  Data->iMaxUdpDg = 65467;
  ++StartCount;
  return 0;
}

int ws_WSACleanup() {
  if (StartCount == 0) {
    SetError(wsaNotInitialised);
    return Socket_Error;
  }
  --StartCount;
  return 0;
}

void ws_WSASetLastError(int Code) { LastError = Code; }
int ws_WSAGetLastError() { return LastError; }
int ws_WSAIsBlocking() { return 0; }
int ws_WSAUnhookBlockingHook() { return 0; }
TFarProc ws_WSASetBlockingHook(TFarProc) { return nullptr; }
int ws_WSACancelBlockingCall() {
  SetError(wsaEInVal);  // nothing blocks: there is never a call to cancel
  return Socket_Error;
}

// Asynchronous database lookups are not offered by this binding (nothing uses them).
TAsyncHandle ws_WSAAsyncGetServByName(HWND, UINT, const char*, const char*, char*, int) {
  SetError(wsaEOpNotSupp);
  return 0;
}
TAsyncHandle ws_WSAAsyncGetServByPort(HWND, UINT, int, const char*, char*, int) {
  SetError(wsaEOpNotSupp);
  return 0;
}
TAsyncHandle ws_WSAAsyncGetProtoByName(HWND, UINT, const char*, char*, int) {
  SetError(wsaEOpNotSupp);
  return 0;
}
TAsyncHandle ws_WSAAsyncGetProtoByNumber(HWND, UINT, int, char*, int) {
  SetError(wsaEOpNotSupp);
  return 0;
}
TAsyncHandle ws_WSAAsyncGetHostByName(HWND, UINT, const char*, char*, int) {
  SetError(wsaEOpNotSupp);
  return 0;
}
TAsyncHandle ws_WSAAsyncGetHostByAddr(HWND, UINT, const char*, int, int, char*, int) {
  SetError(wsaEOpNotSupp);
  return 0;
}
int ws_WSACancelAsyncRequest(TAsyncHandle) {
  SetError(wsaEInVal);
  return Socket_Error;
}

int ws_WSAAsyncSelect(TSocket S, HWND Wnd, UINT Msg, std::int32_t Events) {
  if (S < 0 || ::fcntl(S, F_GETFD) < 0) {
    SetError(wsaENotSock);
    return Socket_Error;
  }
  if (!IsGuiThread()) {
    SetError(wsaEInVal);
    return Socket_Error;
  }
  if (Events == 0) {
    DropAsync(S);
    return 0;
  }
  if (!IsWindow(Wnd)) {
    SetError(wsaEInVal);
    return Socket_Error;
  }
  if (!SetNonBlocking(S, true)) return FailErrno();
  Register(S, Wnd, Msg, Events);
  return 0;
}

template <class Fn>
TFarProc Entry(Fn F) {
  return reinterpret_cast<TFarProc>(F);
}

struct TEntryRow {
  const char* Name;
  TFarProc Proc;
};

const TEntryRow EntryTable[] = {
    {"accept", Entry(&ws_accept)},
    {"bind", Entry(&ws_bind)},
    {"closesocket", Entry(&ws_closesocket)},
    {"connect", Entry(&ws_connect)},
    {"ioctlsocket", Entry(&ws_ioctlsocket)},
    {"getpeername", Entry(&ws_getpeername)},
    {"getsockname", Entry(&ws_getsockname)},
    {"getsockopt", Entry(&ws_getsockopt)},
    {"htonl", Entry(&ws_htonl)},
    {"htons", Entry(&ws_htons)},
    {"inet_addr", Entry(&ws_inet_addr)},
    {"inet_ntoa", Entry(&ws_inet_ntoa)},
    {"listen", Entry(&ws_listen)},
    {"ntohl", Entry(&ws_ntohl)},
    {"ntohs", Entry(&ws_ntohs)},
    {"recv", Entry(&ws_recv)},
    {"recvfrom", Entry(&ws_recvfrom)},
    {"select", Entry(&ws_select)},
    {"send", Entry(&ws_send)},
    {"sendto", Entry(&ws_sendto)},
    {"setsockopt", Entry(&ws_setsockopt)},
    {"shutdown", Entry(&ws_shutdown)},
    {"socket", Entry(&ws_socket)},
    {"gethostbyaddr", Entry(&ws_gethostbyaddr)},
    {"gethostbyname", Entry(&ws_gethostbyname)},
    {"gethostname", Entry(&ws_gethostname)},
    {"getservbyport", Entry(&ws_getservbyport)},
    {"getservbyname", Entry(&ws_getservbyname)},
    {"getprotobynumber", Entry(&ws_getprotobynumber)},
    {"getprotobyname", Entry(&ws_getprotobyname)},
    {"WSAStartup", Entry(&ws_WSAStartup)},
    {"WSACleanup", Entry(&ws_WSACleanup)},
    {"WSASetLastError", Entry(&ws_WSASetLastError)},
    {"WSAGetLastError", Entry(&ws_WSAGetLastError)},
    {"WSAIsBlocking", Entry(&ws_WSAIsBlocking)},
    {"WSAUnhookBlockingHook", Entry(&ws_WSAUnhookBlockingHook)},
    {"WSASetBlockingHook", Entry(&ws_WSASetBlockingHook)},
    {"WSACancelBlockingCall", Entry(&ws_WSACancelBlockingCall)},
    {"WSAAsyncGetServByName", Entry(&ws_WSAAsyncGetServByName)},
    {"WSAAsyncGetServByPort", Entry(&ws_WSAAsyncGetServByPort)},
    {"WSAAsyncGetProtoByName", Entry(&ws_WSAAsyncGetProtoByName)},
    {"WSAAsyncGetProtoByNumber", Entry(&ws_WSAAsyncGetProtoByNumber)},
    {"WSAAsyncGetHostByName", Entry(&ws_WSAAsyncGetHostByName)},
    {"WSAAsyncGetHostByAddr", Entry(&ws_WSAAsyncGetHostByAddr)},
    {"WSACancelAsyncRequest", Entry(&ws_WSACancelAsyncRequest)},
    {"WSAAsyncSelect", Entry(&ws_WSAAsyncSelect)},
};

struct TErrnoRow {
  int Errno;
  int Wsa;
};

// errno to Windows socket error number; one row per value that can reach the layer.
const TErrnoRow ErrnoTable[] = {
    {EINTR, wsaEIntr},
    {EBADF, wsaEBadF},
    {EACCES, wsaEAcces},
    {EPERM, wsaEAcces},
    {EFAULT, wsaEFault},
    {EINVAL, wsaEInVal},
    {EMFILE, wsaEMFile},
    {ENFILE, wsaEMFile},
    {EAGAIN, wsaEWouldBlock},
    {EINPROGRESS, wsaEInProgress},
    {EALREADY, wsaEAlReady},
    {ENOTSOCK, wsaENotSock},
    {EDESTADDRREQ, wsaEDestAddrReq},
    {EMSGSIZE, wsaEMsgSize},
    {EPROTOTYPE, wsaEPrototype},
    {ENOPROTOOPT, wsaENoProtoOpt},
    {EPROTONOSUPPORT, wsaEProtoNoSupport},
    {ESOCKTNOSUPPORT, wsaESocktNoSupport},
    {EOPNOTSUPP, wsaEOpNotSupp},
    {EPFNOSUPPORT, wsaEPfNoSupport},
    {EAFNOSUPPORT, wsaEAfNoSupport},
    {EADDRINUSE, wsaEAddrInUse},
    {EADDRNOTAVAIL, wsaEAddrNotAvail},
    {ENETDOWN, wsaENetDown},
    {ENETUNREACH, wsaENetUnreach},
    {ENETRESET, wsaENetReset},
    {ECONNABORTED, wsaEConnAborted},
    {EPIPE, wsaEConnAborted},
    {ECONNRESET, wsaEConnReset},
    {ENOBUFS, wsaENoBufs},
    {ENOMEM, wsaENoBufs},
    {EISCONN, wsaEIsConn},
    {ENOTCONN, wsaENotConn},
    {ESHUTDOWN, wsaEShutDown},
    {ETOOMANYREFS, wsaETooManyRefs},
    {ETIMEDOUT, wsaETimedOut},
    {ECONNREFUSED, wsaEConnRefused},
    {ELOOP, wsaELoop},
    {ENAMETOOLONG, wsaENameTooLong},
    {EHOSTDOWN, wsaEHostDown},
    {EHOSTUNREACH, wsaEHostUnreach},
    {ENOTEMPTY, wsaENotEmpty},
    {EUSERS, wsaEUsers},
    {EDQUOT, wsaEDQuot},
    {ESTALE, wsaEStale},
    {EREMOTE, wsaERemote},
};

}  // namespace

int WsaErrorFromErrno(int Errno) {
  if (Errno == EWOULDBLOCK) return wsaEWouldBlock;  // the same value as EAGAIN here
  for (const auto& R : ErrnoTable)
    if (R.Errno == Errno) return R.Wsa;
  return wsaEFault;
}

int WsaErrorFromResolver(int GaiError, int Errno) {
  switch (GaiError) {
    case 0: return 0;
    case EAI_NONAME: return wsaHost_Not_Found;
#ifdef EAI_NODATA
    case EAI_NODATA: return wsaNo_Data;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY: return wsaNo_Data;
#endif
    case EAI_AGAIN: return wsaTry_Again;
    case EAI_FAIL: return wsaNo_Recovery;
    case EAI_MEMORY: return wsaENoBufs;
    case EAI_SYSTEM: return WsaErrorFromErrno(Errno);
    default: return wsaNo_Recovery;
  }
}

TFarProc BsdSocketEntry(const char* Name) {
  if (!Name) return nullptr;
  for (const auto& R : EntryTable)
    if (std::strcmp(R.Name, Name) == 0) return R.Proc;
  return nullptr;
}
