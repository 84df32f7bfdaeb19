// The network port end to end against loopback peers, the way the Communications window uses
// it: Open, PutString, GetChar in OnTriggerAvail, OnWsConnect, OnWsDisconnect.

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "devices/net_port.h"
#include "lan_port.h"
#include "net_test_support.h"
#include "test_support.h"

extern char** environ;

namespace {

using namespace std::string_literals;

TEST(NetPort, CarriesBytesBothWaysWithTelnetAndReportsTheConnection) {
  TLoopbackListener L;
  TLanPort P;
  P.OpenTo(L.Port);
  EXPECT_TRUE(P.Port.Open());  // at once, with the connection still pending
  EXPECT_TRUE(P.Events.empty());
  P.Port.PutString("early\r");  // waits for the connection

  int Peer = L.Accept();
  ASSERT_GE(Peer, 0);
  ASSERT_TRUE(WaitFor([&] { return P.Count("connect") == 1; }));
  EXPECT_TRUE(P.Port.DCD());
  EXPECT_EQ(RecvSome(Peer, 7), "early\r\0"s);

  SendAll(Peer, "[LINKOK]\r\0[C5"s);
  SendAll(Peer, "05]\r\n\xff\xff\xff\xfd\x18");
  ASSERT_TRUE(WaitFor([&] { return P.Received.size() >= 15; }));
  EXPECT_EQ(P.Received, "[LINKOK]\r[C505]\r\n\xff");
  EXPECT_EQ(RecvSome(Peer, 3), "\xff\xfb\x18");  // the terminal-type offer

  P.Port.FlushOutBuffer();
  P.Port.PutString("[C105350103]\r");
  EXPECT_EQ(RecvSome(Peer, 14), "[C105350103]\r\0"s);

  ::close(Peer);
  ASSERT_TRUE(WaitFor([&] { return !P.Port.Open(); }));
  EXPECT_EQ(P.Events, (std::vector<std::string>{"connect", "data", "disconnect"}));
  ProcessMessages();
  EXPECT_EQ(P.Count("disconnect"), 1);
}

TEST(NetPort, BytesSentJustBeforeThePeerClosesArriveBeforeTheDisconnect) {
  TLoopbackListener L;
  TLanPort P;
  P.OpenTo(L.Port);
  int Peer = L.Accept();
  SendAll(Peer, "last words\r\n");
  ::close(Peer);
  ASSERT_TRUE(WaitFor([&] { return !P.Port.Open(); }));
  EXPECT_EQ(P.Received, "last words\r\n");
  EXPECT_EQ(P.Events, (std::vector<std::string>{"connect", "data", "disconnect"}));
}

TEST(NetPort, RefusedConnectionClosesQuietlyAndALaterOpenTriesAgain) {
  TLoopbackListener Gone;
  const std::uint16_t Closed = Gone.Port;
  Gone.Close();
  TLanPort P;
  std::vector<int> Errors;
  P.Port.OnWsError = [&](TQpCustomWinsockPort*, std::int32_t E) { Errors.push_back(E); };
  EXPECT_NO_THROW(P.OpenTo(Closed));
  ASSERT_TRUE(WaitFor([&] { return !P.Port.Open(); }));
  EXPECT_TRUE(P.Events.empty());  // no connect, no disconnect
  EXPECT_EQ(Errors, std::vector<int>{10061});

  TLoopbackListener L;
  P.OpenTo(L.Port);
  int Peer = L.Accept();
  ASSERT_TRUE(WaitFor([&] { return P.Count("connect") == 1; }));
  ::close(Peer);
  ASSERT_TRUE(WaitFor([&] { return !P.Port.Open(); }));
  EXPECT_EQ(P.Count("disconnect"), 1);
}

TEST(NetPort, ClosingByTheProgramFiresDisconnectOnlyAfterAConnect) {
  TLoopbackListener L;
  {
    TLanPort P;
    P.OpenTo(L.Port);
    P.Port.SetOpen(false);  // before the connection came up
    EXPECT_FALSE(P.Port.Open());
    ProcessMessages();
    EXPECT_TRUE(P.Events.empty());
    int Stray = L.Accept(1000);
    if (Stray >= 0) {
      EXPECT_EQ(RecvSome(Stray, 1, 2000), "");  // the socket was closed, not left behind
      ::close(Stray);
    }
  }
  TLanPort P;
  P.OpenTo(L.Port);
  int Peer = L.Accept();
  ASSERT_TRUE(WaitFor([&] { return P.Count("connect") == 1; }));
  P.Port.SetOpen(false);
  EXPECT_FALSE(P.Port.Open());
  EXPECT_EQ(P.Events, (std::vector<std::string>{"connect", "disconnect"}));
  EXPECT_EQ(RecvSome(Peer, 1, 2000), "");  // the peer sees the close
  ::close(Peer);
}

// Names resolve through this stand-in only.
THostEnt* FakeResolver(const char* Name) {
  static std::uint32_t Addr;
  static char* List[2];
  static THostEnt Ent;
  if (std::strcmp(Name, "device.test") != 0) {
    SockFuncs.WSASetLastError(11001);
    return nullptr;
  }
  Addr = LoopbackAddr();
  List[0] = reinterpret_cast<char*>(&Addr);
  List[1] = nullptr;
  Ent = THostEnt{const_cast<char*>("device.test"), nullptr, 2, 4, List};
  return &Ent;
}

struct ScopedResolver {
  ScopedResolver() : Saved(SockFuncs.gethostbyname) {
    QpSocket();
    SockFuncs.gethostbyname = &FakeResolver;
  }
  ~ScopedResolver() { SockFuncs.gethostbyname = Saved; }
  TfnGetHostByName Saved;
};

TEST(NetPort, OpenFailuresRaiseSocketErrorsAndLeaveThePortClosed) {
  ScopedResolver Resolver;
  struct Case {
    const char* Address;
    const char* PortText;
    int Code;
  } Cases[] = {
      {"", "5495", 10039},
      {"127.0.0.1", "0", 9005},
      {"127.0.0.1", "70000", 9005},  // not taken modulo 65536 (4464)
      {"127.0.0.1", "65536", 9005},
      {"127.0.0.1", "no-such-service", 9005},
      {"unknown.test", "5495", 9007},
      {"127.0.0.1000000001", "5495", 9007},  // not cut to "127.0.0.100"
  };
  for (const auto& K : Cases) {
    TLanPort P;
    P.Port.SetWsAddress(K.Address);
    P.Port.SetWsPort(K.PortText);
    try {
      P.Port.SetOpen(true);
      ADD_FAILURE() << K.Address << ":" << K.PortText << " opened";
    } catch (const EQpSocketException& E) {
      EXPECT_EQ(E.ErrorCode(), K.Code) << K.Address << ":" << K.PortText;
    }
    EXPECT_FALSE(P.Port.Open());
    EXPECT_EQ(P.Port.PortState(), psClosed);
  }
}

TEST(NetPort, HostNamesResolveAndAnErrorHandlerSeesAnUnknownOne) {
  ScopedResolver Resolver;
  TLoopbackListener L;
  TLanPort P;
  P.Port.SetWsAddress("device.test");
  P.OpenTo(L.Port);
  int Peer = L.Accept();
  ASSERT_TRUE(WaitFor([&] { return P.Count("connect") == 1; }));
  P.Port.SetOpen(false);
  ::close(Peer);

  std::vector<int> Errors;
  P.Port.OnWsError = [&](TQpCustomWinsockPort*, std::int32_t E) { Errors.push_back(E); };
  P.Port.SetWsAddress("unknown.test");
  EXPECT_ANY_THROW(P.Port.SetOpen(true));
  EXPECT_EQ(Errors, std::vector<int>{9007});
  EXPECT_FALSE(P.Port.Open());
}

TEST(NetPort, EndpointSettingsAreTrimmedAndFixedWhileOpen) {
  TLoopbackListener L;
  TLanPort P;
  P.Port.SetWsAddress("  127.0.0.1 ");
  EXPECT_EQ(P.Port.WsAddress(), "127.0.0.1");
  EXPECT_EQ(TQpWinsockPort().WsPort(), "telnet");
  int Asked = 0;
  P.Port.PortSelector = [&](std::uint16_t&) { return ++Asked, false; };
  P.OpenTo(L.Port);  // ComNumber 0: no port selection for the network
  EXPECT_EQ(Asked, 0);
  EXPECT_NO_THROW(P.Port.SetWsAddress("127.0.0.1"));
  auto Code = [](auto&& F) {
    try {
      F();
    } catch (const EQpSocketException& E) {
      return E.ErrorCode();
    }
    return 0;
  };
  EXPECT_EQ(Code([&] { P.Port.SetWsAddress("127.0.0.2"); }), 9006);
  EXPECT_EQ(Code([&] { P.Port.SetWsPort("23"); }), 9006);
  EXPECT_EQ(Code([&] { P.Port.SetWsMode(wsServer); }), 9006);
  P.Port.SetDeviceLayer(dlWin32);  // refused while open
  EXPECT_EQ(P.Port.DeviceLayer(), dlWinsock);
  EXPECT_FALSE(P.Port.UseMSRShadow());
  P.Port.SetUseMSRShadow(true);
  EXPECT_FALSE(P.Port.UseMSRShadow());  // never with the network layer
  P.Port.SetOpen(false);
  EXPECT_NO_THROW(P.Port.SetWsAddress("127.0.0.2"));
  P.Port.SetDeviceLayer(dlWin32);
  EXPECT_EQ(P.Port.DeviceLayer(), dlWin32);
  EXPECT_EQ(P.Port.TapiMode(), tmAuto);
}

TEST(NetPort, ServerTakesOneClientAtATime) {
  TLanPort P;
  TLoopbackListener Probe;  // a free port number to listen on
  const std::uint16_t Number = Probe.Port;
  Probe.Close();
  P.Port.SetWsMode(wsServer);
  std::vector<std::uint32_t> Accepted;
  P.Port.OnWsAccept = [&](TQpCustomWinsockPort*, std::uint32_t Addr, bool& Accept) {
    Accepted.push_back(Addr);
    Accept = true;
  };
  P.OpenTo(Number);
  int First = ConnectLoopback(Number);
  ASSERT_GE(First, 0);
  ASSERT_TRUE(WaitFor([&] { return Accepted.size() == 1; }));
  EXPECT_EQ(Accepted[0], LoopbackAddr());
  int Second = ConnectLoopback(Number);
  ASSERT_GE(Second, 0);
  EXPECT_TRUE(WaitFor([&] { return PeerClosed(Second); }));  // accepted and closed at once
  ::close(Second);
  SendAll(First, "hi");
  ASSERT_TRUE(WaitFor([&] { return P.Received == "hi"; }));
  P.Port.PutString("back");
  EXPECT_EQ(RecvSome(First, 4), "back");
  EXPECT_EQ(Accepted.size(), 1u);
  ::close(First);
  ASSERT_TRUE(WaitFor([&] { return P.Count("disconnect") == 1; }));
  EXPECT_TRUE(P.Port.Open());  // a server stays open for the next client
  P.Port.SetOpen(false);
}

TEST(NetPort, ServerLosingItsClientByResetTakesTheNextAndReportsNoLineError) {
  TLanPort P;
  TLoopbackListener Probe;
  const std::uint16_t Number = Probe.Port;
  Probe.Close();
  P.Port.SetWsMode(wsServer);
  int Accepts = 0;
  std::vector<int> Errors;
  P.Port.OnWsAccept = [&](TQpCustomWinsockPort*, std::uint32_t, bool&) { ++Accepts; };
  P.Port.OnWsError = [&](TQpCustomWinsockPort*, std::int32_t E) { Errors.push_back(E); };
  P.OpenTo(Number);
  int First = ConnectLoopback(Number);
  ASSERT_TRUE(WaitFor([&] { return Accepts == 1; }));
  ResetClose(First);
  ASSERT_TRUE(WaitFor([&] { return P.Count("disconnect") == 1; }));
  EXPECT_EQ(Errors, std::vector<int>{10054});
  EXPECT_EQ(P.Port.LineError(), 0);  // a socket error is no serial line error
  int Second = ConnectLoopback(Number);
  ASSERT_TRUE(WaitFor([&] { return Accepts == 2; }));
  SendAll(Second, "next");
  ASSERT_TRUE(WaitFor([&] { return P.Received == "next"; }));
  ::close(Second);
  P.Port.SetOpen(false);
}

// A real telnet server: inetutils telnetd behind socat on a loopback port.
class TTelnetServer {
 public:
  TTelnetServer() {
    if (::access("/usr/sbin/telnetd", X_OK) != 0 || ::access("/usr/bin/socat", X_OK) != 0) return;
    TLoopbackListener Probe;
    Port = Probe.Port;
    Probe.Close();
    const std::string Listen =
        "TCP-LISTEN:" + std::to_string(Port) + ",bind=127.0.0.1,reuseaddr,fork";
    const std::string Exec = "EXEC:/usr/sbin/telnetd -h,nofork";
    const char* Argv[] = {"socat", Listen.c_str(), Exec.c_str(), nullptr};
    if (::posix_spawn(&Pid, "/usr/bin/socat", nullptr, nullptr, const_cast<char**>(Argv),
                      environ) != 0) {
      Pid = -1;
      return;
    }
    // Ready once it accepts (each probe is a connection of its own, closed at once).
    Ready = WaitFor([&] {
      int Fd = ConnectLoopback(Port);
      if (Fd < 0) return false;
      ::close(Fd);
      return true;
    });
  }
  ~TTelnetServer() {
    if (Pid > 0) {
      ::kill(Pid, SIGTERM);
      ::waitpid(Pid, nullptr, 0);
    }
  }
  pid_t Pid = -1;
  std::uint16_t Port = 0;
  bool Ready = false;
};

TEST(NetPort, NegotiatesWithARealTelnetServer) {
  TTelnetServer Server;
  if (!Server.Ready) GTEST_SKIP() << "socat or telnetd not available";
  TLanPort P;
  P.OpenTo(Server.Port);
  ASSERT_TRUE(WaitFor([&] { return P.Count("connect") == 1; }));
  // The server asks for the terminal type and more before it starts the login; only a
  // client that answers every request gets that far.
  ASSERT_TRUE(WaitFor([&] { return P.Received.find("login:") != std::string::npos; }, 20000))
      << P.Received;
  EXPECT_EQ(P.Received.find('\xff'), std::string::npos);  // no telnet command leaked into data
  P.Port.SetOpen(false);
  EXPECT_EQ(P.Count("disconnect"), 1);
}

// A connection event that arrives while OnTriggerAvail processes messages must leave the
// delivery marked busy, so that closing the port from the handler afterwards is deferred
// until the delivery has unwound.
TEST(NetPort, ConnectionEventInsideADataHandlerKeepsTheDeliveryBusy) {
  TLanPort P;
  TLoopbackListener Probe;
  const std::uint16_t Number = Probe.Port;
  Probe.Close();
  P.Port.SetWsMode(wsServer);
  int Client = -1;
  bool ClosedInside = false;
  P.Port.OnTriggerAvail = [&](TQpCustomComPort* CP, std::uint16_t Count) {
    for (std::uint16_t I = 0; I < Count; ++I) P.Received += char(CP->GetChar());
    if (ClosedInside) return;
    ClosedInside = true;
    ::close(Client);  // the client goes while this handler still runs
    EXPECT_TRUE(WaitFor([&] { return P.Count("disconnect") == 1; }));
    P.Port.SetOpen(false);
    EXPECT_TRUE(P.Port.Open());  // finished after the delivery, not inside it
  };
  P.OpenTo(Number);
  Client = ConnectLoopback(Number);
  SendAll(Client, "x");
  ASSERT_TRUE(WaitFor([&] { return ClosedInside; }));
  ASSERT_TRUE(WaitFor([&] { return !P.Port.Open(); }));
  EXPECT_EQ(P.Received, "x");
}

TEST(NetPort, ServerOnAPortInUseFailsWithTheSocketError) {
  TLoopbackListener Busy;  // listening on the number already
  TLanPort P;
  P.Port.SetWsMode(wsServer);
  P.Port.SetWsPort(std::to_string(Busy.Port));
  try {
    P.Port.SetOpen(true);
    ADD_FAILURE() << "opened";
  } catch (const EQpSocketException& E) {
    EXPECT_EQ(E.ErrorCode(), 10048);
    EXPECT_STREQ(E.what(), "The address is already in use for this operation");
  }
  EXPECT_FALSE(P.Port.Open());
  EXPECT_EQ(QpSocket()->ConnectionCount(), 0u);  // nothing left behind
  for (const std::string& A : P.Port.WsLocalAddresses())
    EXPECT_NE(QpSocket()->String2NetAddr(A), InAddr_None) << A;
}

TEST(NetPort, TwoPortsEachGetTheirOwnBytes) {
  TLoopbackListener L1, L2;
  TLanPort A, B;
  A.OpenTo(L1.Port);
  B.OpenTo(L2.Port);
  int PA = L1.Accept(), PB = L2.Accept();
  ASSERT_TRUE(WaitFor([&] { return A.Count("connect") == 1 && B.Count("connect") == 1; }));
  SendAll(PA, "for A");
  SendAll(PB, "for B");
  ASSERT_TRUE(WaitFor([&] { return A.Received.size() == 5 && B.Received.size() == 5; }));
  EXPECT_EQ(A.Received, "for A");
  EXPECT_EQ(B.Received, "for B");
  ::close(PA);
  ::close(PB);
  ASSERT_TRUE(WaitFor([&] { return !A.Port.Open() && !B.Port.Open(); }));
}

TEST(NetPort, TheDispatchLogNamesTelnetOptionsAndTheTerminalType) {
  TempDir Dir;
  TLoopbackListener L;
  TLanPort P;
  P.Port.SetLogName(Dir.File("QPORT.LOG"));
  P.Port.SetLogging(tlOn);
  P.OpenTo(L.Port);
  int Peer = L.Accept();
  SendAll(Peer, "\xff\xfd\x18\xff\xfa\x18\x01\xff\xf0ok");
  ASSERT_TRUE(WaitFor([&] { return P.Received == "ok"; }));
  P.Port.SetOpen(false);  // writes the log
  ::close(Peer);
  const std::string Text = ReadFile(Dir.File("QPORT.LOG"));
  EXPECT_NE(Text.find("Device: Winsock client, connect to 127.0.0.1 on port "), std::string::npos);
  EXPECT_NE(Text.find("  Telnet    Recv DO       00000018  [Terminal Type]\n"), std::string::npos)
      << Text;
  EXPECT_NE(Text.find("  Telnet    Sent WILL     00000018  [Terminal Type]\n"), std::string::npos)
      << Text;
  EXPECT_NE(Text.find("  Telnet    Sent Term     00000000  vt100\n"), std::string::npos) << Text;
}

}  // namespace

TEST(NetPort, ReopeningFromTheErrorHandlerAfterAResetStaysOpen) {
  // The reset's own close is already queued when the handler opens a new connection; it must
  // end only the connection it was meant for.
  TLanPort P;
  TLoopbackListener Peer;
  std::vector<int> Errors;
  P.Port.OnWsError = [&](TQpCustomWinsockPort* Port, std::int32_t E) {
    Errors.push_back(E);
    Port->SetOpen(false);
    Port->SetOpen(true);
  };
  P.OpenTo(Peer.Port);
  const int First = Peer.Accept();
  ASSERT_GE(First, 0);
  ASSERT_TRUE(WaitFor([&] { return P.Count("connect") == 1; }));
  ResetClose(First);
  ASSERT_TRUE(WaitFor([&] { return !Errors.empty(); }));
  EXPECT_EQ(Errors.front(), 10054);
  int Second = -1;
  ASSERT_TRUE(WaitFor([&] { return (Second = Peer.Accept(0)) >= 0; }));
  ASSERT_TRUE(WaitFor([&] { return P.Count("connect") == 2; }));
  // Every message queued so far has been handled; the new connection carries bytes.
  SendAll(Second, "after");
  ASSERT_TRUE(WaitFor([&] { return P.Received == "after"; }));
  EXPECT_TRUE(P.Port.Open());
  char B;
  EXPECT_EQ(::recv(Second, &B, 1, MSG_DONTWAIT), -1);  // not closed by us
  ::close(Second);
}

// A send that fails is reported to the port's handlers while PutString runs; it must come
// after the output lock is released, or a handler (an error box, a reopen) would run inside it
// and any other thread needing the lock would wait for the box.
TEST(NetPort, ASendThatFailsIsReportedWithTheOutputLockFree) {
  TLanPort P;
  TLoopbackListener Peer;
  std::vector<int> Errors;
  std::vector<bool> LockFree;
  P.Port.OnWsError = [&](TQpCustomWinsockPort* Port, std::int32_t E) {
    Errors.push_back(E);
    auto D = Port->Dispatcher();
    if (!D) return;
    bool Free = false;
    std::thread([&] {
      if (D->OutputSection.try_lock()) {
        Free = true;
        D->OutputSection.unlock();
      }
    }).join();
    LockFree.push_back(Free);
  };
  P.OpenTo(Peer.Port);
  const int First = Peer.Accept();
  ASSERT_GE(First, 0);
  ASSERT_TRUE(WaitFor([&] { return P.Count("connect") == 1; }));
  const int Ours = P.Port.Dispatcher()->ComHandle();
  ResetClose(First);
  // The reset has reached our socket, but the loop has not run: the next send meets it.
  pollfd Pfd{Ours, POLLIN, 0};
  ASSERT_EQ(::poll(&Pfd, 1, 10000), 1);
  P.Port.PutString("x");
  ASSERT_FALSE(Errors.empty());
  EXPECT_EQ(LockFree, std::vector<bool>(LockFree.size(), true));
}
