// Fuzz target: the TTY emulator's input and the command set against the screen buffer.
//
// Input: bytes go to ProcessBlock, except two escapes of this harness:
//   0xFF c a b  runs command c (modulo the number of commands) with integer arguments made
//               from a and b (extremes included: INT_MIN, -1, 0, 1, 300, INT_MAX)
//   0xFE k v    resizes: k selects columns, screen rows or all rows, v the count
// The first byte's low bit, read and still processed, switches the host's NewLineAfterCR on.
// After every step the buffer must keep its cursor inside and its change record sane.

#include "terminal/tty_emulator.h"

#include <climits>
#include <cstdint>
#include <string>

#include "fuzz_support.h"

namespace {

// Every command of the emulator's set, so a byte can name any of them.
constexpr int CommandCount = ecCursorBlock + 1;

int Arg(std::uint8_t V) {
  static const int Extremes[] = {INT_MIN, -1, 0, 1, 300, INT_MAX};
  return V >= 250 ? Extremes[V - 250] : int(V) - 20;
}

// A host that only answers whether a carriage return also feeds a line.
class TCrHost : public TQpTerminalHost {
 public:
  explicit TCrHost(bool CrFeeds) : FCrFeeds(CrFeeds) {}
  TQpTerminalEmulator* Emulator() const override { return nullptr; }
  void SetEmulator(TQpTerminalEmulator*) override {}
  bool NewLineAfterCR() const override { return FCrFeeds; }

 private:
  bool FCrFeeds;
};

void CheckInvariants(TQpTerminalBuffer& B) {
  FUZZ_CHECK(B.CursorRowInternal() >= 0 && B.CursorRowInternal() < B.SVRowCount(),
             "cursor row " + std::to_string(B.CursorRowInternal()));
  FUZZ_CHECK(B.CursorColInternal() >= 0 && B.CursorColInternal() < B.ColCount(),
             "cursor column " + std::to_string(B.CursorColInternal()));
  FUZZ_CHECK(B.RowCount() >= 2 && B.RowCount() <= B.SVRowCount(), "screen rows " + std::to_string(B.RowCount()));
  FUZZ_CHECK(B.OriginRow() >= 1 && B.OriginRow() <= B.RowCount(), "origin row " + std::to_string(B.OriginRow()));
  TRect R;
  if (B.GetInvalidRect(R)) {
    FUZZ_CHECK(R.Left >= 1 && R.Right <= B.ColCount() && R.Left <= R.Right, "changed columns");
    FUZZ_CHECK(R.Top >= B.RowCount() - B.SVRowCount() + 1 && R.Bottom <= B.RowCount() && R.Top <= R.Bottom,
               "changed rows");
  }
  for (int Row = B.RowCount() - B.SVRowCount() + 1; Row <= B.RowCount(); Row += 7)
    FUZZ_CHECK(B.GetLineCharPtr(Row) != nullptr, "row " + std::to_string(Row) + " missing");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  TCrHost Host(Size > 0 && (Data[0] & 1));
  TQpTTYEmulator E(true);  // a default emulator: it serves the host without a link record
  E.SetTerminal(&Host);
  TQpTerminalBuffer& B = *E.Buffer();
  B.SetSVRowCount(40);  // small, so scrolls reach the scrollback's end quickly
  std::size_t I = 0;
  while (I < Size) {
    if (Data[I] == 0xFF && I + 3 < Size) {
      TQpEmuCommandList L;
      L.AddCommand(TQpEmuCommand(Data[I + 1] % CommandCount))
          .AddIntegerArg(Arg(Data[I + 2]))
          .AddIntegerArg(Arg(Data[I + 3]));
      E.teProcessCommandList(L);
      I += 4;
    } else if (Data[I] == 0xFE && I + 2 < Size) {
      const int V = Arg(Data[I + 2]);
      try {
        switch (Data[I + 1] % 3) {
          case 0: B.SetColCount(V); break;
          case 1: B.SetRowCount(V); break;
          default: B.SetSVRowCount(V); break;
        }
      } catch (const EQpTerminalError&) {
        // refused sizes leave the buffer as it was
      }
      I += 3;
    } else {
      std::size_t J = I;
      while (J < Size && Data[J] < 0xFE) ++J;
      if (J == I) ++J;
      E.ProcessBlock(Data + I, J - I, csPort);
      I = J;
    }
    CheckInvariants(B);
  }
  return 0;
}
