// The terminal pane end to end: a loopback peer writes lines of text as fast as it can, the
// network port announces them, the pane's receiver copies them into its queue, the pane
// processes them and paints lazily (every heartbeat) on a shown widget. Beside it, the same
// port with only a reader (what the link supervisor costs), so the pane's share shows.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "../../tests/devices/net_test_support.h"
#include "devices/net_port.h"
#include "terminal/terminal_control.h"

namespace {

constexpr std::size_t ChunkBytes = 4 << 20;  // bytes shown per iteration

// 80-column lines of printable text, as quill-sim --text sends them.
std::string Lines(std::size_t Size) {
  std::string Out;
  for (int N = 0; Out.size() < Size; ++N) {
    std::string L = "TEXT " + std::to_string(100000000 + N).substr(1) + " The quick brown fox jumps over the lazy dog";
    L.resize(78, '.');
    Out += L + "\r\n";
  }
  Out.resize(Size);
  return Out;
}

class TWriter {
 public:
  explicit TWriter(int Fd) : FFd(Fd), FThread([this] { Run(); }) {}
  ~TWriter() {
    FStop = true;
    ::shutdown(FFd, SHUT_RDWR);
    FThread.join();
  }

 private:
  void Run() {
    const std::string Text = Lines(64 * 1024);
    while (!FStop)
      if (::send(FFd, Text.data(), Text.size(), MSG_NOSIGNAL) <= 0) return;
  }
  int FFd;
  std::atomic<bool> FStop{false};
  std::thread FThread;
};

struct TPaneOnPort {
  explicit TPaneOnPort(bool WithPane) {
    Port.SetAutoOpen(false);
    Port.SetDeviceLayer(dlWinsock);
    Port.SetWsAddress("127.0.0.1");
    Port.SetWsPort(std::to_string(L.Port));
    // The link supervisor reads the same bytes in the same notification.
    Port.OnTriggerAvail = [this](TQpCustomComPort* CP, std::uint16_t Count) {
      CP->GetBlock(Buf.data(), Count);
      Got += Count;
    };
    Port.OnWsConnect = [this](TQpCustomWinsockPort*) { Connected = true; };
    if (WithPane) {
      Pane = std::make_unique<TQpTerminal>();
      Pane->resize(405, 337);
      Pane->show();
      Pane->SetComPort(&Port);
    }
    Port.SetOpen(true);
    Peer = L.Accept();
    while (!Connected || (Pane && !Pane->Attached())) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  ~TPaneOnPort() {
    if (Pane) Pane->SetComPort(nullptr);
    Port.SetOpen(false);
    ::close(Peer);
  }
  std::uint64_t Shown() const { return Pane ? Pane->ProcessedBytes() : Got; }
  void RunUntil(std::uint64_t Target) {
    while (Shown() < Target) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  TLoopbackListener L;
  TQpWinsockPort Port;
  std::unique_ptr<TQpTerminal> Pane;
  std::vector<std::uint8_t> Buf = std::vector<std::uint8_t>(DispatchBufferSize);
  std::uint64_t Got = 0;
  bool Connected = false;
  int Peer = -1;
};

void Run(benchmark::State& State, bool WithPane) {
  TPaneOnPort P(WithPane);
  {
    TWriter W(P.Peer);
    for (auto _ : State) P.RunUntil(P.Shown() + ChunkBytes);
  }
  State.SetBytesProcessed(std::int64_t(State.iterations()) * std::int64_t(ChunkBytes));
  if (P.Pane) {
    State.counters["paints"] = P.Pane->PaintCount();
    State.counters["dropped"] = double(P.Pane->Input().Dropped());
  }
}

// Socket -> port -> pane queue -> TTY emulator -> buffer -> lazy paint.
void BM_PaneSocketToPaint(benchmark::State& State) { Run(State, true); }
BENCHMARK(BM_PaneSocketToPaint)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

// The same port and reader without the pane.
void BM_PortReaderOnly(benchmark::State& State) { Run(State, false); }
BENCHMARK(BM_PortReaderOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication App(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
