// Fuzz target: the character-set map's loaders and its draw script. The first byte chooses
// the binary form (even) or the text form (odd); the rest is the data. Whatever loads must
// store and load back whole, and every text must split into runs that add up to it.

#include "terminal/terminal_maps.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  if (Size == 0) return 0;
  TQpCharSetMapping M;
  const std::string Rest(reinterpret_cast<const char*>(Data + 1), Size - 1);
  if ((Data[0] & 1) == 0) {
    const bool Ok = M.LoadFromBinData(Data + 1, Size - 1);
    if (!Ok && M.Count() != 0) std::abort();
  } else {
    M.LoadFromText(Rest);
  }
  const std::string Stored = M.StoreToBinData();
  TQpCharSetMapping Back;
  if (!Back.LoadFromBinData(reinterpret_cast<const std::uint8_t*>(Stored.data()), Stored.size())) std::abort();
  if (Back.Count() != M.Count()) std::abort();
  std::vector<std::string> Fonts;
  M.GetFontNames(Fonts);
  for (const char* Set : {"VT100-UK", "VT100-linedraw", ""}) {
    const std::string Text = Rest.substr(0, Rest.find('\0')).substr(0, 64);
    M.GenerateDrawScript(Set, Text);
    std::string Font, Run;
    std::size_t Total = 0;
    while (M.GetNextDrawCommand(Font, Run)) {
      if (Run.empty() || Font.size() > MaxKeyString) std::abort();
      Total += Run.size();
    }
    if (!Text.empty() && Total != Text.size()) std::abort();
  }
  return 0;
}
