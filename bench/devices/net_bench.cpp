// The LAN receive path: a loopback peer writes, the network port raises OnTriggerAvail, the
// handler takes the bytes with GetBlock. Measured beside a plain recv loop on the same
// loopback in the same run, and the round trip of one 17-byte status line. The same receive
// path through a SOCKS 5 tunnel (microsocks, started here), and the time an open through the
// proxy takes beside the proxy's own negotiation time.
// BM_ReceivePairs interleaves the port with a like-for-like loop on the GUI thread (a
// QSocketNotifier, recv of 4 KiB until EAGAIN), pair after pair, reader and writer pinned to
// CPUs of their own, and prints each pair's ratio, the median ratio of the times and of the
// CPU used for the same bytes, CPU time and context switches per MB. A loop that never lets
// the socket fill can fall into a mode where each recv finds a few bytes (hundreds of
// thousands of recv calls for 32 MiB, tens of times slower, most of it kernel time); the
// pairs where the anchor did are printed but left out of the medians.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "../../tests/devices/net_test_support.h"
#include "../../tests/devices/socks_test_support.h"
#include "devices/net_port.h"
#include "run_cost.h"

namespace {

constexpr std::size_t ChunkBytes = 1 << 20;  // bytes taken per iteration

// 17-byte status lines, as the device sends them.
std::string StatusText(std::size_t Size) {
  const std::string Line = "[C5C1050102030]\r\n";
  std::string Out;
  while (Out.size() < Size) Out += Line;
  Out.resize(Size);
  return Out;
}

// The CPUs of the paired receive runs: the reader (the GUI thread) on one, the writer on the
// other; -1 leaves placement to the scheduler (the other benchmarks).
int WriterCpu = -1;

// Writes the same text to Fd without pause until stopped.
class TWriter {
 public:
  explicit TWriter(int Fd) : FFd(Fd), FThread([this] {
    if (WriterCpu >= 0) PinToCpu(WriterCpu);
    Run();
  }) {}
  ~TWriter() {
    FStop = true;
    ::shutdown(FFd, SHUT_RDWR);  // unblocks a send in progress
    FThread.join();
  }

 private:
  void Run() {
    const std::string Text = StatusText(64 * 1024);
    while (!FStop) {
      if (::send(FFd, Text.data(), Text.size(), MSG_NOSIGNAL) <= 0) return;
    }
  }
  int FFd;
  std::atomic<bool> FStop{false};
  std::thread FThread;
};

// A plain recv loop on Reader while a writer floods Peer; closes both.
void RecvLoop(benchmark::State& State, int Reader, int Peer) {
  std::vector<char> Buf(DispatchBufferSize);
  {
    TWriter W(Peer);
    for (auto _ : State) {
      std::size_t Got = 0;
      while (Got < ChunkBytes) {
        ssize_t N = ::recv(Reader, Buf.data(), Buf.size(), 0);
        if (N <= 0) break;
        Got += std::size_t(N);
      }
      benchmark::DoNotOptimize(Buf.data());
    }
  }
  State.SetBytesProcessed(std::int64_t(State.iterations()) * std::int64_t(ChunkBytes));
  ::close(Reader);
  ::close(Peer);
}

void BM_RawRecvLoop(benchmark::State& State) {
  TLoopbackListener L;
  int Reader = ConnectLoopback(L.Port);
  int Peer = L.Accept();
  RecvLoop(State, Reader, Peer);
}
BENCHMARK(BM_RawRecvLoop)->Unit(benchmark::kMicrosecond)->UseRealTime();

struct TConnectedPort {
  explicit TConnectedPort(std::uint16_t SocksPort = 0) {
    Port.SetAutoOpen(false);
    Port.SetDeviceLayer(dlWinsock);
    Port.SetWsAddress("127.0.0.1");
    Port.SetWsPort(std::to_string(L.Port));
    if (SocksPort != 0) {
      Port.WsSocksServerInfo().SetSocksVersion(svSocks5);
      Port.WsSocksServerInfo().SetAddress("127.0.0.1");
      Port.WsSocksServerInfo().SetPort(SocksPort);
    }
    Port.OnTriggerAvail = [this](TQpCustomComPort* CP, std::uint16_t Count) {
      CP->GetBlock(Buf.data(), Count);
      Got += Count;
      ++Calls;
    };
    Port.OnWsConnect = [this](TQpCustomWinsockPort*) { Connected = true; };
    Port.SetOpen(true);
    Peer = L.Accept();
    while (!Connected) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  ~TConnectedPort() {
    Port.SetOpen(false);
    ::close(Peer);
  }
  void RunUntil(std::size_t Target) {
    while (Got < Target) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  TLoopbackListener L;
  TQpWinsockPort Port;
  std::vector<std::uint8_t> Buf = std::vector<std::uint8_t>(DispatchBufferSize);
  std::size_t Got = 0;
  std::size_t Calls = 0;  // notifications taken
  bool Connected = false;
  int Peer = -1;
};

void BM_PortReceive(benchmark::State& State) {
  TConnectedPort P;
  {
    TWriter W(P.Peer);
    for (auto _ : State) P.RunUntil(P.Got + ChunkBytes);
  }
  State.SetBytesProcessed(std::int64_t(State.iterations()) * std::int64_t(ChunkBytes));
}
BENCHMARK(BM_PortReceive)->Unit(benchmark::kMicrosecond)->UseRealTime();

// ---------------------------------------------------------------- interleaved pairs

constexpr std::size_t PairBytes = 32 << 20;
// Below this many bytes per recv, half of what it asks for, the anchor spent the pair wholly or
// partly in its small-read mode (in its normal one nearly every call fills the 4 KiB).
constexpr double SmallReadBytes = 2048;

// The anchor: the GUI thread's event loop, a read notifier on a non-blocking socket, recv of
// 4 KiB until EAGAIN per notification. Reads counts the recv calls that returned data.
TRunCost NotifierLoopRun(long& Reads) {
  TLoopbackListener L;
  const int Reader = ConnectLoopback(L.Port);
  const int Peer = L.Accept();
  ::fcntl(Reader, F_SETFL, ::fcntl(Reader, F_GETFL) | O_NONBLOCK);
  std::size_t Got = 0;
  std::vector<char> Buf(4096);
  QSocketNotifier N(Reader, QSocketNotifier::Read);
  QObject::connect(&N, &QSocketNotifier::activated, [&] {
    for (;;) {
      const ssize_t R = ::recv(Reader, Buf.data(), Buf.size(), 0);
      if (R <= 0) break;
      Got += std::size_t(R);
      ++Reads;
    }
  });
  Reads = 0;
  std::optional<TWriter> W;
  const TRunCost C = Measure([&] {
    W.emplace(Peer);
    while (Got < PairBytes) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  });
  W.reset();
  ::close(Reader);
  ::close(Peer);
  return C;
}

TRunCost PortRun(double& BytesPerNotification) {
  TConnectedPort P;
  std::optional<TWriter> W;
  const TRunCost C = Measure([&] {
    W.emplace(P.Peer);
    P.RunUntil(PairBytes);
  });
  W.reset();
  BytesPerNotification = P.Calls ? double(P.Got) / double(P.Calls) : 0;
  return C;
}

void BM_ReceivePairs(benchmark::State& State) {
  // Reader on CPU 0, writer on CPU 1: apart, as a network card's data and the program are.
  const bool Pinned = std::thread::hardware_concurrency() >= 2 && PinToCpu(0);
  if (Pinned) WriterCpu = 1;
  const double Mb = double(PairBytes) / 1e6;
  std::vector<double> Ratio, CpuRatio, LoopCpu, PortCpu, LoopCs, PortCs, PerNotification;
  int LeftOut = 0;
  for (auto _ : State) {
    std::printf("receive pairs, %zu MiB each, %s, load average %.2f\n", PairBytes >> 20,
                Pinned ? "reader on CPU 0, writer on CPU 1" : "not pinned", LoadAverage());
    std::printf("%4s %10s %10s %8s   CPU ms/MB loop/port   switches/MB loop/port   loop bytes/recv\n", "pair",
                "loop MB/s", "port MB/s", "port %");
    for (int I = 0; I < State.range(0); ++I) {
      long Reads = 0;
      const TRunCost A = NotifierLoopRun(Reads);
      double Per = 0;
      const TRunCost B = PortRun(Per);
      const double PerRead = Reads ? double(PairBytes) / double(Reads) : 0;
      const bool SmallReads = PerRead < SmallReadBytes;
      std::printf("%4d %10.0f %10.0f %7.0f%%   %5.2f %5.2f   %6.1f %6.1f   %7.0f%s\n", I + 1, Mb / A.Seconds,
                  Mb / B.Seconds, 100 * A.Seconds / B.Seconds, A.CpuMs / Mb, B.CpuMs / Mb,
                  double(A.Switches) / Mb, double(B.Switches) / Mb, PerRead,
                  SmallReads ? "  small reads: left out" : "");
      PerNotification.push_back(Per);
      PortCpu.push_back(B.CpuMs / Mb);
      PortCs.push_back(double(B.Switches) / Mb);
      if (SmallReads) {
        ++LeftOut;
        continue;
      }
      Ratio.push_back(A.Seconds / B.Seconds);
      CpuRatio.push_back(A.CpuMs / B.CpuMs);  // the same bytes: CPU for CPU
      LoopCpu.push_back(A.CpuMs / Mb);
      LoopCs.push_back(double(A.Switches) / Mb);
    }
    std::printf("median of %zu pairs (%d left out): port %.0f%% of the notifier loop (CPU for CPU %.0f%%); "
                "CPU ms/MB %.2f / %.2f; switches/MB %.1f / %.1f; %.0f bytes per notification; load average %.2f\n",
                Ratio.size(), LeftOut, 100 * Median(Ratio), 100 * Median(CpuRatio), Median(LoopCpu),
                Median(PortCpu), Median(LoopCs), Median(PortCs), Median(PerNotification), LoadAverage());
    std::fflush(stdout);
  }
  State.counters["port_pct"] = 100 * Median(Ratio);
  State.counters["pairs_counted"] = double(Ratio.size());
  State.counters["port_cpu_pct"] = 100 * Median(CpuRatio);
  WriterCpu = -1;
  if (Pinned) PinToCpu(-1);
}
BENCHMARK(BM_ReceivePairs)->Arg(9)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// microsocks on a free loopback port for the whole run.
TProxyServer& Microsocks() {
  static std::string Dir = [] {
    char Pattern[] = "/tmp/quill-bench-XXXXXX";
    return std::string(mkdtemp(Pattern) ? Pattern : "/tmp");
  }();
  static TProxyServer Server(pkMicrosocks, Dir);
  return Server;
}

void BM_PortReceiveThroughSocks5(benchmark::State& State) {
  if (!Microsocks().Running()) {
    State.SkipWithError("microsocks did not start");
    return;
  }
  TConnectedPort P(Microsocks().Port());
  {
    TWriter W(P.Peer);
    for (auto _ : State) P.RunUntil(P.Got + ChunkBytes);
  }
  State.SetBytesProcessed(std::int64_t(State.iterations()) * std::int64_t(ChunkBytes));
}
BENCHMARK(BM_PortReceiveThroughSocks5)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A target that takes every connection and closes it.
class TAcceptor {
 public:
  TAcceptor() : FThread([this] {
    while (!FStop) {
      const int Fd = L.Accept(50);
      if (Fd >= 0) ::close(Fd);
    }
  }) {}
  ~TAcceptor() {
    FStop = true;
    FThread.join();
  }
  TLoopbackListener L{64};

 private:
  std::atomic<bool> FStop{false};
  std::thread FThread;
};

// The proxy's own time: connect, method selection, connect request, reply, with plain
// blocking sockets and the same bytes the port sends.
void BM_RawSocks5Negotiation(benchmark::State& State) {
  if (!Microsocks().Running()) {
    State.SkipWithError("microsocks did not start");
    return;
  }
  TAcceptor Target;
  std::string Request("\x05\x01\x00\x01\x7f\x00\x00\x01", 8);
  Request += char(Target.L.Port >> 8);
  Request += char(Target.L.Port & 0xFF);
  for (auto _ : State) {
    const int Fd = ConnectLoopback(Microsocks().Port());
    SendAll(Fd, std::string("\x05\x02\x00\x02", 4));
    const bool Ok = RecvSome(Fd, 2).size() == 2;
    SendAll(Fd, Request);
    if (!Ok || RecvSome(Fd, 10).size() != 10) State.SkipWithError("no reply");
    ::close(Fd);
  }
}
BENCHMARK(BM_RawSocks5Negotiation)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The plain recv loop through the same proxy: what the tunnel itself allows.
void BM_RawRecvThroughSocks5(benchmark::State& State) {
  if (!Microsocks().Running()) {
    State.SkipWithError("microsocks did not start");
    return;
  }
  TLoopbackListener L;
  const int Reader = ConnectLoopback(Microsocks().Port());
  SendAll(Reader, std::string("\x05\x01\x00", 3));
  RecvSome(Reader, 2);
  std::string Request("\x05\x01\x00\x01\x7f\x00\x00\x01", 8);
  Request += char(L.Port >> 8);
  Request += char(L.Port & 0xFF);
  SendAll(Reader, Request);
  const int Peer = L.Accept();
  if (RecvSome(Reader, 10).size() != 10 || Peer < 0) {
    State.SkipWithError("no tunnel");
    return;
  }
  RecvLoop(State, Reader, Peer);
}
BENCHMARK(BM_RawRecvThroughSocks5)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Open through the proxy until it returns with the tunnel up, and close.
void BM_PortOpenThroughSocks5(benchmark::State& State) {
  if (!Microsocks().Running()) {
    State.SkipWithError("microsocks did not start");
    return;
  }
  TAcceptor Target;
  TQpWinsockPort Port;
  Port.SetAutoOpen(false);
  Port.SetDeviceLayer(dlWinsock);
  Port.SetWsAddress("127.0.0.1");
  Port.SetWsPort(std::to_string(Target.L.Port));
  Port.WsSocksServerInfo().SetSocksVersion(svSocks5);
  Port.WsSocksServerInfo().SetAddress("127.0.0.1");
  Port.WsSocksServerInfo().SetPort(Microsocks().Port());
  for (auto _ : State) {
    try {
      Port.SetOpen(true);
    } catch (const std::exception& E) {
      State.SkipWithError(E.what());
      break;
    }
    Port.SetOpen(false);
  }
}
BENCHMARK(BM_PortOpenThroughSocks5)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_StatusLineRoundTrip(benchmark::State& State) {
  TConnectedPort P;
  const std::string Line = StatusText(17);
  std::vector<double> Samples;
  for (auto _ : State) {
    const auto Start = std::chrono::steady_clock::now();
    SendAll(P.Peer, Line);
    P.RunUntil(P.Got + Line.size());
    const std::chrono::duration<double> Took = std::chrono::steady_clock::now() - Start;
    State.SetIterationTime(Took.count());
    Samples.push_back(Took.count() * 1e6);
  }
  std::sort(Samples.begin(), Samples.end());
  if (!Samples.empty()) {
    State.counters["median_us"] = Samples[Samples.size() / 2];
    State.counters["p99_us"] = Samples[std::min(Samples.size() - 1, Samples.size() * 99 / 100)];
  }
}
BENCHMARK(BM_StatusLineRoundTrip)->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(5000);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication App(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
