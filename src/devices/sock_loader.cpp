#include "sock_loader.h"

#include <map>
#include <mutex>

std::uintptr_t SocketModule = 0;
TSocketFuncs SockFuncs;

namespace {

struct TModule {
  std::uintptr_t Handle;
  TModuleLookup Lookup;
};

std::mutex ModuleLock;
std::uintptr_t NextModuleHandle = 1;

std::map<std::string, TModule>& Modules() {
  static std::map<std::string, TModule> Table = [] {
    std::map<std::string, TModule> T;
    T[SockDLL] = TModule{NextModuleHandle++, &BsdSocketEntry};
    return T;
  }();
  return Table;
}

std::string& LibraryName() {
  static std::string Name = SockDLL;
  return Name;
}

TModuleLookup LoadedLookup;

template <class Fn>
bool Bind(Fn& Slot, const char* Name) {
  TFarProc P = LoadedLookup ? LoadedLookup(Name) : nullptr;
  if (!P) return false;
  Slot = reinterpret_cast<Fn>(P);
  return true;
}

}  // namespace

const std::string& SockLibraryName() { return LibraryName(); }
void SetSockLibraryName(const std::string& Name) { LibraryName() = Name; }

void RegisterSockModule(const std::string& Name, TModuleLookup Lookup) {
  std::lock_guard<std::mutex> Guard(ModuleLock);
  Modules()[Name] = TModule{NextModuleHandle++, std::move(Lookup)};
}

void UnregisterSockModule(const std::string& Name) {
  std::lock_guard<std::mutex> Guard(ModuleLock);
  if (Name != SockDLL) Modules().erase(Name);
}

bool LoadWinsock() {
  if (SocketModule == 0) {
    std::lock_guard<std::mutex> Guard(ModuleLock);
    auto It = Modules().find(LibraryName());
    if (It == Modules().end()) return false;
    SocketModule = It->second.Handle;
    LoadedLookup = It->second.Lookup;
  }
  TSocketFuncs& F = SockFuncs;
  // The table's order, except that ioctlsocket is looked up after inet_ntoa.
  return Bind(F.accept, "accept") && Bind(F.bind, "bind") &&
         Bind(F.closesocket, "closesocket") && Bind(F.connect, "connect") &&
         Bind(F.getpeername, "getpeername") && Bind(F.getsockname, "getsockname") &&
         Bind(F.getsockopt, "getsockopt") && Bind(F.htonl, "htonl") && Bind(F.htons, "htons") &&
         Bind(F.inet_addr, "inet_addr") && Bind(F.inet_ntoa, "inet_ntoa") &&
         Bind(F.ioctlsocket, "ioctlsocket") && Bind(F.listen, "listen") &&
         Bind(F.ntohl, "ntohl") && Bind(F.ntohs, "ntohs") && Bind(F.recv, "recv") &&
         Bind(F.recvfrom, "recvfrom") && Bind(F.select, "select") && Bind(F.send, "send") &&
         Bind(F.sendto, "sendto") && Bind(F.setsockopt, "setsockopt") &&
         Bind(F.shutdown, "shutdown") && Bind(F.socket, "socket") &&
         Bind(F.gethostbyaddr, "gethostbyaddr") && Bind(F.gethostbyname, "gethostbyname") &&
         Bind(F.gethostname, "gethostname") && Bind(F.getservbyport, "getservbyport") &&
         Bind(F.getservbyname, "getservbyname") &&
         Bind(F.getprotobynumber, "getprotobynumber") &&
         Bind(F.getprotobyname, "getprotobyname") && Bind(F.WSAStartup, "WSAStartup") &&
         Bind(F.WSACleanup, "WSACleanup") && Bind(F.WSASetLastError, "WSASetLastError") &&
         Bind(F.WSAGetLastError, "WSAGetLastError") && Bind(F.WSAIsBlocking, "WSAIsBlocking") &&
         Bind(F.WSAUnhookBlockingHook, "WSAUnhookBlockingHook") &&
         Bind(F.WSASetBlockingHook, "WSASetBlockingHook") &&
         Bind(F.WSACancelBlockingCall, "WSACancelBlockingCall") &&
         Bind(F.WSAAsyncGetServByName, "WSAAsyncGetServByName") &&
         Bind(F.WSAAsyncGetServByPort, "WSAAsyncGetServByPort") &&
         Bind(F.WSAAsyncGetProtoByName, "WSAAsyncGetProtoByName") &&
         Bind(F.WSAAsyncGetProtoByNumber, "WSAAsyncGetProtoByNumber") &&
         Bind(F.WSAAsyncGetHostByName, "WSAAsyncGetHostByName") &&
         Bind(F.WSAAsyncGetHostByAddr, "WSAAsyncGetHostByAddr") &&
         Bind(F.WSACancelAsyncRequest, "WSACancelAsyncRequest") &&
         Bind(F.WSAAsyncSelect, "WSAAsyncSelect");
}

void WinsockExit() {
  if (SocketModule == 0) return;
  SocketModule = 0;
  LoadedLookup = nullptr;
  SockFuncs = TSocketFuncs{};
}
