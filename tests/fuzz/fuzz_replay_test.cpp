// Replays a fuzz target's corpus (tests/fuzz/corpus/<target>/), then a fixed number of
// seeded mutations of it, so the sanitized build runs every target without a fuzzing engine.
// QUILL_FUZZ_TARGET names the target this program is built with.

#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size);

namespace {

std::vector<std::string> Corpus() {
  const char* Source = std::getenv("QUILL_SOURCE_DIR");
  const std::filesystem::path Dir = std::filesystem::path(Source ? Source : ".") / "tests/fuzz/corpus" / QUILL_FUZZ_TARGET;
  std::vector<std::filesystem::path> Files;
  for (const auto& E : std::filesystem::directory_iterator(Dir))
    if (E.is_regular_file()) Files.push_back(E.path());
  std::sort(Files.begin(), Files.end());
  std::vector<std::string> Out;
  for (const auto& F : Files) Out.push_back(ReadFile(F.string()));
  return Out;
}

int Feed(const std::string& S) { return LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(S.data()), S.size()); }

TEST(FuzzReplay, Corpus) {
  const std::vector<std::string> Inputs = Corpus();
  ASSERT_FALSE(Inputs.empty());
  for (const std::string& S : Inputs) EXPECT_EQ(Feed(S), 0);
}

TEST(FuzzReplay, SeededMutations) {
  const std::vector<std::string> Inputs = Corpus();
  ASSERT_FALSE(Inputs.empty());
  std::mt19937 Rnd(20261210);
  for (int Round = 0; Round < 3000; ++Round) {
    std::string S = Inputs[Rnd() % Inputs.size()];
    const int Edits = 1 + int(Rnd() % 8);
    for (int E = 0; E < Edits; ++E) {
      const std::size_t At = S.empty() ? 0 : Rnd() % S.size();
      switch (Rnd() % 5) {
        case 0: if (!S.empty()) S[At] = char(Rnd()); break;                        // flip a byte
        case 1: S.insert(S.begin() + std::ptrdiff_t(At), char(Rnd())); break;      // insert
        case 2: if (!S.empty()) S.erase(At, 1 + Rnd() % 16); break;                // cut
        case 3: S.resize(At); break;                                               // truncate
        default: S += Inputs[Rnd() % Inputs.size()].substr(0, 64); break;          // splice
      }
    }
    ASSERT_EQ(Feed(S), 0);
  }
}

}  // namespace
