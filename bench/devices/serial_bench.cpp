// The serial layer over a pseudo-terminal pair, beside plain loops on the same kind of pair:
// - throughput: a writer thread pushes 4 MiB into the master; the port's whole receive path
//   (read thread -> queue -> dispatcher thread -> ring -> OnTriggerAvail -> GetBlock) against
//   a plain 4 KiB read loop on the slave;
// - latency: 17 bytes written into the master until OnTriggerAvail has them, against a plain
//   poll + read on the slave (median and 99th percentile in the counters, microseconds);
// - the same two comparisons as interleaved pairs (BM_ReceivePairs, BM_RoundTripPairs): anchor
//   and port run one after the other, pair after pair, so load on a shared machine hits both
//   alike; each pair's ratio and the median ratio are printed, with CPU time and context
//   switches of the whole process per MB. A third side, a reader thread handing 4 KiB blocks
//   to the taking thread through a condition variable, shows what one thread hop costs;
// - idle: context switches of the layer's threads over one second with the port open;
// - close: the time SetOpen(false) takes to end all four threads and close the device.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "devices/serial_layer.h"
#include "platform/messages.h"
#include "port/com_port.h"
#include "run_cost.h"
#include "../../tests/thread_switches.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t RoundBytes = 4 << 20;
constexpr std::size_t WriterChunk = 64 * 1024;

std::string MakePayload(std::size_t Size) {
  std::string S(Size, '\0');
  for (std::size_t I = 0; I < S.size(); ++I) S[I] = char(I * 131 % 251);
  return S;
}

const std::string& Payload() {
  static const std::string Data = MakePayload(RoundBytes);
  return Data;
}

// The interleaved pairs take 16 MiB a run: long enough that scheduling noise averages out.
constexpr std::size_t PairBytes = 16 << 20;
const std::string& PairPayload() {
  static const std::string Data = MakePayload(PairBytes);
  return Data;
}

struct TPtyPair {
  TPtyPair() {
    Master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    grantpt(Master);
    unlockpt(Master);
    Path = ptsname(Master);
  }
  ~TPtyPair() { ::close(Master); }
  // Writes everything, waiting for room (the reader drains the other side).
  void WriteAll(const char* Data, std::size_t Size) const {
    std::size_t Done = 0;
    while (Done < Size) {
      const ssize_t N = ::write(Master, Data + Done, std::min(WriterChunk, Size - Done));
      if (N > 0) Done += std::size_t(N);
    }
  }
  int Master = -1;
  std::string Path;
};

int OpenRawSlave(const std::string& Path) {
  const int Fd = ::open(Path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios T{};
  tcgetattr(Fd, &T);
  cfmakeraw(&T);
  tcsetattr(Fd, TCSANOW, &T);
  return Fd;
}

// A port on COM5 = the pair's slave, read with GetBlock in OnTriggerAvail.
struct TBenchPort {
  explicit TBenchPort(const TPtyPair& Pty) {
    TSerialLayerOptions O;
    TSerialMapSources S;
    S.SysRoot = "/nonexistent";
    S.EnvironmentMap = "COM5=" + Pty.Path;
    O.MapSources = S;
    P.SetComNumber(5);
    P.SetBaud(115200);
    P.SetCustomDispatcher([O](TQpCustomComPort* Owner) { return std::make_shared<TQpWin32Dispatcher>(Owner, O); });
    P.OnTriggerAvail = [this](TQpCustomComPort* CP, std::uint16_t Count) {
      if (Got + Count > Out.size()) Out.resize(Got + Count);
      CP->GetBlock(Out.data() + Got, Count);
      Got += Count;
      ++Calls;
      Last = Clock::now();
    };
  }
  void Open() {
    P.SetOpen(true);
    P.UpdateHandlerFlag();
  }
  TQpComPort P;
  std::vector<char> Out;
  std::size_t Got = 0;
  std::size_t Calls = 0;  // notifications taken
  Clock::time_point Last;
};

// The plain loop: a writer thread fills the master with In while this thread takes it from the
// raw slave in blocking reads of 4 KiB into Out.
void PlainRead(const TPtyPair& Pty, int Slave, const std::string& In, char* Out) {
  std::thread Writer([&] { Pty.WriteAll(In.data(), In.size()); });
  std::size_t Got = 0;
  while (Got < In.size()) {
    const ssize_t N = ::read(Slave, Out + Got, std::min<std::size_t>(4096, In.size() - Got));
    if (N > 0) Got += std::size_t(N);
  }
  Writer.join();
}

void BM_PtyPlainRead(benchmark::State& State) {
  TPtyPair Pty;
  const int Slave = OpenRawSlave(Pty.Path);
  const std::string& In = Payload();
  std::vector<char> Out(In.size());
  for (auto _ : State) PlainRead(Pty, Slave, In, Out.data());
  if (std::memcmp(Out.data(), In.data(), In.size()) != 0) State.SkipWithError("bytes differ");
  ::close(Slave);
  State.SetBytesProcessed(std::int64_t(State.iterations()) * std::int64_t(In.size()));
}

void BM_PtyReceivePath(benchmark::State& State) {
  TPtyPair Pty;
  TBenchPort B(Pty);
  B.Out.resize(RoundBytes);
  B.Open();
  const std::string& In = Payload();
  for (auto _ : State) {
    B.Got = 0;
    std::thread Writer([&] { Pty.WriteAll(In.data(), In.size()); });
    const bool Done = WaitWithMessages([&] { return B.Got >= In.size(); }, 60000);
    Writer.join();
    if (!Done) {
      State.SkipWithError("receive path stalled");
      break;
    }
  }
  if (B.Got != In.size() || std::memcmp(B.Out.data(), In.data(), In.size()) != 0) State.SkipWithError("bytes differ");
  B.P.SetOpen(false);
  State.SetBytesProcessed(std::int64_t(State.iterations()) * std::int64_t(In.size()));
}

void Percentiles(benchmark::State& State, std::vector<double>& Us) {
  if (Us.empty()) return;
  std::sort(Us.begin(), Us.end());
  State.counters["p50_us"] = Us[Us.size() / 2];
  State.counters["p99_us"] = Us[std::min(Us.size() - 1, Us.size() * 99 / 100)];
}

const char Message[] = "[05C1C501050103]\r";  // a status packet, 17 bytes

void BM_PtyRoundTripPlain(benchmark::State& State) {
  TPtyPair Pty;
  const int Slave = OpenRawSlave(Pty.Path);
  std::vector<double> Us;
  char Buf[64];
  for (auto _ : State) {
    const auto T0 = Clock::now();
    Pty.WriteAll(Message, sizeof Message - 1);
    std::size_t Got = 0;
    while (Got < sizeof Message - 1) {
      pollfd P{Slave, POLLIN, 0};
      ::poll(&P, 1, 1000);
      const ssize_t N = ::read(Slave, Buf, sizeof Buf);
      if (N > 0) Got += std::size_t(N);
    }
    Us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - T0).count());
  }
  ::close(Slave);
  Percentiles(State, Us);
}

void BM_PtyRoundTripPort(benchmark::State& State) {
  TPtyPair Pty;
  TBenchPort B(Pty);
  B.Open();
  std::vector<double> Us;
  for (auto _ : State) {
    B.Got = 0;
    const auto T0 = Clock::now();
    Pty.WriteAll(Message, sizeof Message - 1);
    if (!WaitWithMessages([&] { return B.Got >= sizeof Message - 1; }, 10000)) {
      State.SkipWithError("no delivery");
      break;
    }
    Us.push_back(std::chrono::duration<double, std::micro>(B.Last - T0).count());
  }
  B.P.SetOpen(false);
  Percentiles(State, Us);
}

void BM_IdleWakeupsPerSecond(benchmark::State& State) {
  TPtyPair Pty;
  TBenchPort B(Pty);
  B.Open();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // past the start-up
  long Switches = 0, Dispatcher = 0;
  for (auto _ : State) {
    const long Before = ThreadSwitchesOf("serial-"), DispatcherBefore = ThreadSwitchesOf("port-dispatch");
    std::this_thread::sleep_for(std::chrono::seconds(1));
    Switches += ThreadSwitchesOf("serial-") - Before;
    Dispatcher += ThreadSwitchesOf("port-dispatch") - DispatcherBefore;
  }
  B.P.SetOpen(false);
  State.counters["switches_per_s"] = double(Switches) / double(State.iterations());
  // The port core's dispatcher thread: asleep until woken, with no timer trigger armed.
  State.counters["dispatcher_per_s"] = double(Dispatcher) / double(State.iterations());
}

void BM_Close(benchmark::State& State) {
  TPtyPair Pty;
  TBenchPort B(Pty);
  for (auto _ : State) {
    State.PauseTiming();
    B.Open();
    State.ResumeTiming();
    B.P.SetOpen(false);
  }
}


// ---------------------------------------------------------------- interleaved pairs

// The name the kernel gives this program's main thread (its file name, cut to 15 bytes).
const std::string& MainThreadName() {
  static const std::string Name = [] {
    std::string N;
    std::getline(std::ifstream("/proc/self/comm"), N);
    return N;
  }();
  return Name;
}

// A pair with its slave opened raw, and room for what a run takes from it.
struct TRawSlaveSide {
  TRawSlaveSide() : Slave(OpenRawSlave(Pty.Path)), Out(PairBytes) {}
  ~TRawSlaveSide() { ::close(Slave); }
  TRawSlaveSide(const TRawSlaveSide&) = delete;
  TRawSlaveSide& operator=(const TRawSlaveSide&) = delete;
  TPtyPair Pty;
  int Slave;
  std::vector<char> Out;
};

// The plain loop on a pair of its own.
struct TPlainSide : TRawSlaveSide {
  bool Run() {
    const std::string& In = PairPayload();
    PlainRead(Pty, Slave, In, Out.data());
    return std::memcmp(Out.data(), In.data(), In.size()) == 0;
  }
};

// One thread hop: a reader thread reads 4 KiB blocks and hands each to this thread through a
// mutex, a condition variable and a queue of blocks.
struct THopSide : TRawSlaveSide {
  bool Run() {
    const std::string& In = PairPayload();
    std::mutex M;
    std::condition_variable Cv;
    std::deque<std::vector<char>> Blocks;
    std::thread Writer([&] { Pty.WriteAll(In.data(), In.size()); });
    std::thread Reader([&] {
      std::size_t Read = 0;
      char Buf[4096];
      while (Read < In.size()) {
        const ssize_t N = ::read(Slave, Buf, std::min<std::size_t>(sizeof Buf, In.size() - Read));
        if (N <= 0) continue;
        Read += std::size_t(N);
        {
          std::lock_guard<std::mutex> G(M);
          Blocks.emplace_back(Buf, Buf + N);
        }
        Cv.notify_one();
      }
    });
    std::size_t Got = 0;
    while (Got < In.size()) {
      std::unique_lock<std::mutex> G(M);
      Cv.wait(G, [&] { return !Blocks.empty(); });
      std::vector<char> B = std::move(Blocks.front());
      Blocks.pop_front();
      G.unlock();
      std::memcpy(Out.data() + Got, B.data(), B.size());
      Got += B.size();
    }
    Reader.join();
    Writer.join();
    return std::memcmp(Out.data(), In.data(), In.size()) == 0;
  }
};

struct TPortSide {
  TPortSide() : B(Pty) {
    B.Out.resize(PairBytes);
    B.Open();
  }
  ~TPortSide() { B.P.SetOpen(false); }
  bool Run() {
    const std::string& In = PairPayload();
    B.Got = 0;
    B.Calls = 0;
    std::thread Writer([&] { Pty.WriteAll(In.data(), In.size()); });
    const bool Done = WaitWithMessages([&] { return B.Got >= In.size(); }, 60000);
    Writer.join();
    return Done && B.Got == In.size() && std::memcmp(B.Out.data(), In.data(), In.size()) == 0;
  }
  TPtyPair Pty;
  TBenchPort B;
};

// Receive: plain loop, thread hop and port, one after the other, State.range(0) times.
void BM_ReceivePairs(benchmark::State& State) {
  TPlainSide Plain;
  THopSide Hop;
  TPortSide Port;
  const double Mb = double(PairBytes) / 1e6;
  std::vector<double> PortRatio, HopRatio, PlainCpu, HopCpu, PortCpu, PlainCs, HopCs, PortCs, Notes;
  std::map<std::string, std::vector<double>> PerThread;
  for (auto _ : State) {
    std::printf("receive pairs, 16 MiB each, load average %.2f\n", LoadAverage());
    std::printf("%4s %10s %10s %10s %8s %8s   CPU ms/MB plain/hop/port   switches/MB plain/hop/port\n", "pair",
                "plain MB/s", "hop MB/s", "port MB/s", "port %", "hop %");
    for (int I = 0; I < State.range(0); ++I) {
      bool Ok = true;
      const TRunCost P = Measure([&] { Ok &= Plain.Run(); });
      const TRunCost H = Measure([&] { Ok &= Hop.Run(); });
      const auto Before = ThreadSwitches();
      const TRunCost R = Measure([&] { Ok &= Port.Run(); });
      auto After = ThreadSwitches();
      for (const auto& [Name, N] : Before) After[Name] -= N;
      Notes.push_back(double(Port.B.Calls));
      PerThread["GUI"].push_back(double(After[MainThreadName()]) / Mb);
      PerThread["dispatch"].push_back(double(After["port-dispatch"]) / Mb);
      PerThread["read"].push_back(double(After["serial-read"]) / Mb);
      if (!Ok) {
        State.SkipWithError("bytes differ or the port stalled");
        return;
      }
      PortRatio.push_back(P.Seconds / R.Seconds);
      HopRatio.push_back(P.Seconds / H.Seconds);
      PlainCpu.push_back(P.CpuMs / Mb);
      HopCpu.push_back(H.CpuMs / Mb);
      PortCpu.push_back(R.CpuMs / Mb);
      PlainCs.push_back(double(P.Switches) / Mb);
      HopCs.push_back(double(H.Switches) / Mb);
      PortCs.push_back(double(R.Switches) / Mb);
      std::printf("%4d %10.0f %10.0f %10.0f %7.0f%% %7.0f%%   %5.2f %5.2f %5.2f   %7.0f %7.0f %7.0f\n", I + 1,
                  Mb / P.Seconds, Mb / H.Seconds, Mb / R.Seconds, 100 * PortRatio.back(),
                  100 * HopRatio.back(), PlainCpu.back(), HopCpu.back(), PortCpu.back(), PlainCs.back(),
                  HopCs.back(), PortCs.back());
    }
    std::printf("median: port %.0f%% of the plain loop, hop %.0f%%; CPU ms/MB %.2f / %.2f / %.2f; "
                "switches/MB %.0f / %.0f / %.0f; load average %.2f\n",
                100 * Median(PortRatio), 100 * Median(HopRatio), Median(PlainCpu), Median(HopCpu),
                Median(PortCpu), Median(PlainCs), Median(HopCs), Median(PortCs), LoadAverage());
    std::printf("port: %.0f bytes per notification; switches/MB by thread: GUI %.0f, dispatcher %.0f, read %.0f\n",
                double(PairBytes) / Median(Notes), Median(PerThread["GUI"]), Median(PerThread["dispatch"]),
                Median(PerThread["read"]));
    std::fflush(stdout);
  }
  State.counters["port_pct"] = 100 * Median(PortRatio);
  State.counters["hop_pct"] = 100 * Median(HopRatio);
  State.counters["port_cpu_ms_per_MB"] = Median(PortCpu);
  State.counters["plain_cpu_ms_per_MB"] = Median(PlainCpu);
}

// Round trips: Count raw (write, poll, read on the slave), Count through one thread hop, Count
// through the port (write until OnTriggerAvail has the bytes), State.range(0) pairs.
void BM_RoundTripPairs(benchmark::State& State) {
  constexpr int Count = 200;
  constexpr std::size_t Size = sizeof Message - 1;
  TPtyPair RawPty, HopPty;
  const int RawSlave = OpenRawSlave(RawPty.Path);
  const int HopSlave = OpenRawSlave(HopPty.Path);
  TPtyPair PortPty;
  TBenchPort B(PortPty);
  B.Open();
  // The hop's reader: polls the slave, reads, hands the count over.
  std::mutex M;
  std::condition_variable Cv;
  std::size_t HopGot = 0;
  std::atomic<bool> Stop{false};
  std::thread HopReader([&] {
    char Buf[64];
    while (!Stop) {
      pollfd P{HopSlave, POLLIN, 0};
      if (::poll(&P, 1, 100) <= 0) continue;
      const ssize_t N = ::read(HopSlave, Buf, sizeof Buf);
      if (N <= 0) continue;
      {
        std::lock_guard<std::mutex> G(M);
        HopGot += std::size_t(N);
      }
      Cv.notify_one();
    }
  });
  std::vector<double> AllRaw, AllHop, AllPort, MedianRatio, HopRatio;
  char Buf[64];
  for (auto _ : State) {
    std::printf("round trip pairs, %d each, load average %.2f\n", Count, LoadAverage());
    std::printf("%4s %12s %12s %12s %8s %8s\n", "pair", "raw p50 us", "hop p50 us", "port p50 us", "port x", "hop x");
    for (int I = 0; I < State.range(0); ++I) {
      std::vector<double> Raw, Hop, Port;
      for (int K = 0; K < Count; ++K) {
        const auto T0 = Clock::now();
        RawPty.WriteAll(Message, Size);
        std::size_t Got = 0;
        while (Got < Size) {
          pollfd P{RawSlave, POLLIN, 0};
          ::poll(&P, 1, 1000);
          const ssize_t N = ::read(RawSlave, Buf, sizeof Buf);
          if (N > 0) Got += std::size_t(N);
        }
        Raw.push_back(std::chrono::duration<double, std::micro>(Clock::now() - T0).count());
      }
      for (int K = 0; K < Count; ++K) {
        const auto T0 = Clock::now();
        HopPty.WriteAll(Message, Size);
        std::unique_lock<std::mutex> G(M);
        Cv.wait(G, [&] { return HopGot >= Size; });
        HopGot -= Size;
        G.unlock();
        Hop.push_back(std::chrono::duration<double, std::micro>(Clock::now() - T0).count());
      }
      for (int K = 0; K < Count; ++K) {
        B.Got = 0;
        const auto T0 = Clock::now();
        PortPty.WriteAll(Message, Size);
        if (!WaitWithMessages([&] { return B.Got >= Size; }, 10000)) {
          State.SkipWithError("no delivery");
          Stop = true;
          HopReader.join();
          return;
        }
        Port.push_back(std::chrono::duration<double, std::micro>(B.Last - T0).count());
      }
      MedianRatio.push_back(Median(Port) / Median(Raw));
      HopRatio.push_back(Median(Hop) / Median(Raw));
      std::printf("%4d %12.1f %12.1f %12.1f %7.2fx %7.2fx\n", I + 1, Median(Raw), Median(Hop), Median(Port),
                  MedianRatio.back(), HopRatio.back());
      AllRaw.insert(AllRaw.end(), Raw.begin(), Raw.end());
      AllHop.insert(AllHop.end(), Hop.begin(), Hop.end());
      AllPort.insert(AllPort.end(), Port.begin(), Port.end());
    }
    std::printf("median ratio: port %.2fx raw, hop %.2fx; all samples: raw p50 %.1f p99 %.1f us, hop p50 %.1f "
                "p99 %.1f, port p50 %.1f p99 %.1f (p99 %.2fx raw p99); load average %.2f\n",
                Median(MedianRatio), Median(HopRatio), Median(AllRaw), Quantile(AllRaw, 0.99), Median(AllHop),
                Quantile(AllHop, 0.99), Median(AllPort), Quantile(AllPort, 0.99),
                Quantile(AllPort, 0.99) / Quantile(AllRaw, 0.99), LoadAverage());
    std::fflush(stdout);
  }
  Stop = true;
  HopReader.join();
  B.P.SetOpen(false);
  ::close(RawSlave);
  ::close(HopSlave);
  State.counters["port_x_raw"] = Median(MedianRatio);
  State.counters["p99_x_raw"] = Quantile(AllPort, 0.99) / Quantile(AllRaw, 0.99);
}

BENCHMARK(BM_PtyPlainRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PtyReceivePath)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PtyRoundTripPlain)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(2000);
BENCHMARK(BM_PtyRoundTripPort)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(2000);
BENCHMARK(BM_IdleWakeupsPerSecond)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_Close)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(50);
BENCHMARK(BM_ReceivePairs)->Arg(11)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RoundTripPairs)->Arg(9)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication App(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
