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
  for (const Case& C : Cases) EXPECT_EQ(Assemble(C.Stream, 8), C.Lines) << C.Name;
}
