#pragma once
// The socket library as a table of entry points, loaded at run time by name.
//
// The table keeps the version 1.1 socket interface the network layer is written against.
// The library "WSOCK32" is bound to this machine's BSD sockets (winsock_bsd.cpp): handles are
// file descriptors, calls never raise SIGPIPE, errors are reported as the Windows socket error
// numbers, and asynchronous notifications follow the Windows rules. Tests may register other
// modules or replace single slots of SockFuncs (for example the resolver) after loading.

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstdint>
#include <functional>
#include <string>

// The C library may define the byte-order calls as macros when optimising; here they are also
// the names of entry points and of TQpSocket operations, so they must stay plain functions.
#undef htonl
#undef htons
#undef ntohl
#undef ntohs

#include "platform/messages.h"
#include "port/port_errors.h"

using TSocket = std::int32_t;
using TAsyncHandle = std::uintptr_t;

constexpr const char* SockDLL = "WSOCK32";
constexpr std::uint16_t Sock_Version = 0x0101;
constexpr int Af_Inet = 2;
constexpr int Sock_Stream = 1;
constexpr int IpProto_Ip = 0;
constexpr int Sol_Socket = 0xFFFF;
constexpr int So_ReuseAddr = 4;
constexpr int SoMaxConn = 5;
constexpr TSocket Invalid_Socket = -1;
constexpr int Socket_Error = -1;
constexpr std::uint32_t InAddr_Any = 0;
constexpr std::uint32_t InAddr_None = 0xFFFFFFFF;
constexpr int EWouldBlock = wsaEWouldBlock;

constexpr int Fd_Read = 1;
constexpr int Fd_Write = 2;
constexpr int Fd_Oob = 4;
constexpr int Fd_Accept = 8;
constexpr int Fd_Connect = 16;
constexpr int Fd_Close = 32;

// Socket option names and other constants of the 1.1 interface that the binding understands.
constexpr int So_KeepAlive = 0x0008;
constexpr int So_Linger = 0x0080;
constexpr int So_SndBuf = 0x1001;
constexpr int So_RcvBuf = 0x1002;
constexpr int So_Error = 0x1007;
constexpr int IpProto_Tcp = 6;
constexpr int Tcp_NoDelay = 0x0001;
constexpr std::int32_t FionBio = static_cast<std::int32_t>(0x8004667E);
constexpr std::int32_t FionRead = 0x4004667F;
constexpr int Sd_Receive = 0;
constexpr int Sd_Send = 1;
constexpr int Sd_Both = 2;

struct TSockAddrIn {
  std::uint16_t sin_family = 0;
  std::uint16_t sin_port = 0;   // network byte order
  std::uint32_t sin_addr = 0;   // network byte order
  char sin_zero[8] = {};
};
static_assert(sizeof(TSockAddrIn) == 16);

constexpr int WsaDescription_Len = 256;
constexpr int WsaSys_Status_Len = 128;

struct TwsaData {
  std::uint16_t wVersion = 0;
  std::uint16_t wHighVersion = 0;
  char szDescription[WsaDescription_Len + 1] = {};
  char szSystemStatus[WsaSys_Status_Len + 1] = {};
  std::uint16_t iMaxSockets = 0;
  std::uint16_t iMaxUdpDg = 0;
  char* lpVendorInfo = nullptr;
};

struct THostEnt {
  char* h_name;
  char** h_aliases;
  std::int16_t h_addrtype;
  std::int16_t h_length;
  char** h_addr_list;  // 4-byte addresses in network order, nil-terminated
};

struct TServEnt {
  char* s_name;
  char** s_aliases;
  std::int16_t s_port;  // network order
  char* s_proto;
};

struct TProtoEnt {
  char* p_name;
  char** p_aliases;
  std::int16_t p_proto;
};

constexpr int Fd_SetSize = 64;
struct TFDSet {
  std::uint32_t fd_count = 0;
  TSocket fd_array[Fd_SetSize] = {};
};

struct TTimeVal {
  std::int32_t tv_sec = 0;
  std::int32_t tv_usec = 0;
};

using TFarProc = void (*)();

using TfnAccept = TSocket (*)(TSocket, TSockAddrIn*, std::int32_t*);
using TfnBind = int (*)(TSocket, const TSockAddrIn*, int);
using TfnCloseSocket = int (*)(TSocket);
using TfnConnect = int (*)(TSocket, const TSockAddrIn*, int);
using TfnIoctlSocket = int (*)(TSocket, std::int32_t, std::uint32_t*);
using TfnGetPeerName = int (*)(TSocket, TSockAddrIn*, std::int32_t*);
using TfnGetSockName = int (*)(TSocket, TSockAddrIn*, std::int32_t*);
using TfnGetSockOpt = int (*)(TSocket, int, int, char*, std::int32_t*);
using TfnHtonl = std::uint32_t (*)(std::uint32_t);
using TfnHtons = std::uint16_t (*)(std::uint16_t);
using TfnInet_Addr = std::uint32_t (*)(const char*);
using TfnInet_Ntoa = char* (*)(std::uint32_t);
using TfnListen = int (*)(TSocket, int);
using TfnNtohl = std::uint32_t (*)(std::uint32_t);
using TfnNtohs = std::uint16_t (*)(std::uint16_t);
using TfnRecv = int (*)(TSocket, char*, int, int);
using TfnRecvFrom = int (*)(TSocket, char*, int, int, TSockAddrIn*, std::int32_t*);
using TfnSelect = int (*)(int, TFDSet*, TFDSet*, TFDSet*, const TTimeVal*);
using TfnSend = int (*)(TSocket, const char*, int, int);
using TfnSendTo = int (*)(TSocket, const char*, int, int, const TSockAddrIn*, int);
using TfnSetSockOpt = int (*)(TSocket, int, int, const char*, int);
using TfnShutdown = int (*)(TSocket, int);
using TfnSocket = TSocket (*)(int, int, int);
using TfnGetHostByAddr = THostEnt* (*)(const char*, int, int);
using TfnGetHostByName = THostEnt* (*)(const char*);
using TfnGetHostName = int (*)(char*, int);
using TfnGetServByPort = TServEnt* (*)(int, const char*);
using TfnGetServByName = TServEnt* (*)(const char*, const char*);
using TfnGetProtoByNumber = TProtoEnt* (*)(int);
using TfnGetProtoByName = TProtoEnt* (*)(const char*);
using TfnWSAStartup = int (*)(std::uint16_t, TwsaData*);
using TfnWSACleanup = int (*)();
using TfnWSASetLastError = void (*)(int);
using TfnWSAGetLastError = int (*)();
using TfnWSAIsBlocking = int (*)();
using TfnWSAUnhookBlockingHook = int (*)();
using TfnWSASetBlockingHook = TFarProc (*)(TFarProc);
using TfnWSACancelBlockingCall = int (*)();
using TfnWSAAsyncGetServByName = TAsyncHandle (*)(HWND, UINT, const char*, const char*, char*, int);
using TfnWSAAsyncGetServByPort = TAsyncHandle (*)(HWND, UINT, int, const char*, char*, int);
using TfnWSAAsyncGetProtoByName = TAsyncHandle (*)(HWND, UINT, const char*, char*, int);
using TfnWSAAsyncGetProtoByNumber = TAsyncHandle (*)(HWND, UINT, int, char*, int);
using TfnWSAAsyncGetHostByName = TAsyncHandle (*)(HWND, UINT, const char*, char*, int);
using TfnWSAAsyncGetHostByAddr = TAsyncHandle (*)(HWND, UINT, const char*, int, int, char*, int);
using TfnWSACancelAsyncRequest = int (*)(TAsyncHandle);
using TfnWSAAsyncSelect = int (*)(TSocket, HWND, UINT, std::int32_t);
using TfnwsaRecvEx = int (*)(TSocket, char*, int, int*);
using TfnTransmitFile = int (*)(TSocket, std::uintptr_t, std::uint32_t, std::uint32_t, void*,
                                void*, std::uint32_t);

struct TSocketFuncs {
  TfnAccept accept = nullptr;
  TfnBind bind = nullptr;
  TfnCloseSocket closesocket = nullptr;
  TfnConnect connect = nullptr;
  TfnIoctlSocket ioctlsocket = nullptr;
  TfnGetPeerName getpeername = nullptr;
  TfnGetSockName getsockname = nullptr;
  TfnGetSockOpt getsockopt = nullptr;
  TfnHtonl htonl = nullptr;
  TfnHtons htons = nullptr;
  TfnInet_Addr inet_addr = nullptr;
  TfnInet_Ntoa inet_ntoa = nullptr;
  TfnListen listen = nullptr;
  TfnNtohl ntohl = nullptr;
  TfnNtohs ntohs = nullptr;
  TfnRecv recv = nullptr;
  TfnRecvFrom recvfrom = nullptr;
  TfnSelect select = nullptr;
  TfnSend send = nullptr;
  TfnSendTo sendto = nullptr;
  TfnSetSockOpt setsockopt = nullptr;
  TfnShutdown shutdown = nullptr;
  TfnSocket socket = nullptr;
  TfnGetHostByAddr gethostbyaddr = nullptr;
  TfnGetHostByName gethostbyname = nullptr;
  TfnGetHostName gethostname = nullptr;
  TfnGetServByPort getservbyport = nullptr;
  TfnGetServByName getservbyname = nullptr;
  TfnGetProtoByNumber getprotobynumber = nullptr;
  TfnGetProtoByName getprotobyname = nullptr;
  TfnWSAStartup WSAStartup = nullptr;
  TfnWSACleanup WSACleanup = nullptr;
  TfnWSASetLastError WSASetLastError = nullptr;
  TfnWSAGetLastError WSAGetLastError = nullptr;
  TfnWSAIsBlocking WSAIsBlocking = nullptr;
  TfnWSAUnhookBlockingHook WSAUnhookBlockingHook = nullptr;
  TfnWSASetBlockingHook WSASetBlockingHook = nullptr;
  TfnWSACancelBlockingCall WSACancelBlockingCall = nullptr;
  TfnWSAAsyncGetServByName WSAAsyncGetServByName = nullptr;
  TfnWSAAsyncGetServByPort WSAAsyncGetServByPort = nullptr;
  TfnWSAAsyncGetProtoByName WSAAsyncGetProtoByName = nullptr;
  TfnWSAAsyncGetProtoByNumber WSAAsyncGetProtoByNumber = nullptr;
  TfnWSAAsyncGetHostByName WSAAsyncGetHostByName = nullptr;
  TfnWSAAsyncGetHostByAddr WSAAsyncGetHostByAddr = nullptr;
  TfnWSACancelAsyncRequest WSACancelAsyncRequest = nullptr;
  TfnWSAAsyncSelect WSAAsyncSelect = nullptr;
  TfnwsaRecvEx WSARecvEx = nullptr;        // never loaded
  TfnTransmitFile TransmitFile = nullptr;  // never loaded
};

// A loadable module: answers the address of an entry point by name, or nullptr.
using TModuleLookup = std::function<TFarProc(const char* Name)>;

extern std::uintptr_t SocketModule;  // 0 while not loaded
extern TSocketFuncs SockFuncs;

// Loads the library named SockLibraryName() and binds the 46 entry points in the table's order
// (ioctlsocket after inet_ntoa). False when the library or an entry point is missing; the
// library then stays loaded and the later slots stay empty.
bool LoadWinsock();
// Frees the library and empties the table.
void WinsockExit();

// The library that LoadWinsock loads: SockDLL unless changed (tests).
const std::string& SockLibraryName();
void SetSockLibraryName(const std::string& Name);
// Makes a module loadable by name (the BSD binding is registered as SockDLL).
void RegisterSockModule(const std::string& Name, TModuleLookup Lookup);
void UnregisterSockModule(const std::string& Name);

// The BSD-socket binding's own lookup, for test modules that wrap it.
TFarProc BsdSocketEntry(const char* Name);

// The Windows socket error number for an errno value (explicit table; unknown values give
// 10014, whose text is "Unknown error") and for a getaddrinfo result.
int WsaErrorFromErrno(int Errno);
int WsaErrorFromResolver(int GaiError, int Errno);
