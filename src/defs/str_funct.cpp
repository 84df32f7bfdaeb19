#include "str_funct.h"

bool ValidInteger(const std::string& Number) {
  if (Number.empty()) return false;
  for (char C : Number)
    if (C < '0' || C > '9') return false;
  size_t First = Number.find_first_not_of('0');
  if (First == std::string::npos) return true;
  const std::string Digits = Number.substr(First);
  const std::string Max = "9223372036854775807";
  return Digits.size() < Max.size() || (Digits.size() == Max.size() && Digits <= Max);
}

std::uint8_t GetValue(char C) {
  if (C >= '1' && C <= '9') return std::uint8_t(C - '0');
  if (C >= 'A' && C <= 'F') return std::uint8_t(C - 'A' + 10);
  return 0;
}

std::uint16_t HexToByte(const std::string& S) {
  if (S.empty()) return 0;
  return std::uint16_t(16 * GetValue(S[0]) + (S.size() > 1 ? GetValue(S[1]) : 0));
}
