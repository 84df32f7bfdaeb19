// The serial layer over a pseudo-terminal pair, beside plain loops on the same kind of pair:
// - throughput: a writer thread pushes 4 MiB into the master; the port's whole receive path
//   (read thread -> queue -> dispatcher thread -> ring -> OnTriggerAvail -> GetBlock) against
//   a plain 4 KiB read loop on the slave;
// - latency: 17 bytes written into the master until OnTriggerAvail has them, against a plain
//   poll + read on the slave (median and 99th percentile in the counters, microseconds);
// - idle: context switches of the layer's threads over one second with the port open;
// - close: the time SetOpen(false) takes to end all four threads and close the device.
#include <benchmark/benchmark.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "devices/serial_layer.h"
#include "platform/messages.h"
#include "port/com_port.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t RoundBytes = 4 << 20;
constexpr std::size_t WriterChunk = 64 * 1024;

const std::string& Payload() {
  static const std::string Data = [] {
    std::string S(RoundBytes, '\0');
    for (std::size_t I = 0; I < S.size(); ++I) S[I] = char(I * 131 % 251);
    return S;
  }();
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
  Clock::time_point Last;
};

void BM_PtyPlainRead(benchmark::State& State) {
  TPtyPair Pty;
  const int Slave = OpenRawSlave(Pty.Path);
  const std::string& In = Payload();
  std::vector<char> Out(In.size());
  for (auto _ : State) {
    std::thread Writer([&] { Pty.WriteAll(In.data(), In.size()); });
    std::size_t Got = 0;
    while (Got < In.size()) {
      const ssize_t N = ::read(Slave, Out.data() + Got, std::min<std::size_t>(4096, In.size() - Got));
      if (N > 0) Got += std::size_t(N);
    }
    Writer.join();
  }
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

// Voluntary and involuntary context switches of the layer's named threads.
long LayerSwitches() {
  long Sum = 0;
  DIR* D = opendir("/proc/self/task");
  if (!D) return -1;
  while (dirent* E = readdir(D)) {
    if (E->d_name[0] == '.') continue;
    const std::string Task = std::string("/proc/self/task/") + E->d_name;
    std::string Comm;
    std::getline(std::ifstream(Task + "/comm"), Comm);
    if (Comm.rfind("serial-", 0) != 0) continue;
    std::ifstream Status(Task + "/status");
    for (std::string Line; std::getline(Status, Line);)
      if (Line.rfind("voluntary_ctxt_switches:", 0) == 0 || Line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
        Sum += std::atol(Line.c_str() + Line.find(':') + 1);
  }
  closedir(D);
  return Sum;
}

void BM_IdleWakeupsPerSecond(benchmark::State& State) {
  TPtyPair Pty;
  TBenchPort B(Pty);
  B.Open();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // past the start-up
  long Switches = 0;
  for (auto _ : State) {
    const long Before = LayerSwitches();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    Switches += LayerSwitches() - Before;
  }
  B.P.SetOpen(false);
  State.counters["switches_per_s"] = double(Switches) / double(State.iterations());
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

BENCHMARK(BM_PtyPlainRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PtyReceivePath)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PtyRoundTripPlain)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(2000);
BENCHMARK(BM_PtyRoundTripPort)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(2000);
BENCHMARK(BM_IdleWakeupsPerSecond)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_Close)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(50);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication App(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
