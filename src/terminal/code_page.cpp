#include "terminal/code_page.h"

namespace {

constexpr char16_t GHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

char16_t AnsiToUnicode(std::uint8_t B) { return B >= 0x80 && B < 0xA0 ? GHigh[B - 0x80] : char16_t(B); }

bool UnicodeToAnsi(char32_t C, std::uint8_t& B) {
  if (C < 0x80 || (C >= 0xA0 && C <= 0xFF)) {
    B = std::uint8_t(C);
    return true;
  }
  for (int I = 0; I < 32; ++I)
    if (GHigh[I] == C) {
      B = std::uint8_t(0x80 + I);
      return true;
    }
  return false;
}

std::string UnicodeToAnsiString(const std::u16string& S) {
  std::string Out;
  Out.reserve(S.size());
  for (std::size_t I = 0; I < S.size(); ++I) {
    char32_t C = S[I];
    // A surrogate pair is one character (never in the code page).
    if (C >= 0xD800 && C < 0xDC00 && I + 1 < S.size() && S[I + 1] >= 0xDC00 && S[I + 1] < 0xE000) {
      C = 0x10000 + ((C - 0xD800) << 10) + (S[I + 1] - 0xDC00);
      ++I;
    }
    std::uint8_t B = 0;
    Out += UnicodeToAnsi(C, B) ? char(B) : '?';
  }
  return Out;
}
