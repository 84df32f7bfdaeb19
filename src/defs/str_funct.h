#pragma once
// Text helpers for numbers typed by the user and hexadecimal digits from the device.

#include <cstdint>
#include <string>

// True for a non-empty run of ASCII digits whose value fits a signed 64-bit integer.
bool ValidInteger(const std::string& Number);
// Value of the first two characters as hexadecimal digits (missing ones count as 0).
std::uint16_t HexToByte(const std::string& S);
// "1".."9" and upper-case "A".."F"; every other character (lower case included) is 0.
std::uint8_t GetValue(char C);
