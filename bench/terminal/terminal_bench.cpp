// Throughput of the TTY emulator feeding the screen buffer, on generated streams of the kinds
// a device or a program sends, and, when the reference library is built in, the same bytes
// through it in the same run (its screen with damage merged per scroll and scrollback lines
// copied into a 176-row ring, as an embedder would set it up). Also the cost of painting a
// full 80 x 24 screen, and the allocations made while processing.
//
//   terminal_bench [--benchmark_repetitions=3 --benchmark_report_aggregates_only=true]
//
// The colour and cursor streams also go through the command set as command lists (colour
// setters per word; cursor position plus a written string), like for like with the
// reference, which interprets their escapes. Rates are in MB/s (10^6 bytes per second of CPU
// time); the summary at the end gives each stream's ratio to the reference.

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

// A stream's bytes and, for the colour and cursor streams, the same content as command lists
// (one list per piece, in the order the pieces were drawn).
struct TStream {
  std::string Bytes;
  std::vector<TQpEmuCommandList> Pieces;
  std::vector<std::uint32_t> Order;
  std::size_t OrderBytes = 0;
};

void Fill(TStream& S, const std::vector<std::string>& Pieces, TGen& G) {
  while (S.Bytes.size() < StreamSize) {
    const std::uint32_t I = std::uint32_t(G.Rnd() % Pieces.size());
    S.Bytes += Pieces[I];
    S.Order.push_back(I);
    S.OrderBytes += Pieces[I].size();
  }
  S.Bytes.resize(StreamSize);
}

TColor AnsiColour(int N) {
  static const TColor Palette[8] = {0x000000, 0x0000C0, 0x00C000, 0x00C0C0, 0xC00000, 0xC000C0, 0xC0C000, 0xC0C0C0};
  return Palette[N % 10];
}

const TStream& Stream(const std::string& Name) {
  static std::map<std::string, TStream> Cache;
  auto It = Cache.find(Name);
  if (It != Cache.end()) return It->second;
  TGen G;
  std::vector<std::string> P;
  TStream S;
  if (Name == "plain80") {
    for (int I = 0; I < 512; ++I) P.push_back(G.Text(80) + "\r\n");
    Fill(S, P, G);
  } else if (Name == "short") {
    for (int I = 0; I < 512; ++I) P.push_back(G.Text(G.Between(1, 12)) + "\r\n");
    Fill(S, P, G);
  } else if (Name == "lf") {
    S.Bytes.assign(StreamSize, '\n');
  } else if (Name == "xlf") {  // line feeds one at a time, each after one character
    for (std::size_t I = 0; I < StreamSize / 2; ++I) S.Bytes += "x\n";
  } else if (Name == "sgr") {
    for (int I = 0; I < 512; ++I) {
      std::string L;
      TQpEmuCommandList C;
      for (int Col = 0; Col < 72;) {
        const std::string Word = G.Text(G.Between(2, 8));
        const bool Bold = G.Rnd() % 10 < 3;
        const int Fg = G.Between(30, 37), Bg = G.Between(40, 47);
        L += "\x1b[" + std::string(Bold ? "1;" : "") + std::to_string(Fg) + ";" + std::to_string(Bg) + "m" + Word + "\x1b[0m ";
        C.AddCommand(ecColor).AddTColorArg(AnsiColour(Fg)).AddTColorArg(AnsiColour(Bg)).AddBooleanArg(false);
        if (Bold) C.AddCommand(ecAddBold);
        C.AddCommand(ecWriteString).AddStringArg(Word);
        C.AddCommand(ecRemoveAllAttr);
        C.AddCommand(ecColor).AddTColorArg(qpc_TermBufForeColor).AddTColorArg(0).AddBooleanArg(false);
        C.AddCommand(ecWriteString).AddStringArg(" ");
        Col += int(Word.size()) + 1;
      }
      C.AddCommand(ecCR);
      C.AddCommand(ecLF);
      P.push_back(L + "\r\n");
      S.Pieces.push_back(std::move(C));
    }
    Fill(S, P, G);
  } else {  // cup
    for (int I = 0; I < 4096; ++I) {
      const int Row = G.Between(1, 24), Col = G.Between(1, 75);
      const std::string Text = G.Text(G.Between(1, 6));
      P.push_back("\x1b[" + std::to_string(Row) + ";" + std::to_string(Col) + "H" + Text);
      TQpEmuCommandList C;
      C.AddCommand(ecCursorPos).AddIntegerArg(Row).AddIntegerArg(Col);
      C.AddCommand(ecWriteString).AddStringArg(Text);
      S.Pieces.push_back(std::move(C));
    }
    Fill(S, P, G);
  }
  return Cache[Name] = std::move(S);
}

void SetRate(benchmark::State& State, std::size_t Bytes, long long Allocs) {
  State.counters["MB/s"] = benchmark::Counter(double(Bytes), benchmark::Counter::kIsIterationInvariantRate,
                                              benchmark::Counter::kIs1000);
  State.counters["allocs/MB"] = double(Allocs) / (double(Bytes) * double(State.iterations()) / 1e6);
}

// The buffer's changes are taken after every write, as the painter would take them.
void BM_Tty(benchmark::State& State, const std::string& Name) {
  const std::string& D = Stream(Name).Bytes;
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

// The colour and cursor streams' content through the command set, as an application driving
// the screen would; the rate counts the bytes of the same content as escape text.
void BM_Commands(benchmark::State& State, const std::string& Name) {
  const TStream& S = Stream(Name);
  TQpTTYEmulator E(true);
  TBenchTerminal T;
  E.SetTerminal(&T);
  TRect R;
  for (std::size_t I = 0; I < 64; ++I) E.teProcessCommandList(S.Pieces[S.Order[I]]);
  const long long Before = GAllocations;
  for (auto _ : State) {
    std::size_t Since = 0;
    for (std::uint32_t I : S.Order) {
      E.teProcessCommandList(S.Pieces[I]);
      if ((Since += S.Bytes.size() / S.Order.size()) >= WriteSize) {
        Since = 0;
        while (E.Buffer()->GetInvalidRect(R)) benchmark::DoNotOptimize(R);
      }
    }
  }
  SetRate(State, S.OrderBytes, GAllocations - Before);
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
  const std::string& D = Stream(Name).Bytes;
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
  const char* Names[] = {"plain80", "short", "lf", "sgr", "cup", "xlf"};
  for (const char* N : Names) {
    if (std::string(N) == "xlf") {  // ours only: it isolates the cost of one line feed
      benchmark::RegisterBenchmark("BM_Tty/xlf", BM_Tty, std::string(N))->Unit(benchmark::kMillisecond);
      continue;
    }
    benchmark::RegisterBenchmark((std::string("BM_Tty/") + N).c_str(), BM_Tty, std::string(N))->Unit(benchmark::kMillisecond);
#ifdef QUILL_HAVE_VTERM
    benchmark::RegisterBenchmark((std::string("BM_Reference/") + N).c_str(), BM_Reference, std::string(N))
        ->Unit(benchmark::kMillisecond);
#endif
  }
  for (const char* N : {"sgr", "cup"})
    benchmark::RegisterBenchmark((std::string("BM_Commands/") + N).c_str(), BM_Commands, std::string(N))
        ->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  TRatioReporter Reporter;
  benchmark::RunSpecifiedBenchmarks(&Reporter);
  std::printf("\n%-10s %12s %12s %8s %14s %8s\n", "stream", "TTY MB/s", "ref MB/s", "ratio", "commands MB/s", "ratio");
  for (const char* N : Names) {
    const double A = Reporter.Rates[std::string("BM_Tty/") + N], B = Reporter.Rates[std::string("BM_Reference/") + N];
    const double C = Reporter.Rates[std::string("BM_Commands/") + N];
    if (A == 0) continue;
    std::printf("%-10s %12.1f", N, A / 1e6);
    if (B > 0) std::printf(" %12.2f %7.1fx", B / 1e6, A / B);
    else std::printf(" %12s %8s", "-", "-");
    if (C > 0 && B > 0) std::printf(" %14.1f %7.1fx", C / 1e6, C / B);
    std::printf("\n");
  }
  benchmark::Shutdown();
  return 0;
}
