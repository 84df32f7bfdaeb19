// The socket library binding and TQpSocket against loopback peers; name lookups go through an
// injected resolver, never the system's.

#include <gtest/gtest.h>

#include <netdb.h>

#include <cstring>
#include <string>
#include <vector>

#include "devices/sock_wrap.h"
#include "net_test_support.h"
#include "test_support.h"

namespace {

// Records what reaches the six event operations.
class TRecordingSocket : public TQpSocket {
 public:
  struct Event {
    char Kind;  // A C D E R W
    TSocket S;
    int Err;
  };
  std::vector<Event> Events;
  std::string Kinds(TSocket S) const {
    std::string K;
    for (const auto& E : Events)
      if (E.S == S) K += E.Kind;
    return K;
  }
  int Count(char Kind) const {
    int N = 0;
    for (const auto& E : Events) N += E.Kind == Kind;
    return N;
  }

 protected:
  void DoAccept(TSocket S) override { Events.push_back({'A', S, 0}); }
  void DoConnect(TSocket S) override { Events.push_back({'C', S, 0}); }
  void DoDisconnect(TSocket S) override { Events.push_back({'D', S, 0}); }
  void DoError(TSocket S, int E) override { Events.push_back({'E', S, E}); }
  void DoRead(TSocket S) override { Events.push_back({'R', S, 0}); }
  void DoWrite(TSocket S) override { Events.push_back({'W', S, 0}); }
};

TSockAddrIn Loopback(std::uint16_t Port) {
  TSockAddrIn A;
  A.sin_family = Af_Inet;
  A.sin_port = htons(Port);
  A.sin_addr = LoopbackAddr();
  return A;
}

// A client socket of S asking for every notification, connecting to Port.
TSocket StartClient(TQpSocket& S, std::uint16_t Port) {
  TSocket C = S.CreateSocket();
  EXPECT_EQ(S.SetAsyncStyles(C, 0x3B), 0);
  EXPECT_EQ(S.ConnectSocket(C, Loopback(Port)), Socket_Error);
  EXPECT_EQ(S.GetLastError(), EWouldBlock);
  return C;
}

void Spin(int Rounds = 5) {
  for (int I = 0; I < Rounds; ++I) ProcessMessages();
}

// ------------------------------------------------------------------------ loading

class SockLoaderFault : public ::testing::Test {
 protected:
  void TearDown() override {
    SetSockLibraryName(SockDLL);
    UnregisterSockModule("TESTMOD");
    WinsockExit();
    LoadWinsock();
  }
  static int WrongVersionStartup(std::uint16_t, TwsaData* Data) {
    *Data = TwsaData{};
    Data->wVersion = 0x0202;
    Data->wHighVersion = 0x0202;
    return 0;
  }
  static int NoCleanup() { return 0; }
};

TEST_F(SockLoaderFault, LoadsTheWholeTableInOrder) {
  WinsockExit();
  ASSERT_TRUE(LoadWinsock());
  EXPECT_NE(SocketModule, 0u);
  EXPECT_NE(SockFuncs.accept, nullptr);
  EXPECT_NE(SockFuncs.WSAAsyncSelect, nullptr);
  EXPECT_EQ(SockFuncs.WSARecvEx, nullptr);
  EXPECT_EQ(SockFuncs.TransmitFile, nullptr);
}

TEST_F(SockLoaderFault, FailuresAreReportedWhenTheComponentIsFirstUsed) {
  struct Case {
    const char* What;
    std::function<void()> Arrange;
    int Code;
    const char* Message;
  } Cases[] = {
      {"library missing", [] { SetSockLibraryName("NOSUCHLIB"); }, 9002,
       "Winsock not initialized - Error loading Winsock DLL"},
      {"entry point missing",
       [] {
         RegisterSockModule("TESTMOD", [](const char* Name) -> TFarProc {
           return std::strcmp(Name, "WSAAsyncSelect") == 0 ? nullptr : BsdSocketEntry(Name);
         });
         SetSockLibraryName("TESTMOD");
       },
       9002, "Winsock not initialized - Error loading Winsock DLL"},
      {"wrong version",
       [] {
         RegisterSockModule("TESTMOD", [](const char* Name) -> TFarProc {
           if (std::strcmp(Name, "WSAStartup") == 0)
             return reinterpret_cast<TFarProc>(&WrongVersionStartup);
           if (std::strcmp(Name, "WSACleanup") == 0) return reinterpret_cast<TFarProc>(&NoCleanup);
           return BsdSocketEntry(Name);
         });
         SetSockLibraryName("TESTMOD");
       },
       9003, "Winsock not initialized - Incorrect version of Winsock"},
  };
  for (const auto& K : Cases) {
    WinsockExit();
    K.Arrange();
    TRecordingSocket S;  // creating it never fails
    EXPECT_EQ(S.StartErrorCode(), K.Code) << K.What;
    try {
      S.CreateSocket();
      ADD_FAILURE() << K.What << ": no exception";
    } catch (const EQpSocketException& E) {
      EXPECT_EQ(E.ErrorCode(), K.Code) << K.What;
      EXPECT_STREQ(E.what(), K.Message) << K.What;
    }
    SetSockLibraryName(SockDLL);
    UnregisterSockModule("TESTMOD");
  }
}

// ------------------------------------------------------------------------ errors and names

TEST(SockErrors, ErrnoAndResolverMapToWindowsNumbers) {
  struct {
    int Errno, Wsa;
  } Rows[] = {{ETIMEDOUT, 10060}, {ECONNREFUSED, 10061}, {EAGAIN, 10035}, {ECONNRESET, 10054},
              {EHOSTUNREACH, 10065}, {ENETUNREACH, 10051}, {EADDRINUSE, 10048},
              {ENOTSOCK, 10038}, {EPIPE, 10053}, {9999, 10014}};
  for (auto R : Rows) EXPECT_EQ(WsaErrorFromErrno(R.Errno), R.Wsa) << R.Errno;
  EXPECT_EQ(WsaErrorFromResolver(EAI_NONAME, 0), 11001);
  EXPECT_EQ(WsaErrorFromResolver(EAI_AGAIN, 0), 11002);
  EXPECT_EQ(WsaErrorFromResolver(EAI_FAIL, 0), 11003);
  EXPECT_EQ(WsaErrorFromResolver(EAI_SYSTEM, ECONNREFUSED), 10061);
}

TEST(SockErrors, ExceptionTexts) {
  auto E = EQpSocketException::CreateTranslate(10061);
  EXPECT_EQ(E.ErrorCode(), 10061);
  EXPECT_STREQ(E.what(), "The attempt to connect was forcibly refused");
  EXPECT_STREQ(EQpSocketException::CreateTranslate(9007).what(), "Cannot resolve destination address");
  auto N = EQpSocketException::CreateNoInit(9002);
  EXPECT_EQ(N.ErrorCode(), 9002);
  EXPECT_STREQ(N.what(), "Winsock not initialized - Error loading Winsock DLL");
}

// An injected resolver that knows one name and counts its calls.
int ResolverCalls = 0;
THostEnt* FakeGetHostByName(const char* Name) {
  ++ResolverCalls;
  static std::uint32_t Addr;
  static char* List[2];
  static THostEnt Ent;
  if (std::strcmp(Name, "quill.test") != 0) {
    SockFuncs.WSASetLastError(11001);
    return nullptr;
  }
  Addr = htonl(0x7F000005);
  List[0] = reinterpret_cast<char*>(&Addr);
  List[1] = nullptr;
  Ent = THostEnt{const_cast<char*>("quill.test"), nullptr, 2, 4, List};
  return &Ent;
}

TEST(SockNames, AddressesNamesAndServices) {
  TRecordingSocket S;
  const auto Saved = SockFuncs.gethostbyname;
  SockFuncs.gethostbyname = &FakeGetHostByName;
  ResolverCalls = 0;
  EXPECT_EQ(S.String2NetAddr("192.168.0.19"), htonl(0xC0A80013));
  EXPECT_EQ(S.NetAddr2String(htonl(0xC0A80013)), "192.168.0.19");
  EXPECT_EQ(S.String2NetAddr("quill.test"), InAddr_None);
  // Longer than a dotted address can be: refused, not cut into "192.168.0.190".
  EXPECT_EQ(S.String2NetAddr("192.168.0.1900001"), InAddr_None);
  EXPECT_EQ(ResolverCalls, 0);
  EXPECT_EQ(S.LookupName("quill.test"), htonl(0x7F000005));
  EXPECT_EQ(S.LookupName("unknown.test"), 0u);
  EXPECT_EQ(S.LookupName(std::string(300, 'a')), 0u);  // never cut into a shorter name
  EXPECT_EQ(ResolverCalls, 2);
  SockFuncs.gethostbyname = Saved;

  EXPECT_EQ(S.LookupService("telnet"), 23);
  EXPECT_EQ(S.LookupService("5495"), 0);
  EXPECT_EQ(S.LookupService("no-such-service"), 0);
  EXPECT_EQ(S.LookupPort(23), "telnet");
  EXPECT_FALSE(S.LocalHost().empty());
  EXPECT_FALSE(S.LocalAddress().empty());  // this machine's own address, without a resolver
}

// ------------------------------------------------------------------------ notifications

TEST(SockNotify, ConnectReadAndCloseFollowTheRules) {
  TLoopbackListener L;
  TRecordingSocket S;
  TSocket C = StartClient(S, L.Port);
  ASSERT_TRUE(WaitFor([&] { return S.Count('W') == 1; }));
  EXPECT_EQ(S.Kinds(C), "CW");  // one connect, then writable
  int Peer = L.Accept();
  ASSERT_GE(Peer, 0);

  SendAll(Peer, "hello");
  ASSERT_TRUE(WaitFor([&] { return S.Count('R') == 1; }));
  SendAll(Peer, "more");
  Spin();
  EXPECT_EQ(S.Count('R'), 1);  // not again before a receive
  char Buf[64];
  EXPECT_EQ(S.ReadSocket(C, Buf, 2, 0), 2);
  ASSERT_TRUE(WaitFor([&] { return S.Count('R') == 2; }));  // data remains: again

  SendAll(Peer, "bye");
  ::close(Peer);
  std::string Got;
  for (int I = 0; I < 100 && S.Count('D') == 0; ++I) {
    int N = S.ReadSocket(C, Buf, sizeof Buf, 0);
    if (N > 0) Got.append(Buf, size_t(N));
    WaitFor([&] { return S.Count('D') > 0; }, 100);
  }
  EXPECT_EQ(Got, "llomorebye");
  EXPECT_EQ(S.Count('D'), 1);
  Spin();
  EXPECT_EQ(S.Count('D'), 1);  // one close only
  EXPECT_EQ(S.Count('E'), 0);
  S.CloseSocket(C);
}

TEST(SockNotify, RefusedConnectArrivesLaterAsAnError) {
  TLoopbackListener L;
  const std::uint16_t Port = L.Port;
  L.Close();
  TRecordingSocket S;
  TSocket C = StartClient(S, Port);
  EXPECT_TRUE(S.Events.empty());  // not reported inside the connect call
  ASSERT_TRUE(WaitFor([&] { return S.Count('E') == 1; }));
  EXPECT_EQ(S.Events[0].Err, 10061);
  Spin();
  EXPECT_EQ(S.Kinds(C), "E");  // never a connect, read or close event
  S.CloseSocket(C);
}

TEST(SockNotify, ResetByPeerIsAnErrorNotAClose) {
  TLoopbackListener L;
  TRecordingSocket S;
  TSocket C = StartClient(S, L.Port);
  int Peer = L.Accept();
  ASSERT_TRUE(WaitFor([&] { return S.Count('W') == 1; }));
  ResetClose(Peer);
  ASSERT_TRUE(WaitFor([&] { return S.Count('E') == 1; }));
  EXPECT_EQ(S.Events.back().Err, 10054);
  EXPECT_EQ(S.Count('D'), 0);
  S.CloseSocket(C);
}

TEST(SockNotify, WriteAgainOnlyAfterASendWouldHaveBlocked) {
  TLoopbackListener L;
  TRecordingSocket S;
  TSocket C = StartClient(S, L.Port);
  int Peer = L.Accept();
  ASSERT_TRUE(WaitFor([&] { return S.Count('W') == 1; }));
  std::string Block(65536, 'x');
  std::size_t Sent = 0;
  for (int I = 0; I < 10000; ++I) {
    int N = S.WriteSocket(C, Block.data(), int(Block.size()), 0);
    if (N == Socket_Error) break;
    Sent += size_t(N);
  }
  EXPECT_EQ(S.GetLastError(), EWouldBlock);
  EXPECT_EQ(S.Count('E'), 0);  // would-block is no error for a send
  EXPECT_EQ(S.Count('W'), 1);
  EXPECT_EQ(RecvSome(Peer, Sent).size(), Sent);
  ASSERT_TRUE(WaitFor([&] { return S.Count('W') == 2; }));
  ::close(Peer);
  S.CloseSocket(C);
}

TEST(SockNotify, AClosedSocketsNotificationsNeverReachItsNumbersNextOwner) {
  TLoopbackListener L;
  const std::uint16_t Port = L.Port;
  L.Close();
  TRecordingSocket S;
  TSocket Old = StartClient(S, Port);  // its refusal is still on its way
  S.CloseSocket(Old);
  TSocket New = S.CreateSocket();
  EXPECT_EQ(New, Old);  // Linux hands out the same number at once
  EXPECT_EQ(S.SetAsyncStyles(New, 0x3B), 0);
  Spin(10);
  EXPECT_TRUE(S.Events.empty());
  S.CloseSocket(New);
}

TEST(SockNotify, AcceptedSocketInheritsTheNotifications) {
  TRecordingSocket S;
  TSocket Server = S.CreateSocket();
  TSockAddrIn Any = Loopback(0);
  ASSERT_EQ(S.BindSocket(Server, Any), 0);
  ASSERT_EQ(S.SetAsyncStyles(Server, 0x3B), 0);
  ASSERT_EQ(S.ListenSocket(Server, 5), 0);
  sockaddr_in Bound{};
  socklen_t Len = sizeof Bound;
  ::getsockname(Server, reinterpret_cast<sockaddr*>(&Bound), &Len);
  int Peer = ConnectLoopback(ntohs(Bound.sin_port));
  ASSERT_TRUE(WaitFor([&] { return S.Count('A') == 1; }));
  TSockAddrIn From;
  TSocket Client = S.AcceptSocket(Server, From);
  ASSERT_GE(Client, 0);
  EXPECT_EQ(From.sin_addr, LoopbackAddr());
  SendAll(Peer, "x");
  ASSERT_TRUE(WaitFor([&] { return S.Kinds(Client).find('R') != std::string::npos; }));
  ::close(Peer);
  S.CloseSocket(Client);
  S.CloseSocket(Server);
}

TEST(SockNotify, SendingToAGonePeerNeverRaisesSigpipe) {
  TLoopbackListener L;
  TRecordingSocket S;
  TSocket C = StartClient(S, L.Port);
  int Peer = L.Accept();
  ASSERT_TRUE(WaitFor([&] { return S.Count('W') == 1; }));
  ResetClose(Peer);
  int LastErr = 0;
  for (int I = 0; I < 50 && LastErr == 0; ++I) {
    if (S.WriteSocket(C, "data", 4, 0) == Socket_Error && S.GetLastError() != EWouldBlock)
      LastErr = S.GetLastError();
    WaitFor([] { return false; }, 5);
  }
  EXPECT_TRUE(LastErr == 10053 || LastErr == 10054) << LastErr;  // and the process lives on
  S.CloseSocket(C);
}

TEST(SockNotify, ConnectTimeOutIsReportedAs10060) {
  // A listener whose accept queue is full drops further SYNs; one retry makes it quick.
  TLoopbackListener L(0);
  int First = ConnectLoopback(L.Port);
  ASSERT_GE(First, 0);
  TRecordingSocket S;
  TSocket C = S.CreateSocket();
  int One = 1;
  ASSERT_EQ(::setsockopt(C, IPPROTO_TCP, TCP_SYNCNT, &One, sizeof One), 0);
  ASSERT_EQ(S.SetAsyncStyles(C, 0x3B), 0);
  S.ConnectSocket(C, Loopback(L.Port));
  ASSERT_TRUE(WaitFor([&] { return !S.Events.empty(); }, 20000));
  if (S.Events[0].Kind == 'C') GTEST_SKIP() << "the system accepted beyond its backlog";
  EXPECT_EQ(S.Events[0].Kind, 'E');
  EXPECT_EQ(S.Events[0].Err, 10060);
  S.CloseSocket(C);
  ::close(First);
}

}  // namespace
