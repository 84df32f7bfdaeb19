// The SOCKS negotiation against any bytes from the proxy: whatever pieces the bytes arrive in,
// it sends the same requests, ends the same way and leaves the same bytes to its owner; it
// never reports a tunnel unless every version, reserved and code byte of the replies is right.
//
// Input: one byte picks the exchange (SOCKS 4, 4a, 5 without and 5 with user and password),
// one byte the number of piece sizes that follow (one byte each), then the proxy's bytes: the
// replies, their address types included, and whatever the target sends after them.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "devices/socks_client.h"
#include "fuzz_support.h"

namespace {

TSocksRequest Request(std::uint8_t Pick) {
  TSocksRequest R;
  std::memcpy(&R.DestAddr, "\xc0\xa8\x00\x13", 4);  // 192.168.0.19, network order
  R.DestPort = 5495;
  R.DestHost = "device.example";
  switch (Pick % 4) {
    case 0: R.Version = svSocks4; break;
    case 1: R.Version = svSocks4a; break;
    case 2: R.Version = svSocks5; break;
    default:
      R.Version = svSocks5;
      R.UserCode = "quill";
      R.Password = "s3cret";
      break;
  }
  return R;
}

// How many bytes the replies of a proxy in good order take at the front of the wire; 0 when a
// version, reserved or code byte is wrong, the address type unknown, or the wire ends first.
// Written from the protocol, not from the parser.
std::size_t GoodReplies(TQpSocksVersion V, const std::string& W) {
  const auto At = [&W](std::size_t I) { return I < W.size() ? int(std::uint8_t(W[I])) : -1; };
  if (V != svSocks5) return (At(0) == 0 || At(0) == 4) && At(1) == 90 && W.size() >= 8 ? 8 : 0;
  if (At(0) != 5) return 0;
  std::size_t P = 2;  // where the request reply starts
  if (At(1) == 2) {
    if (At(2) != 1 || At(3) != 0) return 0;
    P = 4;
  } else if (At(1) != 0) {
    return 0;
  }
  if (At(P) != 5 || At(P + 1) != 0 || At(P + 2) != 0) return 0;
  std::size_t Addr = 0;
  switch (At(P + 3)) {
    case 1: Addr = 4; break;
    case 3:
      if (At(P + 4) < 0) return 0;
      Addr = 1 + std::size_t(At(P + 4));
      break;
    case 4: Addr = 16; break;
    default: return 0;
  }
  const std::size_t End = P + 4 + Addr + 2;
  return W.size() >= End ? End : 0;
}

struct TOutcome {
  std::vector<std::string> Sent;
  std::string Left;  // what the parser did not take: the owner's
  bool Finished = false, TunnelUp = false;
  std::int32_t Error = 0;
  bool operator==(const TOutcome&) const = default;
};

// Offers the wire as the connection does: piece after piece, each until the parser takes no
// more of it; a request it queues goes out before the next offer.
TOutcome Run(const TSocksRequest& R, const std::string& Wire, const std::vector<std::size_t>& Pieces) {
  TSocksNegotiation N(R);
  TOutcome Out;
  Out.Sent.push_back(N.Start());
  std::size_t Pos = 0, Piece = 0;
  while (Pos < Wire.size() && !N.Finished()) {
    const std::size_t End = Pieces.empty() ? Wire.size() : std::min(Wire.size(), Pos + Pieces[Piece++ % Pieces.size()]);
    while (Pos < End && !N.Finished()) {
      const std::size_t K = N.Feed(reinterpret_cast<const std::uint8_t*>(Wire.data()) + Pos, End - Pos);
      FUZZ_CHECK(K > 0 && K <= End - Pos, std::to_string(K));
      Pos += K;
      if (std::string S = N.TakeOutput(); !S.empty()) Out.Sent.push_back(S);
    }
  }
  FUZZ_CHECK(N.Finished() || N.Wanted() > 0, "waiting for nothing");
  Out.Left = Wire.substr(Pos);
  Out.Finished = N.Finished();
  Out.TunnelUp = N.TunnelUp();
  Out.Error = N.ErrorCode();
  return Out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Bytes, std::size_t Size) {
  TFuzzInput In(Bytes, Size);
  const TSocksRequest R = Request(In.Byte());
  std::vector<std::size_t> Pieces;
  for (int I = In.Byte() % 8; I > 0; --I) Pieces.push_back(1 + In.Byte() % 24);
  const std::string Wire = In.Rest();

  const TOutcome Whole = Run(R, Wire, {});
  FUZZ_CHECK(Run(R, Wire, Pieces) == Whole, "in pieces");
  FUZZ_CHECK(Run(R, Wire, {1}) == Whole, "byte by byte");

  const std::size_t Good = GoodReplies(R.Version, Wire);
  FUZZ_CHECK(Whole.TunnelUp == (Good > 0), Good > 0 ? "a good exchange failed" : "a bad reply passed");
  if (Whole.TunnelUp) {
    FUZZ_CHECK(Whole.Left == Wire.substr(Good), "the target's bytes");
    // Only an IPv6 bound address is reported beside a working tunnel.
    FUZZ_CHECK(Whole.Error == 0 || Whole.Error == QPWSUNSUPPORTEDREPLY, std::to_string(Whole.Error));
  } else if (Whole.Finished) {
    FUZZ_CHECK(Whole.Error != 0, "failed without a code");
  } else {
    FUZZ_CHECK(Whole.Left.empty(), "bytes left while waiting");
  }
  return 0;
}
