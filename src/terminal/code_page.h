#pragma once
// The ANSI code page the terminal's bytes are in: Windows-1252 (Latin-1 but for 0x80-0x9F).
// Pure functions, any thread.

#include <cstdint>
#include <string>

// The character a byte stands for; the five undefined bytes map to the C1 control of the
// same number, so every byte converts and back.
char16_t AnsiToUnicode(std::uint8_t B);
// The byte for a character; false when the code page has none.
bool UnicodeToAnsi(char32_t C, std::uint8_t& B);
// Every character of a UTF-16 text, "?" for those the code page lacks.
std::string UnicodeToAnsiString(const std::u16string& S);
