#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/line_assembler.h"

namespace {

// Feeds Stream one byte at a time and records what comes out: each line, and "!" for each
// over-long line dropped.
std::vector<std::string> Assemble(const std::string& Stream, std::size_t Max) {
  TLineAssembler A(Max);
  std::vector<std::string> Out;
  for (char C : Stream) {
    switch (A.Push(C)) {
      case TLineAssembler::laLine: Out.push_back(A.LocalData()); break;
      case TLineAssembler::laOverflow: Out.push_back("!"); break;
      case TLineAssembler::laNone: break;
    }
  }
  return Out;
}

// The same through PushRun: runs end after each carriage return (pushed with Push) and are
// cut once more at Cut bytes into the stream, as a receive path may cut them.
std::vector<std::string> AssembleRuns(const std::string& Stream, std::size_t Max, std::size_t Cut) {
  TLineAssembler A(Max);
  std::vector<std::string> Out;
  auto Note = [&](TLineAssembler::TResult R) {
    if (R == TLineAssembler::laLine) Out.push_back(A.LocalData());
    if (R == TLineAssembler::laOverflow) Out.push_back("!");
  };
  std::size_t I = 0;
  while (I < Stream.size()) {
    std::size_t End = Stream.find('\r', I);
    End = End == std::string::npos ? Stream.size() : End;
    if (I < Cut && Cut < End) End = Cut;
    Note(A.PushRun(Stream.data() + I, End - I));
    I = End;
    if (I < Stream.size() && Stream[I] == '\r') Note(A.Push(Stream[I++]));
  }
  return Out;
}

}  // namespace

TEST(LineAssembler, SplitsBoundsAndFilters) {
  struct Case {
    const char* Name;
    std::string Stream;
    std::vector<std::string> Lines;
  };
  const std::vector<Case> Cases = {
      {"one line", "[LINKOK]\r", {"[LINKOK]"}},
      {"no end yet", "[LINK", {}},
      {"empty lines", "\r\r", {"", ""}},
      {"line feeds and controls dropped", "\n[A\x01" "B]\t\r", {"[AB]"}},
      {"high bytes kept", "\xC5\xFF\r", {"\xC5\xFF"}},
      {"exactly the bound", "12345678\r", {"12345678"}},
      {"one past the bound drops to the end", "123456789abc\rok\r", {"!", "", "ok"}},
      {"two long lines each said", "123456789\r123456789\r", {"!", "", "!", ""}},
  };
  for (const Case& C : Cases) {
    EXPECT_EQ(Assemble(C.Stream, 8), C.Lines) << C.Name;
    for (std::size_t Cut = 0; Cut <= C.Stream.size(); ++Cut)
      EXPECT_EQ(AssembleRuns(C.Stream, 8, Cut), C.Lines) << C.Name << ", runs cut at " << Cut;
  }
}
