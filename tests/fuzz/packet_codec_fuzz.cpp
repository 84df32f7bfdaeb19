// The packet codec against any received line, and every packet it formats read back whole.

#include <string>

#include "fuzz_support.h"
#include "link/net_defs.h"
#include "link/packet_codec.h"

namespace {

struct TCounted : TPacketReactions {
  int Status = 0, Actions = 0;
  TLinkStatus LastStatus = lsNone;
  int LastAction = 0;
  void SetLinkStatus(TLinkStatus S) override {
    ++Status;
    LastStatus = S;
  }
  void DoAction(int A) override {
    ++Actions;
    LastAction = A;
  }
};

bool UpperHex(char C) { return (C >= '0' && C <= '9') || (C >= 'A' && C <= 'F'); }

// Any line: decoded without reading past it, acting at most once and only on its command.
void DecodeAny(const std::string& Line, std::int32_t Response) {
  TCounted R;
  TPacketCodec Codec(R);
  Codec.Response = Response;
  Codec.DecodePacket(Line);
  const TNetPacket& P = Codec.NetPacket;
  const std::size_t MaxData = Line.size() > 8 ? (Line.size() - 7) / 2 : 0;
  FUZZ_CHECK(P.Data.size() <= MaxData, Line);
  FUZZ_CHECK(R.Status + R.Actions <= 1, Line);
  FUZZ_CHECK(R.Status == (P.Cmd == msgLinkGood ? 1 : 0), Line);
  FUZZ_CHECK(R.Status == 0 || R.LastStatus == lsReady, Line);
  FUZZ_CHECK(R.Actions == (P.Cmd == msgQuillStatus ? 1 : 0), Line);
  FUZZ_CHECK(R.Actions == 0 || R.LastAction == mcQuillStatus, Line);
  FUZZ_CHECK(Codec.Response == (P.Cmd == Response ? 0 : Response), Line);
}

// A formatted packet: "[" DD "05" CC data "]" CR in upper-case hex, and its line decodes back
// to the same destination, source, command and data.
void RoundTrip(std::uint8_t Address, std::uint8_t Cmd, const std::string& Data) {
  NetAddress = Address;
  TCounted R;
  TPacketCodec Codec(R);
  const std::string Wire = Codec.FormatPacket(Cmd, Data);
  FUZZ_CHECK(Wire.size() == 9 + 2 * Data.size(), Wire);
  FUZZ_CHECK(Wire.front() == '[' && Wire.compare(Wire.size() - 2, 2, "]\r") == 0, Wire);
  for (std::size_t I = 1; I + 2 < Wire.size(); ++I) FUZZ_CHECK(UpperHex(Wire[I]), Wire);
  Codec.DecodePacket(Wire.substr(0, Wire.size() - 1));
  FUZZ_CHECK(Codec.NetPacket.Dest == Address, Wire);
  FUZZ_CHECK(Codec.NetPacket.Source == 0x05, Wire);
  FUZZ_CHECK(Codec.NetPacket.Cmd == Cmd, Wire);
  FUZZ_CHECK(Codec.NetPacket.Data == Data, Wire);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Bytes, std::size_t Size) {
  TFuzzInput In(Bytes, Size);
  const std::uint8_t Mode = In.Byte();
  if (Mode & 1) {
    const std::uint8_t Address = In.Byte();
    const std::uint8_t Cmd = In.Byte();
    RoundTrip(Address, Cmd, In.Rest());
  } else {
    const std::int32_t Response = (Mode & 2) ? In.Byte() : 0;
    DecodeAny(In.Rest(), Response);
  }
  return 0;
}
