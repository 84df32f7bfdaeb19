// Throughput of the TTY emulator feeding the screen buffer, on generated streams of the kinds
// a device or a program sends, and, when the reference library is built in, the same bytes
// through it in the same run (its screen with damage merged per scroll and scrollback lines
// copied into a 176-row ring, as an embedder would set it up). Also the cost of painting a
// full 80 x 24 screen, and the allocations made while processing.
//
//   terminal_bench [--benchmark_repetitions=3 --benchmark_report_aggregates_only=true]
//
// Rates are in MB/s (10^6 bytes per second); the summary at the end gives each stream's
// ratio to the reference.

#include "terminal/tty_emulator.h"


#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <random>
#include <string>
#include <vector>

#ifdef QUILL_HAVE_VTERM
#include <vterm.h>
#endif

// Counts every allocation, to show none happens per byte.
static std::atomic<long long> GAllocations{0};
void* operator new(std::size_t N) {
  ++GAllocations;
  if (void* P = std::malloc(N ? N : 1)) return P;
  throw std::bad_alloc();
}
void operator delete(void* P) noexcept { std::free(P); }
void operator delete(void* P, std::size_t) noexcept { std::free(P); }

namespace {

// The control's side, doing nothing: the bench measures the emulator and the buffer.
class TBenchTerminal : public TQpTerminalHost {
 public:
  TQpTerminalEmulator* Emulator() const override { return nullptr; }
  void SetEmulator(TQpTerminalEmulator*) override {}
};

constexpr std::size_t StreamSize = 4 << 20;
constexpr std::size_t WriteSize = 4096;

// The stream generator: printable text with about 15 % spaces.
struct TGen {
  std::mt19937 Rnd{1};
  std::string Text(int N) {
    std::string S;
    for (int I = 0; I < N; ++I) S += (Rnd() % 100 < 15) ? ' ' : char(0x21 + Rnd() % 94);
    return S;
  }
  int Between(int A, int B) { return A + int(Rnd() % unsigned(B - A + 1)); }
};

std::string Fill(const std::vector<std::string>& Pieces, TGen& G) {
  std::string D;
  while (D.size() < StreamSize) D += Pieces[G.Rnd() % Pieces.size()];
  D.resize(StreamSize);
  return D;
}

const std::string& Stream(const std::string& Name) {
  static std::map<std::string, std::string> Cache;
  auto It = Cache.find(Name);
  if (It != Cache.end()) return It->second;
  TGen G;
  std::vector<std::string> P;
  std::string D;
  if (Name == "plain80") {
    for (int I = 0; I < 512; ++I) P.push_back(G.Text(80) + "\r\n");
    D = Fill(P, G);
  } else if (Name == "short") {
    for (int I = 0; I < 512; ++I) P.push_back(G.Text(G.Between(1, 12)) + "\r\n");
    D = Fill(P, G);
  } else if (Name == "lf") {
    D.assign(StreamSize, '\n');
  } else if (Name == "sgr") {
    for (int I = 0; I < 512; ++I) {
      std::string L;
      for (int Col = 0; Col < 72;) {
        const std::string Word = G.Text(G.Between(2, 8));
        L += "\x1b[" + std::string(G.Rnd() % 10 < 3 ? "1;" : "") + std::to_string(G.Between(30, 37)) + ";" +
             std::to_string(G.Between(40, 47)) + "m" + Word + "\x1b[0m ";
        Col += int(Word.size()) + 1;
      }
      P.push_back(L + "\r\n");
    }
    D = Fill(P, G);
  } else {  // cup
    for (int I = 0; I < 4096; ++I)
      P.push_back("\x1b[" + std::to_string(G.Between(1, 24)) + ";" + std::to_string(G.Between(1, 75)) + "H" +
                  G.Text(G.Between(1, 6)));
    D = Fill(P, G);
  }
  return Cache[Name] = D;
}

void SetRate(benchmark::State& State, std::size_t Bytes, long long Allocs) {
  State.counters["MB/s"] = benchmark::Counter(double(Bytes), benchmark::Counter::kIsIterationInvariantRate,
                                              benchmark::Counter::kIs1000);
  State.counters["allocs/MB"] = double(Allocs) / (double(Bytes) * double(State.iterations()) / 1e6);
}

// The buffer's changes are taken after every write, as the painter would take them.
void BM_Tty(benchmark::State& State, const std::string& Name) {
  const std::string& D = Stream(Name);
  TQpTTYEmulator E(true);
  TBenchTerminal T;
  E.SetTerminal(&T);
  TRect R;
  E.ProcessString(D.substr(0, 65536));  // warm: scrollback full, vectors grown
  const long long Before = GAllocations;
  for (auto _ : State) {
    for (std::size_t O = 0; O < D.size(); O += WriteSize) {
      E.ProcessBlock(reinterpret_cast<const std::uint8_t*>(D.data()) + O, std::min(WriteSize, D.size() - O), csPort);
      while (E.Buffer()->GetInvalidRect(R)) benchmark::DoNotOptimize(R);
    }
  }
  SetRate(State, D.size(), GAllocations - Before);
}

#ifdef QUILL_HAVE_VTERM
struct TScrollback {
  VTermScreenCell Rows[176][80];
  int Head = 0;
};
int Damage(VTermRect, void*) { return 1; }
int PushLine(int Cols, const VTermScreenCell* Cells, void* User) {
  auto* S = static_cast<TScrollback*>(User);
  std::memcpy(S->Rows[S->Head], Cells, sizeof *Cells * std::size_t(Cols < 80 ? Cols : 80));
  S->Head = (S->Head + 1) % 176;
  return 1;
}

void BM_Reference(benchmark::State& State, const std::string& Name) {
  const std::string& D = Stream(Name);
  auto* Sb = new TScrollback;
  VTermScreenCallbacks Cbs;
  std::memset(&Cbs, 0, sizeof Cbs);
  Cbs.damage = Damage;
  Cbs.sb_pushline = PushLine;
  VTerm* Vt = vterm_new(24, 80);
  vterm_set_utf8(Vt, 0);
  VTermScreen* S = vterm_obtain_screen(Vt);
  vterm_screen_set_callbacks(S, &Cbs, Sb);
  vterm_screen_set_damage_merge(S, VTERM_DAMAGE_SCROLL);
  vterm_screen_reset(S, 1);
  for (auto _ : State) {
    for (std::size_t O = 0; O < D.size(); O += WriteSize) {
      vterm_input_write(Vt, D.data() + O, std::min(WriteSize, D.size() - O));
      vterm_screen_flush_damage(S);
    }
  }
  vterm_free(Vt);
  delete Sb;
  SetRate(State, D.size(), 0);
}
#endif

// A full repaint of an 80 x 24 screen of text in runs of the eight basic colours, through a
// QPainter on an image.
// Arg: colour runs per row.
void BM_FullRepaint(benchmark::State& State) {
  const int Runs = int(State.range(0));
  TQpTTYEmulator E(true);
  TBenchTerminal T;
  E.SetTerminal(&T);
  TGen G;
  for (int Row = 1; Row <= 24; ++Row) {
    E.Buffer()->SetCursorPosition(Row, 1);
    for (int Run = 0; Run < Runs; ++Run) {
      static const TColor Palette[8] = {0x000000, 0x0000C0, 0x00C000, 0x00C0C0, 0xC00000, 0xC000C0, 0xC0C000, 0xC0C0C0};
      if (Runs > 1) E.Buffer()->SetForeColor(Palette[1 + G.Rnd() % 7]);
      E.Buffer()->WriteString(G.Text(80 / Runs));
    }
  }
  QImage Image(640, 288, QImage::Format_RGB32);
  QPainter P(&Image);
  E.Paint(P, Image.rect());  // glyph table built once
  for (auto _ : State) E.Paint(P, Image.rect());
}
BENCHMARK(BM_FullRepaint)->Arg(1)->Arg(10)->Unit(benchmark::kMicrosecond);

// Keeps each run's rate to print the ratios at the end.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& Runs) override {
    ConsoleReporter::ReportRuns(Runs);
    for (const Run& R : Runs) {
      auto It = R.counters.find("MB/s");
      if (It == R.counters.end()) continue;
      if (R.run_type == Run::RT_Aggregate && R.aggregate_name != "median") continue;
      Rates[R.run_name.function_name] = It->second.value;
    }
  }
  std::map<std::string, double> Rates;
};

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication App(argc, argv);
  const char* Names[] = {"plain80", "short", "lf", "sgr", "cup"};
  for (const char* N : Names) {
    benchmark::RegisterBenchmark((std::string("BM_Tty/") + N).c_str(), BM_Tty, std::string(N))->Unit(benchmark::kMillisecond);
#ifdef QUILL_HAVE_VTERM
    benchmark::RegisterBenchmark((std::string("BM_Reference/") + N).c_str(), BM_Reference, std::string(N))
        ->Unit(benchmark::kMillisecond);
#endif
  }
  benchmark::Initialize(&argc, argv);
  TRatioReporter Reporter;
  benchmark::RunSpecifiedBenchmarks(&Reporter);
  std::printf("\n%-10s %12s %12s %8s\n", "stream", "TTY MB/s", "ref MB/s", "ratio");
  for (const char* N : Names) {
    const double A = Reporter.Rates[std::string("BM_Tty/") + N], B = Reporter.Rates[std::string("BM_Reference/") + N];
    if (A == 0) continue;
    if (B > 0) std::printf("%-10s %12.1f %12.2f %7.1fx\n", N, A / 1e6, B / 1e6, A / B);
    else std::printf("%-10s %12.1f %12s %8s\n", N, A / 1e6, "-", "-");
  }
  benchmark::Shutdown();
  return 0;
}
