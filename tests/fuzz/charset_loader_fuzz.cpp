// Fuzz target: the character-set map's loaders and its draw script. The first byte chooses
// the binary form (even) or the text form (odd); the rest is the data. Whatever loads must
// store and load back whole, and every text must split into runs that add up to it.

#include "terminal/terminal_maps.h"

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  if (Size == 0) return 0;
  TQpCharSetMapping M;
  const std::string Rest(reinterpret_cast<const char*>(Data + 1), Size - 1);
  if ((Data[0] & 1) == 0) {
    const bool Ok = M.LoadFromBinData(Data + 1, Size - 1);
    FUZZ_CHECK(Ok || M.Count() == 0, "refused data left " + std::to_string(M.Count()) + " entries");
  } else {
    M.LoadFromText(Rest);
  }
  const std::string Stored = M.StoreToBinData();
  TQpCharSetMapping Back;
  FUZZ_CHECK(Back.LoadFromBinData(reinterpret_cast<const std::uint8_t*>(Stored.data()), Stored.size()),
             "stored map refused");
  FUZZ_CHECK(Back.Count() == M.Count(),
             std::to_string(Back.Count()) + " of " + std::to_string(M.Count()) + " entries back");
  std::vector<std::string> Fonts;
  M.GetFontNames(Fonts);
  for (const char* Set : {"VT100-UK", "VT100-linedraw", ""}) {
    const std::string Text = Rest.substr(0, Rest.find('\0')).substr(0, 64);
    M.GenerateDrawScript(Set, Text);
    std::string Font, Run;
    std::size_t Total = 0;
    while (M.GetNextDrawCommand(Font, Run)) {
      FUZZ_CHECK(!Run.empty() && Font.size() <= MaxKeyString, std::string(Set) + ": font \"" + Font + "\"");
      Total += Run.size();
    }
    FUZZ_CHECK(Text.empty() || Total == Text.size(),
               std::string(Set) + ": runs of " + std::to_string(Total) + " bytes for " + std::to_string(Text.size()));
  }
  return 0;
}
