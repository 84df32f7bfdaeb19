// Received bytes through the port's whole receive path, read in OnTriggerAvail with GetChar or
// GetBlock, beside a plain copy of the same data. The device layer is the in-memory one of the
// port tests, fed before each timed round, so the figures are those of the port core. The GUI
// thread waits in WaitWithMessages, or (EventLoop) runs the Qt event loop as the program does.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "memory_dispatcher.h"
#include "platform/messages.h"

namespace {

constexpr std::size_t RoundBytes = 4 << 20;

const std::string& Payload() {
  static const std::string Data = [] {
    std::string S(RoundBytes, '\0');
    for (std::size_t I = 0; I < S.size(); ++I) S[I] = char('!' + I % 90);
    return S;
  }();
  return Data;
}

void BM_PlainCopy(benchmark::State& State) {
  const std::string& In = Payload();
  std::vector<char> Out(In.size());
  for (auto _ : State) {
    // The same chunks the port hands out: at most one ring's worth per copy.
    for (std::size_t Pos = 0; Pos < In.size(); Pos += DispatchBufferSize)
      std::memcpy(Out.data() + Pos, In.data() + Pos, std::min<std::size_t>(DispatchBufferSize, In.size() - Pos));
    benchmark::DoNotOptimize(Out.data());
    benchmark::ClobberMemory();
  }
  State.SetBytesProcessed(std::int64_t(State.iterations()) * std::int64_t(In.size()));
}

void RunPort(benchmark::State& State, bool Block, bool EventLoop = false) {
  const std::string& In = Payload();
  std::vector<char> Out(In.size());
  std::size_t Got = 0;
  QEventLoop* Loop = nullptr;
  TMemoryPort P;
  P.OnTriggerAvail = [&](TQpCustomComPort* CP, std::uint16_t Count) {
    if (Block) {
      CP->GetBlock(Out.data() + Got, Count);
      Got += Count;
    } else {
      for (std::uint16_t I = 0; I < Count; ++I) Out[Got++] = char(CP->GetChar());
    }
    if (Loop && Got == In.size()) Loop->quit();
  };
  P.SetOpen(true);
  for (auto _ : State) {
    State.PauseTiming();
    Got = 0;
    P.Disp()->Feed(In, 64 * 1024);
    State.ResumeTiming();
    if (EventLoop) {
      QEventLoop L;
      QTimer::singleShot(60000, &L, &QEventLoop::quit);
      Loop = &L;
      L.exec();
      Loop = nullptr;
    }
    if (!WaitWithMessages([&] { return Got == In.size(); }, EventLoop ? 0 : 60000)) {
      State.SkipWithError("receive path stalled");
      break;
    }
  }
  if (std::memcmp(Out.data(), In.data(), In.size()) != 0) State.SkipWithError("bytes differ");
  P.SetOpen(false);
  State.SetBytesProcessed(std::int64_t(State.iterations()) * std::int64_t(In.size()));
}

void BM_ReceiveGetChar(benchmark::State& State) { RunPort(State, false); }
void BM_ReceiveGetBlock(benchmark::State& State) { RunPort(State, true); }
void BM_ReceiveGetBlockEventLoop(benchmark::State& State) { RunPort(State, true, true); }

// The platform's share: a worker sends an empty message to the GUI thread and waits for it,
// as the dispatcher thread does once per notification.
void BM_SentMessageRoundTrip(benchmark::State& State) {
  int Handled = 0;
  HWND W = AllocateHWnd([&](TMessage&) { ++Handled; });
  constexpr int PerRound = 512;  // the notifications of one 4 MiB round
  for (auto _ : State) {
    Handled = 0;
    std::thread Worker([W] {
      for (int I = 0; I < PerRound; ++I) SendMessageTimeout(W, WM_USER, 0, 0, 3000);
    });
    WaitWithMessages([&] { return Handled == PerRound; }, 60000);
    Worker.join();
  }
  DeallocateHWnd(W);
}

BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReceiveGetChar)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReceiveGetBlock)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReceiveGetBlockEventLoop)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SentMessageRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication App(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
