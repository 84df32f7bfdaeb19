// Throughput of the TTY emulator feeding the screen buffer, on generated streams of the kinds
// a device or a program sends, against the reference libraries built in (libvterm, libtsm; each
// optional, found by pkg-config): the same bytes through each, set up as an embedder would.
// libvterm's screen merges damage per scroll and copies scrollback lines into a 176-row ring;
// libtsm's screen keeps 176 scrollback lines and tracks damage by cell age (read at paint time,
// so nothing is taken per write). Also the cost of painting a full 80 x 24 screen (Google
// Benchmark), and the allocations made while processing.
//
//   terminal_bench [--pairs=N] [--seconds=S] [--streams=short,xlf,...] [--references=libtsm,...]
//                  [--steps=N] [Google Benchmark flags]
//
// --steps=N fixes each measurement at N writes instead of about S seconds: the same work on
// every run, for counting instructions under valgrind.
//
// Streams are measured in pairs, one after the other: a reference for about S seconds of CPU
// time, then this terminal as long, then the next reference and this terminal again; N such
// rounds. Each pair gives a ratio, so load that comes and goes hits both sides of it alike;
// the median of the ratios is the figure. Each side writes 4096-byte blocks, continuing
// through its stream where it left off, and this terminal's side takes the buffer's changes
// after every write as the painter would.
//
// The colour and cursor streams also go through the command set as command lists (colour
// setters per word; cursor position plus a written string), like for like with the
// references, which interpret their escapes (the TTY prints them as text). Rates are in MB/s
// (10^6 bytes per second of the thread's CPU time).

#include "terminal/tty_emulator.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>

#ifdef QUILL_HAVE_VTERM
#include <vterm.h>
#endif
#ifdef QUILL_HAVE_TSM
#include <libtsm.h>
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
// (one list per piece, in the order the pieces were drawn, with each piece's size as text).
struct TStream {
  std::string Bytes;
  std::vector<TQpEmuCommandList> Pieces;
  std::vector<std::size_t> PieceBytes;
  std::vector<std::uint32_t> Order;
};

void Fill(TStream& S, const std::vector<std::string>& Pieces, TGen& G) {
  while (S.Bytes.size() < StreamSize) {
    const std::uint32_t I = std::uint32_t(G.Rnd() % Pieces.size());
    S.Bytes += Pieces[I];
    S.Order.push_back(I);
  }
  S.Bytes.resize(StreamSize);
  for (const std::string& P : Pieces) S.PieceBytes.push_back(P.size());
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

double ThreadSeconds() {
  timespec T;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &T);
  return double(T.tv_sec) + double(T.tv_nsec) * 1e-9;
}

// One side of a comparison: something that takes a stream a step (one 4096-byte write, or the
// command lists of about as many bytes) at a time, continuing where it left off.
class TSubject {
 public:
  virtual ~TSubject() = default;
  // Returns the bytes the step stood for.
  virtual std::size_t Step() = 0;
};

// A stream's bytes in 4096-byte writes, round and round.
class TByteSubject : public TSubject {
 public:
  explicit TByteSubject(const std::string& Bytes) : FBytes(Bytes) {}
  std::size_t Step() override {
    const std::size_t N = std::min(WriteSize, FBytes.size() - FAt);
    Write(FBytes.data() + FAt, N);
    FAt = FAt + N == FBytes.size() ? 0 : FAt + N;
    return N;
  }

 protected:
  virtual void Write(const char* Data, std::size_t Len) = 0;

 private:
  const std::string& FBytes;
  std::size_t FAt = 0;
};

// This terminal: the buffer's changes are taken after every write, as the painter would.
class TTty : public TByteSubject {
 public:
  explicit TTty(const std::string& Bytes) : TByteSubject(Bytes), FEmulator(true) {
    FEmulator.SetTerminal(&FTerminal);
    FEmulator.ProcessString(Bytes.substr(0, 65536));  // warm: scrollback full, vectors grown
  }
  void Write(const char* Data, std::size_t Len) override {
    FEmulator.ProcessBlock(reinterpret_cast<const std::uint8_t*>(Data), Len, csPort);
    TRect R;
    while (FEmulator.Buffer()->GetInvalidRect(R)) benchmark::DoNotOptimize(R);
  }

 private:
  TQpTTYEmulator FEmulator;
  TBenchTerminal FTerminal;
};

// This terminal through the command set: the lists of about 4096 bytes of escape text, then
// the buffer's changes.
class TCommands : public TSubject {
 public:
  explicit TCommands(const TStream& S) : FStream(S), FEmulator(true) {
    FEmulator.SetTerminal(&FTerminal);
    for (int I = 0; I < 64; ++I) Step();
  }
  std::size_t Step() override {
    std::size_t Bytes = 0;
    while (Bytes < WriteSize) {
      const std::uint32_t I = FStream.Order[FAt];
      FEmulator.teProcessCommandList(FStream.Pieces[I]);
      Bytes += FStream.PieceBytes[I];
      if (++FAt == FStream.Order.size()) FAt = 0;
    }
    TRect R;
    while (FEmulator.Buffer()->GetInvalidRect(R)) benchmark::DoNotOptimize(R);
    return Bytes;
  }

 private:
  const TStream& FStream;
  TQpTTYEmulator FEmulator;
  TBenchTerminal FTerminal;
  std::size_t FAt = 0;
};

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

class TVterm : public TByteSubject {
 public:
  explicit TVterm(const std::string& Bytes) : TByteSubject(Bytes), FScrollback(new TScrollback) {
    std::memset(&FCallbacks, 0, sizeof FCallbacks);
    FCallbacks.damage = Damage;
    FCallbacks.sb_pushline = PushLine;
    FVt = vterm_new(24, 80);
    vterm_set_utf8(FVt, 0);
    FScreen = vterm_obtain_screen(FVt);
    vterm_screen_set_callbacks(FScreen, &FCallbacks, FScrollback.get());  // kept by address
    vterm_screen_set_damage_merge(FScreen, VTERM_DAMAGE_SCROLL);
    vterm_screen_reset(FScreen, 1);
  }
  ~TVterm() override { vterm_free(FVt); }
  void Write(const char* Data, std::size_t Len) override {
    vterm_input_write(FVt, Data, Len);
    vterm_screen_flush_damage(FScreen);
  }

 private:
  std::unique_ptr<TScrollback> FScrollback;
  VTermScreenCallbacks FCallbacks;
  VTerm* FVt = nullptr;
  VTermScreen* FScreen = nullptr;
};
#endif

#ifdef QUILL_HAVE_TSM
void TsmWrite(tsm_vte*, const char*, std::size_t, void*) {}  // answers to the host: none here

class TTsm : public TByteSubject {
 public:
  explicit TTsm(const std::string& Bytes) : TByteSubject(Bytes) {
    if (tsm_screen_new(&FScreen, nullptr, nullptr) != 0 || tsm_screen_resize(FScreen, 80, 24) != 0 ||
        tsm_vte_new(&FVte, FScreen, TsmWrite, nullptr, nullptr, nullptr) != 0) {
      std::fprintf(stderr, "libtsm: cannot set up a screen\n");
      std::exit(1);
    }
    tsm_screen_set_max_sb(FScreen, 176);
  }
  ~TTsm() override {
    tsm_vte_unref(FVte);
    tsm_screen_unref(FScreen);
  }
  void Write(const char* Data, std::size_t Len) override { tsm_vte_input(FVte, Data, Len); }

 private:
  tsm_screen* FScreen = nullptr;
  tsm_vte* FVte = nullptr;
};
#endif

struct TReference {
  const char* Name;
  std::unique_ptr<TSubject> (*Make)(const std::string& Bytes);
};
std::vector<TReference>& References() {
  static std::vector<TReference> R = {
#ifdef QUILL_HAVE_VTERM
      {"libvterm", [](const std::string& B) -> std::unique_ptr<TSubject> { return std::make_unique<TVterm>(B); }},
#endif
#ifdef QUILL_HAVE_TSM
      {"libtsm", [](const std::string& B) -> std::unique_ptr<TSubject> { return std::make_unique<TTsm>(B); }},
#endif
  };
  return R;
}

long GFixedSteps = 0;  // --steps: the same work every time, for counting instructions (valgrind)

// A subject timed over a fixed number of steps, chosen once so that one measurement takes
// about the given CPU time.
struct TTimed {
  std::unique_ptr<TSubject> Subject;
  long Steps = 0;
  long long Allocations = 0;
  double Bytes = 0;  // over every measurement, for the allocation count

  double Rate(double Seconds) {  // bytes per second of CPU time
    if (Steps == 0 && GFixedSteps > 0) Steps = GFixedSteps;
    if (Steps == 0) {  // calibrate; these runs also warm the caches
      Steps = 4;
      for (;;) {
        const double T0 = ThreadSeconds();
        for (long I = 0; I < Steps; ++I) Subject->Step();
        const double T = ThreadSeconds() - T0;
        if (T >= Seconds / 8 || Steps >= 1L << 30) {
          Steps = std::max(1L, long(double(Steps) * Seconds / std::max(T, 1e-6)));
          break;
        }
        Steps *= 2;
      }
    }
    const long long A0 = GAllocations;
    std::size_t B = 0;
    const double T0 = ThreadSeconds();
    for (long I = 0; I < Steps; ++I) B += Subject->Step();
    const double T = ThreadSeconds() - T0;
    Allocations += GAllocations - A0;
    Bytes += double(B);
    return double(B) / std::max(T, 1e-9);
  }
};

double Median(std::vector<double> V) {
  std::sort(V.begin(), V.end());
  const std::size_t N = V.size();
  return N % 2 ? V[N / 2] : (V[N / 2 - 1] + V[N / 2]) / 2;
}

struct TRow {
  std::string Label;
  double Ours = 0;                 // median MB/s
  std::vector<double> Ref, Ratio;  // per reference: median MB/s, median ratio
  double AllocsPerMB = 0;
};

// One stream, or its command lists (Commands), in Pairs rounds against every reference.
TRow Compare(const std::string& Name, bool Commands, int Pairs, double Seconds) {
  const TStream& S = Stream(Name);
  const std::string Label = Commands ? Name + " (commands)" : Name;
  const auto& Refs = References();
  std::vector<TTimed> Refs_(Refs.size());
  for (std::size_t I = 0; I < Refs.size(); ++I) Refs_[I].Subject = Refs[I].Make(S.Bytes);
  TTimed Ours;
  if (Commands) Ours.Subject = std::make_unique<TCommands>(S);
  else Ours.Subject = std::make_unique<TTty>(S.Bytes);
  std::vector<std::vector<double>> RefRates(Refs.size()), Ratios(Refs.size()), Beside(Refs.size());
  std::vector<double> OurRates;
  for (int P = 1; P <= Pairs; ++P) {
    std::printf("%-16s %2d", Label.c_str(), P);
    if (Refs.empty()) {
      OurRates.push_back(Ours.Rate(Seconds));
      std::printf("  this %9.1f MB/s", OurRates.back() / 1e6);
    }
    for (std::size_t I = 0; I < Refs.size(); ++I) {
      const double R = Refs_[I].Rate(Seconds);
      const double O = Ours.Rate(Seconds);
      OurRates.push_back(O);
      Beside[I].push_back(O);
      RefRates[I].push_back(R);
      Ratios[I].push_back(O / R);
      std::printf("  %s %8.2f this %8.1f MB/s %7.1fx", Refs[I].Name, R / 1e6, O / 1e6, O / R);
    }
    std::printf("\n");
    std::fflush(stdout);
  }
  TRow Row;
  Row.Label = Label;
  Row.Ours = Median(OurRates) / 1e6;
  for (std::size_t I = 0; I < Refs.size(); ++I) {
    Row.Ref.push_back(Median(RefRates[I]) / 1e6);
    Row.Ratio.push_back(Median(Ratios[I]));
  }
  Row.AllocsPerMB = double(Ours.Allocations) / (Ours.Bytes / 1e6);
  std::printf("%-16s med", Label.c_str());
  if (Refs.empty()) std::printf("  this %9.1f MB/s", Row.Ours);
  for (std::size_t I = 0; I < Refs.size(); ++I)
    std::printf("  %s %8.2f this %8.1f MB/s %7.1fx", Refs[I].Name, Row.Ref[I], Median(Beside[I]) / 1e6, Row.Ratio[I]);
  std::printf("\n\n");
  return Row;
}

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

// Takes "--Name=Value" out of the arguments.
bool TakeFlag(int& argc, char** argv, const char* Name, std::string& Value) {
  const std::string Prefix = std::string("--") + Name + "=";
  for (int I = 1; I < argc; ++I) {
    if (std::strncmp(argv[I], Prefix.c_str(), Prefix.size()) != 0) continue;
    Value = argv[I] + Prefix.size();
    for (int J = I; J + 1 < argc; ++J) argv[J] = argv[J + 1];
    --argc;
    return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::string PairsArg = "5", SecondsArg = "0.25", StreamsArg = "plain80,short,lf,xlf,sgr,cup";
  TakeFlag(argc, argv, "pairs", PairsArg);
  TakeFlag(argc, argv, "seconds", SecondsArg);
  TakeFlag(argc, argv, "streams", StreamsArg);
  std::string StepsArg;
  if (TakeFlag(argc, argv, "steps", StepsArg)) GFixedSteps = std::max(1L, std::atol(StepsArg.c_str()));
  std::string RefsArg;
  if (TakeFlag(argc, argv, "references", RefsArg)) {  // a subset, or none ("") for profiling this side
    auto& R = References();
    R.erase(std::remove_if(R.begin(), R.end(),
                           [&](const TReference& X) { return ("," + RefsArg + ",").find(std::string(",") + X.Name + ",") == std::string::npos; }),
            R.end());
  }
  const int Pairs = std::max(1, std::atoi(PairsArg.c_str()));
  const double Seconds = std::max(0.001, std::atof(SecondsArg.c_str()));
  QGuiApplication App(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;

#ifndef QUILL_HAVE_VTERM
  std::printf("libvterm was not found when this was built (pkg-config vterm; Debian libvterm-dev): no comparison with it\n");
#endif
#ifndef QUILL_HAVE_TSM
  std::printf("libtsm was not found when this was built (pkg-config libtsm; Debian libtsm-dev): no comparison with it\n");
#endif
  std::printf("Each line: one round of pairs, a reference then this terminal, %.2f s of CPU time each; "
              "\"med\": the medians.\n\n",
              Seconds);
  std::vector<TRow> Rows;
  std::size_t From = 0;
  while (From <= StreamsArg.size() && StreamsArg != "none") {
    const std::size_t Comma = std::min(StreamsArg.find(',', From), StreamsArg.size());
    const std::string N = StreamsArg.substr(From, Comma - From);
    From = Comma + 1;
    if (N != "plain80" && N != "short" && N != "lf" && N != "xlf" && N != "sgr" && N != "cup") {
      std::fprintf(stderr, "unknown stream %s\n", N.c_str());
      return 2;
    }
    Rows.push_back(Compare(N, false, Pairs, Seconds));
    if (N == "sgr" || N == "cup") Rows.push_back(Compare(N, true, Pairs, Seconds));
  }
  if (!Rows.empty()) {
    std::printf("%-16s %10s", "stream", "this MB/s");
    for (const TReference& R : References()) std::printf(" %12s %7s", R.Name, "ratio");
    std::printf(" %10s\n", "allocs/MB");
    for (const TRow& R : Rows) {
      std::printf("%-16s %10.1f", R.Label.c_str(), R.Ours);
      for (std::size_t I = 0; I < R.Ref.size(); ++I) std::printf(" %12.2f %6.1fx", R.Ref[I], R.Ratio[I]);
      std::printf(" %10.2f\n", R.AllocsPerMB);
    }
    std::printf("\n");
  }
  std::fflush(stdout);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
