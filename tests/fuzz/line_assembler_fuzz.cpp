// The link's line assembler against any stream: the lines and overflows it reports match a
// plain model of the rule, whatever the pieces the stream arrives in, and what it holds never
// passes its bound.

#include <string>
#include <vector>

#include "fuzz_support.h"
#include "link/line_assembler.h"

namespace {

// Overflow events as "\x01", lines as their text followed by "\n" (a line never holds bytes
// below 0x20, so the two cannot be confused).
std::string Model(const std::string& Stream, std::size_t Bound) {
  std::string Events, Line;
  bool Dropping = false;
  for (char C : Stream) {
    if (C == '\r') {
      Events += (Dropping ? std::string() : Line) + "\n";
      Line.clear();
      Dropping = false;
    } else if (static_cast<unsigned char>(C) >= 0x20 && !Dropping) {
      if (Line.size() == Bound) {
        Events += '\x01';
        Line.clear();
        Dropping = true;
      } else {
        Line += C;
      }
    }
  }
  return Events;
}

std::string Run(const std::string& Stream, std::size_t Bound, const std::vector<std::size_t>& Pieces) {
  TLineAssembler A(Bound);
  std::string Events;
  std::size_t Pos = 0, Piece = 0;
  while (Pos < Stream.size()) {
    // As the link does: one arrival after another, each pushed byte by byte.
    const std::size_t N = Pieces.empty() ? Stream.size() : Pieces[Piece++ % Pieces.size()];
    const std::size_t End = std::min(Stream.size(), Pos + N);
    for (; Pos < End; ++Pos) {
      switch (A.Push(Stream[Pos])) {
        case TLineAssembler::laLine:
          FUZZ_CHECK(A.LocalData().find_first_of("\r\n") == std::string::npos, A.LocalData());
          Events += A.LocalData() + "\n";
          break;
        case TLineAssembler::laOverflow:
          Events += '\x01';
          break;
        case TLineAssembler::laNone:
          break;
      }
      FUZZ_CHECK(A.LocalData().size() <= Bound, std::to_string(A.LocalData().size()));
    }
  }
  return Events;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Bytes, std::size_t Size) {
  TFuzzInput In(Bytes, Size);
  // The link's own bound, or a small one so overflows come often.
  const std::uint8_t B = In.Byte();
  const std::size_t Bound = (B & 0x80) ? 4096 : std::size_t(B % 64);
  std::vector<std::size_t> Pieces;
  for (int I = In.Byte() % 8; I > 0; --I) Pieces.push_back(1 + In.Byte() % 64);
  const std::string Stream = In.Rest();
  const std::string Expected = Model(Stream, Bound);
  FUZZ_CHECK(Run(Stream, Bound, {}) == Expected, "whole stream");
  FUZZ_CHECK(Run(Stream, Bound, Pieces) == Expected, "in pieces");
  return 0;
}
