// Fuzz target: the keyboard map's loaders. The first byte chooses the binary form (even) or
// the text form (odd); the rest is the data. Whatever loads must store and load back whole.

#include "terminal/terminal_maps.h"

#include <cstdint>
#include <string>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  if (Size == 0) return 0;
  TQpKeyboardMapping M;
  const bool Binary = (Data[0] & 1) == 0;
  if (Binary) {
    const bool Ok = M.LoadFromBinData(Data + 1, Size - 1);
    FUZZ_CHECK(Ok || M.Count() == 0, "refused data left " + std::to_string(M.Count()) + " keys");
  } else {
    M.LoadFromText(std::string(reinterpret_cast<const char*>(Data + 1), Size - 1));
  }
  const std::string Stored = M.StoreToBinData();
  TQpKeyboardMapping Back;
  FUZZ_CHECK(Back.LoadFromBinData(reinterpret_cast<const std::uint8_t*>(Stored.data()), Stored.size()),
             "stored map refused");
  FUZZ_CHECK(Back.Count() == M.Count(),
             std::to_string(Back.Count()) + " of " + std::to_string(M.Count()) + " keys back");
  (void)M.DebugText();
  return 0;
}
