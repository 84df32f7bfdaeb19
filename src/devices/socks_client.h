#pragma once
// SOCKS 4, 4a and 5 client negotiation as a push parser: no I/O and no clock. The owner sends
// what Start() and TakeOutput() return, raw, and offers the proxy's bytes to Feed(), which takes
// exactly the bytes of the replies and nothing after them, so the target's first bytes stay
// with the owner for normal delivery. Not thread-safe; one negotiation per connection.

#include <cstddef>
#include <cstdint>
#include <string>

enum TQpSocksVersion { svNone = 0, svSocks4 = 1, svSocks4a = 2, svSocks5 = 3 };

// Error codes of the negotiation (texts in the error table).
constexpr int QPWSREQUESTFAILED = 9008;         // SOCKS 4 reply 91
constexpr int QPWSREJECTEDIDENTD = 9009;        // SOCKS 4 reply 92
constexpr int QPWSREJECTEDUSERID = 9010;        // SOCKS 4 reply 93
constexpr int QPWSUNKNOWNERROR = 9011;          // any other or unexpected answer
constexpr int QPWSSOCKSERROR = 9012;            // SOCKS 5 reply 1; 2..8 follow in order
constexpr int QPWSCONNECTIONNOTALLOWED = 9013;
constexpr int QPWSNETWORKUNREACHABLE = 9014;
constexpr int QPWSHOSTUNREACHABLE = 9015;
constexpr int QPWSREFUSED = 9016;
constexpr int QPWSTTLEXPIRED = 9017;
constexpr int QPWSBADCOMMAND = 9018;
constexpr int QPWSBADADDRESSTYPE = 9019;
constexpr int QPWSUNSUPPORTEDREPLY = 9020;      // bound address is IPv6
constexpr int QPWSINVALIDREPLY = 9021;          // bound address type not 1, 3 or 4

// The proxy settings of a network port (its WsSocksServerInfo). Setters store only changes.
class TQpSocksServerInfo {
 public:
  const std::string& Address() const { return FAddress; }
  void SetAddress(const std::string& V) {
    if (V != FAddress) FAddress = V;
  }
  const std::string& Password() const { return FPassword; }
  void SetPassword(const std::string& V) {
    if (V != FPassword) FPassword = V;
  }
  std::uint16_t Port() const { return FPort; }
  void SetPort(std::uint16_t V) {
    if (V != FPort) FPort = V;
  }
  TQpSocksVersion SocksVersion() const { return FSocksVersion; }
  void SetSocksVersion(TQpSocksVersion V) {
    if (V != FSocksVersion) FSocksVersion = V;
  }
  const std::string& UserCode() const { return FUserCode; }
  void SetUserCode(const std::string& V) {
    if (V != FUserCode) FUserCode = V;
  }
  // How long Open waits for the proxy's answers before it gives up (milliseconds).
  std::uint32_t ReplyTimeout() const { return FReplyTimeout; }
  void SetReplyTimeout(std::uint32_t V) { FReplyTimeout = V; }

 private:
  std::string FAddress;
  std::string FPassword;
  std::uint16_t FPort = 0;
  TQpSocksVersion FSocksVersion = svNone;
  std::string FUserCode;
  std::uint32_t FReplyTimeout = 30000;
};

// What one negotiation asks the proxy for.
struct TSocksRequest {
  TQpSocksVersion Version = svSocks5;
  std::uint32_t DestAddr = 0;  // IPv4, network byte order (SOCKS 4 and 5)
  std::uint16_t DestPort = 0;  // host byte order
  std::string DestHost;        // the name the proxy resolves (SOCKS 4a)
  std::string UserCode;
  std::string Password;
};

class TSocksNegotiation {
 public:
  enum TState {
    snIdle,         // Start not called yet
    snSocks4Reply,  // 8 bytes
    snMethodReply,  // 2 bytes
    snAuthReply,    // 2 bytes
    snRequestHead,  // 5 bytes: version, reply, reserved, address type, first address byte
    snRequestTail,  // the rest of the bound address and the port
    snDone,
  };

  // 0 when the request can be sent as asked, else the code to refuse the open with: a user
  // code, password or (4a) host name over 255 bytes or holding a NUL byte cannot be framed.
  static std::int32_t Validate(const TSocksRequest& R);

  explicit TSocksNegotiation(TSocksRequest R) : FReq(std::move(R)) {}

  // The first request; arms the first reply.
  std::string Start();
  // Takes at most the bytes of the reply being read (one reply per call); returns how many it
  // took. A completed reply may queue the next request (TakeOutput) or end the negotiation.
  std::size_t Feed(const std::uint8_t* Data, std::size_t Len);
  // The next request to send, if a reply queued one; empties it.
  std::string TakeOutput();

  TState State() const { return FState; }
  bool Finished() const { return FState == snDone; }
  // The target is reachable through the proxy: the final reply said so and was read whole.
  bool TunnelUp() const { return FTunnelUp; }
  // The first error the exchange produced (0 for none). A SOCKS 5 reply with an IPv6 bound
  // address reports 9020 even when the tunnel is up.
  std::int32_t ErrorCode() const { return FError; }
  // Bytes still needed to finish the current reply (0 when finished).
  std::size_t Wanted() const { return FWant - FHave.size(); }

 private:
  void Arm(TState S, std::size_t Count);
  void Fail(std::int32_t Code);
  void Report(std::int32_t Code) {
    if (FError == 0) FError = Code;
  }
  void Complete();
  std::string Socks5Request() const;

  TSocksRequest FReq;
  TState FState = snIdle;
  std::size_t FWant = 0;
  std::string FHave;
  std::string FOut;
  bool FTunnelUp = false;
  bool FReplyOk = false;
  std::int32_t FError = 0;
};
