#include "socks_client.h"

#include <algorithm>

#include "port/port_errors.h"

namespace {

void PutPort(std::string& S, std::uint16_t Port) {
  S += char(Port >> 8);
  S += char(Port & 0xFF);
}

// The address is kept in network byte order: its bytes in memory are already wire order.
void PutAddr(std::string& S, std::uint32_t NetAddr) {
  S.append(reinterpret_cast<const char*>(&NetAddr), 4);
}

bool Framable(const std::string& S) { return S.size() <= 255 && S.find('\0') == std::string::npos; }

}  // namespace

std::int32_t TSocksNegotiation::Validate(const TSocksRequest& R) {
  if (!Framable(R.UserCode) || !Framable(R.Password)) return ecBadArgument;
  if (R.Version == svSocks4a && (!Framable(R.DestHost) || R.DestHost.empty())) return ecBadArgument;
  return 0;
}

void TSocksNegotiation::Arm(TState S, std::size_t Count) {
  FState = S;
  FWant = Count;
  FHave.clear();
}

void TSocksNegotiation::Fail(std::int32_t Code) {
  Report(Code);
  Complete();
}

void TSocksNegotiation::Complete() {
  FState = snDone;
  FWant = 0;
  FHave.clear();
}

std::string TSocksNegotiation::Start() {
  std::string S;
  switch (FReq.Version) {
    case svSocks4:
    case svSocks4a:
      S += '\x04';
      S += '\x01';
      PutPort(S, FReq.DestPort);
      if (FReq.Version == svSocks4) {
        PutAddr(S, FReq.DestAddr);
      } else {
        S.append("\0\0\0\x01", 4);  // 0.0.0.1: the name follows
      }
      S += FReq.UserCode;
      S += '\0';
      if (FReq.Version == svSocks4a) {
        S += FReq.DestHost;
        S += '\0';
      }
      Arm(snSocks4Reply, 8);
      break;
    case svSocks5:
      S = std::string("\x05\x02\x00\x02", 4);
      Arm(snMethodReply, 2);
      break;
    case svNone:
      Complete();
      FTunnelUp = true;
      break;
  }
  return S;
}

std::string TSocksNegotiation::Socks5Request() const {
  std::string S("\x05\x01\x00\x01", 4);
  PutAddr(S, FReq.DestAddr);
  PutPort(S, FReq.DestPort);
  return S;
}

std::string TSocksNegotiation::TakeOutput() {
  std::string Out;
  Out.swap(FOut);
  return Out;
}

std::size_t TSocksNegotiation::Feed(const std::uint8_t* Data, std::size_t Len) {
  std::size_t Taken = 0;
  while (Taken < Len && FState != snDone && FState != snIdle) {
    const std::size_t N = std::min(Len - Taken, FWant - FHave.size());
    FHave.append(reinterpret_cast<const char*>(Data + Taken), N);
    Taken += N;
    if (FHave.size() < FWant) break;
    const TState Step = FState;
    const auto B = [this](std::size_t I) { return std::uint8_t(FHave[I]); };
    switch (FState) {
      case snSocks4Reply:
        // The version byte of a SOCKS 4 reply is 0 by the protocol, 4 by some proxies; anything
        // else is no SOCKS server, whatever its second byte says.
        if (B(0) != 0 && B(0) != 4) {
          Fail(QPWSUNKNOWNERROR);
          break;
        }
        switch (B(1)) {
          case 90: FTunnelUp = true; Complete(); break;
          case 91: Fail(QPWSREQUESTFAILED); break;
          case 92: Fail(QPWSREJECTEDIDENTD); break;
          case 93: Fail(QPWSREJECTEDUSERID); break;
          default: Fail(QPWSUNKNOWNERROR); break;
        }
        break;
      case snMethodReply:
        if (B(0) != 0x05) {
          Fail(QPWSUNKNOWNERROR);
        } else if (B(1) == 0x00) {
          FOut += Socks5Request();
          Arm(snRequestHead, 5);
        } else if (B(1) == 0x02) {
          FOut += '\x01';
          FOut += char(FReq.UserCode.size());
          FOut += FReq.UserCode;
          FOut += char(FReq.Password.size());
          FOut += FReq.Password;
          Arm(snAuthReply, 2);
        } else {
          Fail(QPWSUNKNOWNERROR);  // 0xFF: no acceptable method
        }
        break;
      case snAuthReply:
        // The user/password exchange has its own version, 1.
        if (B(0) == 0x01 && B(1) == 0x00) {
          FOut += Socks5Request();
          Arm(snRequestHead, 5);
        } else {
          Fail(QPWSUNKNOWNERROR);
        }
        break;
      case snRequestHead: {
        if (B(0) != 0x05 || B(2) != 0x00) {
          // Not a SOCKS 5 reply: the length of the rest cannot be trusted, so nothing is read on.
          Fail(QPWSUNKNOWNERROR);
          break;
        }
        const std::uint8_t Reply = B(1);
        FReplyOk = Reply == 0;
        if (Reply >= 1 && Reply <= 8)
          Report(QPWSSOCKSERROR + Reply - 1);
        else if (Reply != 0)
          Report(QPWSUNKNOWNERROR);
        // The rest of the reply is read whatever it said, so nothing of it is taken for data.
        switch (B(3)) {
          case 1: Arm(snRequestTail, 3 + 2); break;
          case 3: Arm(snRequestTail, std::size_t(B(4)) + 2); break;
          case 4:
            Report(QPWSUNSUPPORTEDREPLY);
            Arm(snRequestTail, 15 + 2);
            break;
          default:
            // Its length is unknown: nothing after it can be told apart from data.
            FReplyOk = false;
            Fail(QPWSINVALIDREPLY);
            break;
        }
        break;
      }
      case snRequestTail:
        FTunnelUp = FReplyOk;
        Complete();
        break;
      case snIdle:
      case snDone:
        break;
    }
    // A reply that queued a request ends this call: the request goes out before the next
    // reply is read. The tail of a SOCKS 5 reply belongs to its head and is read on.
    if (Step != snRequestHead) break;
  }
  return Taken;
}
