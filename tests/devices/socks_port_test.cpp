// Opening the network port through a SOCKS proxy: scripted proxies on loopback for the replies
// no server sends on demand, and the real servers (dante, microsocks) started by the tests.
// The proxies run on threads of their own while Open waits on the GUI thread.

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "devices/net_port.h"
#include "net_test_support.h"
#include "socks_test_support.h"
#include "test_support.h"

namespace {

using namespace std::string_literals;

// A proxy that takes one client and plays Script on it, then closes.
class TScriptedProxy {
 public:
  explicit TScriptedProxy(std::function<void(int Fd)> Script)
      : Thread([this, S = std::move(Script)] {
          const int Fd = L.Accept(10000);
          if (Fd < 0) return;
          S(Fd);
          ::close(Fd);
          Finished = true;
        }) {}
  ~TScriptedProxy() { Join(); }
  void Join() {
    if (Thread.joinable()) Thread.join();
  }
  TLoopbackListener L;
  std::atomic<bool> Finished{false};
  std::thread Thread;
};

struct TSocksPort {
  explicit TSocksPort(TQpSocksVersion V, std::uint16_t ProxyPort) {
    Port.SetAutoOpen(false);
    Port.SetDeviceLayer(dlWinsock);
    Port.SetWsAddress("192.168.0.19");
    Port.SetWsPort("5495");
    auto& S = Port.WsSocksServerInfo();
    S.SetSocksVersion(V);
    S.SetAddress("127.0.0.1");
    S.SetPort(ProxyPort);
    Port.OnTriggerAvail = [this](TQpCustomComPort* CP, std::uint16_t Count) {
      for (std::uint16_t I = 0; I < Count; ++I) Received += char(CP->GetChar());
    };
    Port.OnWsConnect = [this](TQpCustomWinsockPort*) { Events.push_back("connect"); };
    Port.OnWsDisconnect = [this](TQpCustomWinsockPort*) { Events.push_back("disconnect"); };
  }
  // The code Open raised, 0 when it returned normally.
  int OpenCode() {
    try {
      Port.SetOpen(true);
    } catch (const EQpSocketException& E) {
      return E.ErrorCode();
    }
    return 0;
  }
  std::string Received;
  std::vector<std::string> Events;
  TQpWinsockPort Port;  // last: it goes first, while its handlers' targets still exist
};

TEST(SocksPort, Socks4aRequestIsRawTheReplyExactAndEarlyOutputWaitsForTheTunnel) {
  std::string Request, AfterReply;
  TScriptedProxy Proxy([&](int Fd) {
    Request = RecvSome(Fd, 25);
    // The reply, and the target's first bytes with it in one segment.
    SendAll(Fd, "\x00\x5a\xff\xff\x0d\x00\xff\xff"s + "\xff\xfd\x18hello\r\n"s);
    AfterReply = RecvSome(Fd, 10);
  });
  TSocksPort P(svSocks4a, Proxy.L.Port);
  P.Port.SetWsAddress("dev\xff\x0d.example");
  P.Port.WsSocksServerInfo().SetUserCode("u\r");
  P.Port.OnWsConnect = [&](TQpCustomWinsockPort* Sender) {
    P.Events.push_back("connect");
    Sender->PutString("early\r");  // before the proxy has answered
  };
  EXPECT_EQ(P.OpenCode(), 0);
  EXPECT_TRUE(P.Port.Open());
  EXPECT_EQ(P.Events, std::vector<std::string>{"connect"});
  ASSERT_TRUE(WaitFor([&] { return P.Received.size() >= 7; }));
  EXPECT_EQ(P.Received, "hello\r\n");
  Proxy.Join();
  EXPECT_EQ(Request, "\x04\x01\x15\x77\x00\x00\x00\x01u\r\x00" "dev\xff\x0d.example\x00"s);
  EXPECT_EQ(AfterReply, "early\r\0\xff\xfb\x18"s);
}

TEST(SocksPort, Socks5WithPasswordRepliesOneByteAtATime) {
  std::string Sent;
  TScriptedProxy Proxy([&](int Fd) {
    auto Trickle = [Fd](const std::string& S) {
      for (char C : S) SendAll(Fd, std::string(1, C));
    };
    Sent += RecvSome(Fd, 4);
    Trickle("\x05\x02"s);
    Sent += RecvSome(Fd, 14);
    Trickle("\x01\x00"s);
    Sent += RecvSome(Fd, 10);
    Trickle("\x05\x00\x00\x03\x0bproxy.local\xff\xff"s + "ready\n");
    RecvSome(Fd, 1);  // until the port closes
  });
  TSocksPort P(svSocks5, Proxy.L.Port);
  P.Port.WsSocksServerInfo().SetUserCode("quill");
  P.Port.WsSocksServerInfo().SetPassword("s3cret");
  EXPECT_EQ(P.OpenCode(), 0);
  ASSERT_TRUE(WaitFor([&] { return P.Received == "ready\n"; }));
  P.Port.SetOpen(false);
  Proxy.Join();
  EXPECT_EQ(Sent, "\x05\x02\x00\x02"s + "\x01\x05quill\x06s3cret"s +
                      "\x05\x01\x00\x01\xc0\xa8\x00\x13\x15\x77"s);
}

// Every way the exchange can end badly: raised from Open (the port closes), or handed to
// OnWsError once (the port stays as the connection leaves it).
TEST(SocksPort, EveryFailureEndsTheOpenWithItsCode) {
  struct TCase {
    const char* Name;
    TQpSocksVersion Version;
    std::string Reply;  // sent after the first request; "silence" sends nothing
    bool CloseAfter;    // the proxy closes after the reply
    int Code;
  };
  const TCase Cases[] = {
      {"no acceptable method", svSocks5, "\x05\xff"s, true, QPWSUNKNOWNERROR},
      {"socks4 rejected", svSocks4, "\x00\x5b\x00\x00\x00\x00\x00\x00"s, true, QPWSREQUESTFAILED},
      {"closed without a reply", svSocks5, "", true, QPWSUNKNOWNERROR},
      {"silence", svSocks5, "", false, wsaETimedOut},
      {"user id rejected, proxy stays", svSocks4, "\x00\x5d\x00\x00\x00\x00\x00\x00"s, false, QPWSREJECTEDUSERID},
  };
  for (const TCase& C : Cases) {
    for (bool Handler : {false, true}) {
      SCOPED_TRACE(std::string(C.Name) + (Handler ? ", OnWsError" : ", raised"));
      TScriptedProxy Proxy([&](int Fd) {
        RecvSome(Fd, C.Version == svSocks5 ? 4 : 9);
        if (!C.Reply.empty()) SendAll(Fd, C.Reply);
        if (!C.CloseAfter) RecvSome(Fd, 1 << 20, 20000);  // until the port gives up
      });
      TSocksPort P(C.Version, Proxy.L.Port);
      P.Port.WsSocksServerInfo().SetReplyTimeout(300);
      std::vector<int> Errors;
      if (Handler) P.Port.OnWsError = [&](TQpCustomWinsockPort*, std::int32_t E) { Errors.push_back(E); };
      const int Raised = P.OpenCode();
      if (Handler) {
        EXPECT_EQ(Raised, 0);
        EXPECT_EQ(Errors, std::vector<int>{C.Code});
        P.Port.SetOpen(false);
      } else {
        EXPECT_EQ(Raised, C.Code);
        EXPECT_FALSE(P.Port.Open());
      }
      Proxy.Join();
      ASSERT_TRUE(Proxy.Finished);
    }
  }
}

TEST(SocksPort, RefusedByTheProxyHostEndsTheOpen) {
  TLoopbackListener Gone;
  const std::uint16_t Closed = Gone.Port;
  Gone.Close();
  for (bool Handler : {false, true}) {
    TSocksPort P(svSocks5, Closed);
    std::vector<int> Errors;
    if (Handler) P.Port.OnWsError = [&](TQpCustomWinsockPort*, std::int32_t E) { Errors.push_back(E); };
    const int Raised = P.OpenCode();
    EXPECT_EQ(Raised, Handler ? 0 : wsaEConnRefused);
    if (Handler) {
      EXPECT_EQ(Errors, std::vector<int>{wsaEConnRefused});
    }
    ASSERT_TRUE(WaitFor([&] { return !P.Port.Open(); }));
  }
}

TEST(SocksPort, BoundAddressTypesOfTheSocks5Reply) {
  struct {
    std::string Reply;
    int Code;
    bool Delivered;  // the data after the reply reaches the port
  } Cases[] = {
      {"\x05\x00\x00\x04"s + std::string(16, '\x01') + "\x00\x50"s, QPWSUNSUPPORTEDREPLY, true},
      {"\x05\x00\x00\x09\x00\x00\x00"s, QPWSINVALIDREPLY, false},
  };
  for (const auto& C : Cases) {
    TScriptedProxy Proxy([&](int Fd) {
      RecvSome(Fd, 4);
      SendAll(Fd, "\x05\x00"s);
      RecvSome(Fd, 10);
      SendAll(Fd, C.Reply + "data");
      RecvSome(Fd, 1 << 20, 20000);
    });
    TSocksPort P(svSocks5, Proxy.L.Port);
    std::vector<int> Errors;
    P.Port.OnWsError = [&](TQpCustomWinsockPort*, std::int32_t E) { Errors.push_back(E); };
    EXPECT_EQ(P.OpenCode(), 0);
    EXPECT_EQ(Errors, std::vector<int>{C.Code});
    if (C.Delivered) {
      EXPECT_TRUE(WaitFor([&] { return P.Received == "data"; }));
    }
    P.Port.SetOpen(false);
    Proxy.Join();
    EXPECT_EQ(C.Delivered ? "data" : "", P.Received);
  }
}

TEST(SocksPort, SettingsThatCannotWorkAreRefusedBeforeConnecting) {
  TLoopbackListener L;
  {
    TSocksPort P(svSocks5, 0);
    EXPECT_EQ(P.OpenCode(), QPWSINVPORT);
  }
  {
    TSocksPort P(svSocks5, L.Port);
    P.Port.WsSocksServerInfo().SetUserCode(std::string(256, 'u'));
    EXPECT_THROW(P.Port.SetOpen(true), EBadArgument);
    EXPECT_FALSE(P.Port.Open());
  }
  {
    TSocksPort P(svSocks5, L.Port);
    P.Port.WsSocksServerInfo().SetPassword(std::string(300, 'p'));
    EXPECT_THROW(P.Port.SetOpen(true), EBadArgument);
  }
  {
    TSocksPort P(svSocks5, L.Port);
    P.Port.WsSocksServerInfo().SetAddress("");
    EXPECT_EQ(P.OpenCode(), QPWSCANTRESOLVE);
  }
  EXPECT_EQ(L.Accept(0), -1);  // nothing ever connected
}

TEST(SocksPort, ClosingTheProxyPortInsideTheWaitEndsTheOpen) {
  TScriptedProxy Proxy([&](int Fd) { RecvSome(Fd, 1 << 20, 20000); });
  TSocksPort P(svSocks5, Proxy.L.Port);
  P.Port.OnWsConnect = [](TQpCustomWinsockPort* Sender) { Sender->SetOpen(false); };
  EXPECT_EQ(P.OpenCode(), QPWSUNKNOWNERROR);
  EXPECT_FALSE(P.Port.Open());
  Proxy.Join();
}

// ------------------------------------------------------------------ real proxies

struct TRealProxyCase {
  const char* Name;
  TProxyKind Kind;
  TQpSocksVersion Version;
  std::string User, Password;
  int Code;  // 0: the tunnel is up
};

class RealProxy : public ::testing::TestWithParam<TRealProxyCase> {};

TEST_P(RealProxy, OpensThroughTheProxyToATargetThatSpeaksFirst) {
  const TRealProxyCase& C = GetParam();
  TempDir Dir;
  TTalkingTarget Target;
  TProxyServer Proxy(C.Kind, Dir.Path());
  ASSERT_TRUE(Proxy.Running()) << Proxy.Log();
  TSocksPort P(C.Version, Proxy.Port());
  P.Port.SetWsAddress("127.0.0.1");
  P.Port.SetWsPort(std::to_string(Target.Port()));
  P.Port.WsSocksServerInfo().SetUserCode(C.User);
  P.Port.WsSocksServerInfo().SetPassword(C.Password);
  P.Port.WsSocksServerInfo().SetReplyTimeout(10000);
  ASSERT_EQ(P.OpenCode(), C.Code) << Proxy.Log();
  if (C.Code != 0) return;
  // The greeting came with or right after the reply; telnet answered it; data flows both ways.
  ASSERT_TRUE(WaitFor([&] { return P.Received == "login: "; })) << P.Received;
  P.Port.PutString("[LINKOK]\r\n");
  ASSERT_TRUE(WaitFor([&] { return P.Received == "login: [LINKOK]\r\n"; })) << P.Received;
  P.Port.SetOpen(false);
  EXPECT_EQ(Target.Heard(), "\xff\xfb\x18[LINKOK]\r\n"s);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, RealProxy,
    ::testing::Values(
        TRealProxyCase{"dante_socks4", pkDante, svSocks4, "", "", 0},
        TRealProxyCase{"dante_socks5", pkDante, svSocks5, "", "", 0},
        TRealProxyCase{"microsocks_socks5", pkMicrosocks, svSocks5, "", "", 0},
        TRealProxyCase{"microsocks_password", pkMicrosocksAuth, svSocks5, "quill", "s3cret", 0},
        TRealProxyCase{"microsocks_wrong_password", pkMicrosocksAuth, svSocks5, "quill", "nope",
                       QPWSUNKNOWNERROR},
        TRealProxyCase{"microsocks_no_user", pkMicrosocksAuth, svSocks5, "", "", QPWSUNKNOWNERROR}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(RealProxyRefusal, AClosedDestinationIsTheProxysRefusal) {
  TempDir Dir;
  TLoopbackListener Gone;
  const std::uint16_t Closed = Gone.Port;
  Gone.Close();
  struct {
    TProxyKind Kind;
    TQpSocksVersion Version;
    int Code;
  } Cases[] = {{pkDante, svSocks4, QPWSREQUESTFAILED},
               {pkDante, svSocks5, QPWSREFUSED},
               {pkMicrosocks, svSocks5, QPWSREFUSED}};
  for (const auto& C : Cases) {
    TProxyServer Proxy(C.Kind, Dir.Path());
    ASSERT_TRUE(Proxy.Running()) << Proxy.Log();
    TSocksPort P(C.Version, Proxy.Port());
    P.Port.SetWsAddress("127.0.0.1");
    P.Port.SetWsPort(std::to_string(Closed));
    EXPECT_EQ(P.OpenCode(), C.Code) << Proxy.Log();
    EXPECT_FALSE(P.Port.Open());
  }
}

}  // namespace
