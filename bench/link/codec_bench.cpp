// Formatting and decoding of the packets the link carries most: status packets and link tests.
#include <benchmark/benchmark.h>

#include "defs/defines_u.h"
#include "link/net_defs.h"
#include "link/packet_codec.h"

namespace {

struct NoReactions : TPacketReactions {
  void SetLinkStatus(TLinkStatus) override {}
  void DoAction(int) override {}
};

void BM_DecodeStatus(benchmark::State& State) {
  NoReactions R;
  TPacketCodec Codec(R);
  const std::string Line = "[05C1C501050103]";
  for (auto _ : State) {
    Codec.DecodePacket(Line);
    benchmark::DoNotOptimize(Codec.NetPacket);
  }
}
BENCHMARK(BM_DecodeStatus);

void BM_DecodeLinkOk(benchmark::State& State) {
  NoReactions R;
  TPacketCodec Codec(R);
  const std::string Line = "[LINKOK]";
  for (auto _ : State) {
    Codec.DecodePacket(Line);
    benchmark::DoNotOptimize(Codec.NetPacket);
  }
}
BENCHMARK(BM_DecodeLinkOk);

void BM_FormatLinkTest(benchmark::State& State) {
  NoReactions R;
  TPacketCodec Codec(R);
  NetAddress = 0xC1;
  for (auto _ : State) benchmark::DoNotOptimize(Codec.FormatPacket(cmdTestLink, ""));
}
BENCHMARK(BM_FormatLinkTest);

void BM_FormatAntenna(benchmark::State& State) {
  NoReactions R;
  TPacketCodec Codec(R);
  NetAddress = 0xC1;
  const std::string Data("\x01\x03", 2);
  for (auto _ : State) benchmark::DoNotOptimize(Codec.FormatPacket(cmdRadioAntenna, Data));
}
BENCHMARK(BM_FormatAntenna);

}  // namespace

BENCHMARK_MAIN();
