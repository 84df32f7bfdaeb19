// Received bytes through the port's whole receive path, read in OnTriggerAvail with GetChar or
// GetBlock, beside a plain copy of the same data. The device layer is the in-memory one of the
// port tests, fed before each timed round, so the figures are those of the port core. The GUI
// thread waits in WaitWithMessages, or (EventLoop) runs the Qt event loop as the program does.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "memory_dispatcher.h"
#include "platform/messages.h"
#include "port/port_trace.h"

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

enum TRecording { rcNone, rcLogging, rcTracing };

void RunPort(benchmark::State& State, bool Block, bool EventLoop = false,
             TRecording Recording = rcNone) {
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
  if (Recording == rcLogging) P.SetLogging(tlOn);  // default size: old entries drop out
  if (Recording == rcTracing) P.SetTracing(tlOn);
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
  P.SetLogging(tlOff);  // no files at close
  P.SetTracing(tlOff);
  P.SetOpen(false);
  State.SetBytesProcessed(std::int64_t(State.iterations()) * std::int64_t(In.size()));
}

void BM_ReceiveGetChar(benchmark::State& State) { RunPort(State, false); }
void BM_ReceiveGetBlock(benchmark::State& State) { RunPort(State, true); }
void BM_ReceiveGetBlockEventLoop(benchmark::State& State) { RunPort(State, true, true); }
void BM_ReceiveGetBlockLogging(benchmark::State& State) { RunPort(State, true, false, rcLogging); }
void BM_ReceiveGetBlockTracing(benchmark::State& State) { RunPort(State, true, false, rcTracing); }
void BM_ReceiveGetCharTracing(benchmark::State& State) { RunPort(State, false, false, rcTracing); }

// Writing a full trace of 4,000,000 entries (alternating runs of received and sent bytes).
void BM_TraceDump4M(benchmark::State& State) {
  char Dir[] = "/tmp/quill-bench-XXXXXX";
  if (!mkdtemp(Dir)) {
    State.SkipWithError("no scratch folder");
    return;
  }
  const std::string File = std::string(Dir) + "/QPORT.TRC";
  TQpPortRecorder R;
  R.InitTrace(HighestTrace);
  const std::string& In = Payload();
  for (auto _ : State) {
    State.PauseTiming();
    for (std::uint32_t I = 0; I < HighestTrace; I += 4096)
      R.AddTrace(I / 4096 % 2 ? 'R' : 'T', reinterpret_cast<const std::uint8_t*>(In.data() + I % 65536), 4096);
    State.ResumeTiming();
    if (R.WriteTrace(File, true, false, false) != 0) State.SkipWithError("write failed");
  }
  std::remove(File.c_str());
  ::rmdir(Dir);
}

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
BENCHMARK(BM_ReceiveGetBlockLogging)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReceiveGetBlockTracing)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReceiveGetCharTracing)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TraceDump4M)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SentMessageRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication App(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
