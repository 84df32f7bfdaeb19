#pragma once
// What the fuzz targets share: reading structured choices out of the fuzzer's bytes, and a check
// that stops the run with a message (libFuzzer keeps the input as a finding; the seed replay
// test fails).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size);

#define FUZZ_CHECK(Cond, What)                                                   \
  do {                                                                           \
    if (!(Cond)) {                                                               \
      std::fprintf(stderr, "%s:%d: check failed: %s (%s)\n", __FILE__, __LINE__, \
                   #Cond, std::string(What).c_str());                            \
      std::abort();                                                              \
    }                                                                            \
  } while (0)

// Takes choices from the front of the input; once it is used up every choice is zero/empty.
class TFuzzInput {
 public:
  TFuzzInput(const std::uint8_t* Data, std::size_t Size) : FData(Data), FSize(Size) {}

  bool Empty() const { return FPos >= FSize; }
  std::size_t Left() const { return FSize - FPos; }
  std::uint8_t Byte() { return FPos < FSize ? FData[FPos++] : 0; }
  // A number in [Low, High].
  std::uint32_t Range(std::uint32_t Low, std::uint32_t High) {
    std::uint32_t V = Byte();
    if (High - Low > 0xFF) V = (V << 8) | Byte();
    return Low + V % (High - Low + 1);
  }
  // A text of at most Max bytes, its length taken from one byte.
  std::string Text(std::size_t Max) {
    std::size_t N = Byte() % (Max + 1);
    if (N > Left()) N = Left();
    std::string S(reinterpret_cast<const char*>(FData + FPos), N);
    FPos += N;
    return S;
  }
  // Everything not taken yet.
  std::string Rest() {
    std::string S(reinterpret_cast<const char*>(FData + FPos), Left());
    FPos = FSize;
    return S;
  }

 private:
  const std::uint8_t* FData;
  std::size_t FSize;
  std::size_t FPos = 0;
};
