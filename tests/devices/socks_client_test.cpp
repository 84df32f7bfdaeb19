// The SOCKS negotiation parser on its own and on a connection with a scripted wire: every
// exchange with its replies cut at every byte, the requests it sends, what it leaves as data.

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <algorithm>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "devices/socks_client.h"
#include "devices/ws_connection.h"
#include "port/port_errors.h"

namespace {

using namespace std::string_literals;

std::uint32_t Ip(const char* Dotted) { return inet_addr(Dotted); }

TSocksRequest Req(TQpSocksVersion V, std::string User = "", std::string Pass = "") {
  TSocksRequest R;
  R.Version = V;
  R.DestAddr = Ip("192.168.0.19");
  R.DestPort = 5495;
  R.DestHost = "device.example";
  R.UserCode = std::move(User);
  R.Password = std::move(Pass);
  return R;
}

const std::string Socks5Connect = "\x05\x01\x00\x01\xc0\xa8\x00\x13\x15\x77"s;
const std::string Socks5Ok = "\x05\x00\x00\x01\x7f\x00\x00\x01\xd2\x71"s;

// One exchange: the requests the client must send, in order, and all the proxy's replies as
// one byte string (they are cut anywhere by the tests).
struct TExchange {
  const char* Name;
  TSocksRequest Request;
  std::vector<std::string> Sends;
  std::string Replies;
  std::int32_t Error;
  bool TunnelUp;
};

std::vector<TExchange> Exchanges() {
  const std::string Pass = "\x01\x05quill\x06s3cret"s;
  return {
      {"socks4 ok, empty user", Req(svSocks4), {"\x04\x01\x15\x77\xc0\xa8\x00\x13\x00"s},
       "\x00\x5a\x00\x00\x00\x00\x00\x00"s, 0, true},
      {"socks4 reply 91", Req(svSocks4, "bob"), {"\x04\x01\x15\x77\xc0\xa8\x00\x13" "bob\x00"s},
       "\x00\x5b\x00\x00\x00\x00\x00\x00"s, QPWSREQUESTFAILED, false},
      {"socks4 reply 92", Req(svSocks4), {"\x04\x01\x15\x77\xc0\xa8\x00\x13\x00"s},
       "\x00\x5c\x00\x00\x00\x00\x00\x00"s, QPWSREJECTEDIDENTD, false},
      {"socks4 reply 93", Req(svSocks4), {"\x04\x01\x15\x77\xc0\xa8\x00\x13\x00"s},
       "\x04\x5d\x00\x00\x00\x00\x00\x00"s, QPWSREJECTEDUSERID, false},
      {"socks4 other reply", Req(svSocks4), {"\x04\x01\x15\x77\xc0\xa8\x00\x13\x00"s},
       "\x00\xff\x00\x00\x00\x00\x00\x00"s, QPWSUNKNOWNERROR, false},
      {"socks4a", Req(svSocks4a, "u"),
       {"\x04\x01\x15\x77\x00\x00\x00\x01u\x00" "device.example\x00"s},
       "\x00\x5a\xff\xff\x0d\x00\xff\xff"s, 0, true},
      {"socks5 no auth", Req(svSocks5), {"\x05\x02\x00\x02"s, Socks5Connect},
       "\x05\x00"s + Socks5Ok, 0, true},
      {"socks5 user and password", Req(svSocks5, "quill", "s3cret"),
       {"\x05\x02\x00\x02"s, Pass, Socks5Connect}, "\x05\x02\x01\x00"s + Socks5Ok, 0, true},
      {"socks5 password refused", Req(svSocks5, "quill", "s3cret"), {"\x05\x02\x00\x02"s, Pass},
       "\x05\x02\x01\x01"s, QPWSUNKNOWNERROR, false},
      {"socks5 no acceptable method", Req(svSocks5), {"\x05\x02\x00\x02"s}, "\x05\xff"s,
       QPWSUNKNOWNERROR, false},
      {"socks5 refused", Req(svSocks5), {"\x05\x02\x00\x02"s, Socks5Connect},
       "\x05\x00\x05\x05\x00\x01\x00\x00\x00\x00\x00\x00"s, QPWSREFUSED, false},
      {"socks5 reply 9", Req(svSocks5), {"\x05\x02\x00\x02"s, Socks5Connect},
       "\x05\x00\x05\x09\x00\x01\x00\x00\x00\x00\x00\x00"s, QPWSUNKNOWNERROR, false},
      {"socks5 bound port ff ff", Req(svSocks5), {"\x05\x02\x00\x02"s, Socks5Connect},
       "\x05\x00\x05\x00\x00\x01\x7f\x00\x00\x01\xff\xff"s, 0, true},
      {"socks5 bound name of 11", Req(svSocks5), {"\x05\x02\x00\x02"s, Socks5Connect},
       "\x05\x00\x05\x00\x00\x03\x0bproxy.local\x0d\x00"s, 0, true},
      {"socks5 bound IPv6", Req(svSocks5), {"\x05\x02\x00\x02"s, Socks5Connect},
       "\x05\x00\x05\x00\x00\x04"s + std::string(16, '\xff') + "\x12\x34"s,
       QPWSUNSUPPORTEDREPLY, true},
      {"socks5 unknown address type", Req(svSocks5), {"\x05\x02\x00\x02"s, Socks5Connect},
       "\x05\x00\x05\x00\x00\x07\x00"s, QPWSINVALIDREPLY, false},
      // A peer that is no SOCKS server: a 0 where the reply code sits is no success unless the
      // version (and reserved) bytes around it are right. Each reply fails where it is read.
      {"socks4 all zero", Req(svSocks4), {"\x04\x01\x15\x77\xc0\xa8\x00\x13\x00"s},
       std::string(8, '\0'), QPWSUNKNOWNERROR, false},
      {"socks4a all zero", Req(svSocks4a, "u"),
       {"\x04\x01\x15\x77\x00\x00\x00\x01u\x00" "device.example\x00"s}, std::string(8, '\0'),
       QPWSUNKNOWNERROR, false},
      {"socks4 version cd", Req(svSocks4), {"\x04\x01\x15\x77\xc0\xa8\x00\x13\x00"s},
       "\xcd\x5a\x00\x00\x00\x00\x00\x00"s, QPWSUNKNOWNERROR, false},
      {"socks5 all zero", Req(svSocks5), {"\x05\x02\x00\x02"s}, std::string(2, '\0'),
       QPWSUNKNOWNERROR, false},
      {"socks5 with password all zero", Req(svSocks5, "quill", "s3cret"), {"\x05\x02\x00\x02"s},
       std::string(2, '\0'), QPWSUNKNOWNERROR, false},
      {"socks5 password status version 0", Req(svSocks5, "quill", "s3cret"),
       {"\x05\x02\x00\x02"s, Pass}, "\x05\x02\x00\x00"s, QPWSUNKNOWNERROR, false},
      {"socks5 request reply all zero", Req(svSocks5), {"\x05\x02\x00\x02"s, Socks5Connect},
       "\x05\x00"s + std::string(5, '\0'), QPWSUNKNOWNERROR, false},
      {"socks5 request reply version 48 reserved ff", Req(svSocks5),
       {"\x05\x02\x00\x02"s, Socks5Connect}, "\x05\x00\x48\x00\xff\x01\x7f"s, QPWSUNKNOWNERROR,
       false},
      {"socks5 request reply reserved 1", Req(svSocks5), {"\x05\x02\x00\x02"s, Socks5Connect},
       "\x05\x00\x05\x00\x01\x01\x7f"s, QPWSUNKNOWNERROR, false},
  };
}

// Feeds the replies in the given pieces, the way a connection offers them; returns the bytes
// taken and collects what the client sent.
std::size_t Drive(TSocksNegotiation& N, const std::vector<std::string>& Pieces,
                  std::vector<std::string>& Sent) {
  Sent.push_back(N.Start());
  std::size_t Taken = 0;
  for (const std::string& P : Pieces) {
    std::size_t Off = 0;
    while (Off < P.size() && !N.Finished()) {
      const std::size_t K = N.Feed(reinterpret_cast<const std::uint8_t*>(P.data()) + Off,
                                   P.size() - Off);
      if (std::string Out = N.TakeOutput(); !Out.empty()) Sent.push_back(Out);
      if (K == 0) break;
      Off += K;
      Taken += K;
    }
  }
  return Taken;
}

TEST(SocksNegotiation, EveryExchangeCutAtEveryByteTakesExactlyItsReplies) {
  const std::string Data = "\xff\xfd\x18login: "s;  // the target's first bytes follow at once
  for (const TExchange& E : Exchanges()) {
    const std::string Wire = E.Replies + Data;
    for (std::size_t Cut = 0; Cut <= Wire.size(); ++Cut) {
      SCOPED_TRACE(std::string(E.Name) + ", cut at " + std::to_string(Cut));
      TSocksNegotiation N(E.Request);
      std::vector<std::string> Sent;
      const std::size_t Taken = Drive(N, {Wire.substr(0, Cut), Wire.substr(Cut)}, Sent);
      EXPECT_TRUE(N.Finished());
      EXPECT_EQ(Taken, E.Replies.size());
      EXPECT_EQ(Sent, E.Sends);
      EXPECT_EQ(N.ErrorCode(), E.Error);
      EXPECT_EQ(N.TunnelUp(), E.TunnelUp);
    }
    // One byte at a time, as a slow proxy sends it.
    SCOPED_TRACE(std::string(E.Name) + ", byte by byte");
    TSocksNegotiation N(E.Request);
    std::vector<std::string> Pieces;
    for (char C : Wire) Pieces.emplace_back(1, C);
    std::vector<std::string> Sent;
    Drive(N, Pieces, Sent);
    EXPECT_EQ(Sent, E.Sends);
    EXPECT_EQ(N.ErrorCode(), E.Error);
  }
}

TEST(SocksNegotiation, RandomSegmentationsGiveTheSameOutcome) {
  std::mt19937 Rng(12);  // fixed: a failure repeats
  for (const TExchange& E : Exchanges()) {
    const std::string Wire = E.Replies + "tail";
    for (int Round = 0; Round < 200; ++Round) {
      std::vector<std::string> Pieces;
      for (std::size_t Pos = 0; Pos < Wire.size();) {
        const std::size_t N = std::uniform_int_distribution<std::size_t>(1, 6)(Rng);
        Pieces.push_back(Wire.substr(Pos, N));
        Pos += N;
      }
      TSocksNegotiation N(E.Request);
      std::vector<std::string> Sent;
      ASSERT_EQ(Drive(N, Pieces, Sent), E.Replies.size()) << E.Name;
      ASSERT_EQ(Sent, E.Sends) << E.Name;
      ASSERT_EQ(N.ErrorCode(), E.Error) << E.Name;
    }
  }
}

TEST(SocksNegotiation, ARequestThatCannotBeFramedIsRefusedBeforeAnythingIsSent) {
  const std::string Long(256, 'x'), Max(255, 'x');
  struct {
    TSocksRequest R;
    std::int32_t Expected;
  } Cases[] = {
      {Req(svSocks5, Max, Max), 0},
      {Req(svSocks5, Long, ""), ecBadArgument},
      {Req(svSocks5, "u", Long), ecBadArgument},
      {Req(svSocks4, "a\0b"s), ecBadArgument},
      {[] { auto R = Req(svSocks4a); R.DestHost = ""; return R; }(), ecBadArgument},
      {[] { auto R = Req(svSocks4a); R.DestHost = std::string(256, 'h'); return R; }(),
       ecBadArgument},
  };
  for (const auto& C : Cases) EXPECT_EQ(TSocksNegotiation::Validate(C.R), C.Expected);
}

TEST(SocksNegotiation, AnIncompleteReplyLeavesTheNegotiationWaiting) {
  TSocksNegotiation N(Req(svSocks5));
  N.Start();
  const std::uint8_t Part[] = {0x05};
  EXPECT_EQ(N.Feed(Part, 1), 1u);
  EXPECT_FALSE(N.Finished());
  EXPECT_EQ(N.Wanted(), 1u);
  EXPECT_EQ(N.State(), TSocksNegotiation::snMethodReply);
}

// ------------------------------------------------------------------ on a connection

class TScriptWire : public TWsTransport {
 public:
  std::deque<std::string> Segments;
  std::string Sent;
  TSocket CreateSocket() override { return 7; }
  int ReadSocket(TSocket, char* Buf, int BufSize, int) override {
    if (Segments.empty()) return -1;
    std::string& S = Segments.front();
    const int N = std::min<int>(BufSize, int(S.size()));
    S.copy(Buf, size_t(N));
    S.erase(0, size_t(N));
    if (S.empty()) Segments.pop_front();
    return N;
  }
  int WriteSocket(TSocket, const char* Buf, int BufSize, int) override {
    Sent.append(Buf, size_t(BufSize));
    return BufSize;
  }
  int CloseSocket(TSocket) override { return 0; }
};

class TReader : public TWsRawReader {
 public:
  TReader(TWsConnection& C, TSocksRequest R) : Conn(C), N(std::move(R)) {}
  std::size_t Take(const std::uint8_t* Data, std::size_t Len) override {
    const std::size_t K = N.Feed(Data, Len);
    if (std::string Out = N.TakeOutput(); !Out.empty()) Conn.WriteRaw(Out);
    if (N.Finished() && N.TunnelUp()) Conn.SetHoldOutput(false);
    return K;
  }
  bool Done() const override { return N.Finished(); }
  TWsConnection& Conn;
  TSocksNegotiation N;
};

// Telnet is on: the replies (with 0xFF and 0x0D in them) are read raw, the requests go out
// raw, the application's early bytes wait for the tunnel, and the target's bytes that came
// with the last reply are data with telnet handling.
TEST(SocksOnConnection, RepliesReadRawAtEveryCutAndTheRestIsTelnetData) {
  const TSocksRequest R = Req(svSocks5, "\xff\x0d", "p");
  const std::string Replies = "\x05\x02\x01\x00\x05\x00\x00\x01\x7f\x00\x00\x01\xff\x0d"s;
  const std::string Wire = Replies + "\xff\xfd\x18login\r\0: \xff\xff"s;
  for (std::size_t Cut = 0; Cut <= Wire.size(); ++Cut) {
    SCOPED_TRACE("cut at " + std::to_string(Cut));
    TScriptWire W;
    TWsConnection C(W, 256, 256);
    C.SetIsTelnet(true);
    TReader Rd(C, R);
    C.SetHoldOutput(true);
    C.SetRawReader(&Rd);
    C.WriteRaw(Rd.N.Start());
    EXPECT_EQ(C.WriteBuf("early\r", 6), 6);  // before the connection is made
    C.SetCommSocket(7);
    C.SetConnectionState(wcsConnected);
    C.WriteBuf(nullptr, 0);
    EXPECT_EQ(W.Sent, "\x05\x02\x00\x02"s);
    W.Segments = {Wire.substr(0, Cut), Wire.substr(Cut)};
    std::string Got;
    char Buf[64];
    for (int I = 0; I < 4; ++I) {
      const int N = C.ReadBuf(Buf, sizeof Buf);
      Got.append(Buf, size_t(N));
    }
    EXPECT_TRUE(Rd.N.TunnelUp());
    EXPECT_EQ(Got, "login\r: \xff"s);
    EXPECT_EQ(W.Sent, "\x05\x02\x00\x02"s + "\x01\x02\xff\x0d\x01p"s + Socks5Connect +
                          "early\r\0"s + "\xff\xfb\x18"s);
  }
}

TEST(SocksOnConnection, OutputStaysHeldWhenTheTunnelFails) {
  TScriptWire W;
  TWsConnection C(W, 256, 256);
  TReader Rd(C, Req(svSocks5));
  C.SetHoldOutput(true);
  C.SetRawReader(&Rd);
  C.SetCommSocket(7);
  C.SetConnectionState(wcsConnected);
  C.WriteRaw(Rd.N.Start());
  C.WriteBuf("app", 3);
  W.Segments = {"\x05\xff"s};
  char Buf[8];
  EXPECT_EQ(C.ReadBuf(Buf, sizeof Buf), 0);
  EXPECT_EQ(Rd.N.ErrorCode(), QPWSUNKNOWNERROR);
  EXPECT_EQ(W.Sent, "\x05\x02\x00\x02"s);
}

}  // namespace

namespace {

TEST(SocksNegotiation, EveryCodeHasAText) {
  std::vector<std::string> Seen;
  for (int Code = QPWSREQUESTFAILED; Code <= QPWSINVALIDREPLY; ++Code) {
    const std::string Text = QpLoadStr(Code);
    EXPECT_FALSE(Text.empty()) << Code;
    EXPECT_EQ(std::count(Seen.begin(), Seen.end(), Text), 0) << Code;
    Seen.push_back(Text);
  }
}

}  // namespace
