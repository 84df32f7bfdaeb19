#pragma once
// Codes of the device protocol; each is one byte, two hexadecimal digits on the wire.

#include <cstdint>

inline constexpr std::uint8_t baseQuill = 0xC0;
inline constexpr const char* ControllerAddress = "05";  // our own source address

inline constexpr std::uint8_t cmdTestLink = 0x03;
inline constexpr std::uint8_t cmdSetDefaults = 0x08;
inline constexpr std::uint8_t cmdRadioAntenna = 0x35;
inline constexpr std::uint8_t cmdSetAutoMode = 0x53;

inline constexpr std::uint8_t msgLinkGood = 0xA0;
inline constexpr std::uint8_t msgCommandReply = 0xC3;
inline constexpr std::uint8_t msgQuillStatus = 0xC5;
