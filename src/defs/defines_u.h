#pragma once
// What the main window and the device link share: link states, the decoded packet, the
// followed radio's device address, band names, counts, colours and action codes.

#include <array>
#include <cstdint>
#include <string>

enum TLinkStatus : std::uint8_t {
  lsNone = 0,
  lsConnecting = 1,
  lsReady = 2,
  lsUpdating = 3,
  lsDisconnected = 4,
};

struct TNetPacket {
  std::uint8_t Cmd = 0;
  std::uint8_t Dest = 0;
  std::uint8_t Source = 0;
  std::uint8_t Channel = 0;
  std::string Data;  // one character per data byte
  bool operator==(const TNetPacket&) const = default;
};

// Device address of the radio the main window follows; the destination of every packet sent.
extern std::int32_t NetAddress;
// Gates SendCommand's wait and retry loop. Nothing in the program sets it.
extern bool SystemReady;

// Band names by band number; index 0 is unused so the numbers read as on the device.
inline constexpr std::array<const char*, 15> BandList = {
    "", "160", "80", "75", "60", "40", "30", "20", "17", "15", "12", "10", "6", "RX", "PRESET"};

inline constexpr int MaxAntennas = 8;
inline constexpr int MaxBands = 12;
inline constexpr int MaxTries = 5;

// Colours as 0x00BBGGRR.
using TColor = std::uint32_t;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clOrange = 0x0080FF;
inline constexpr TColor BandColor = clLime;
inline constexpr TColor AntennaColor = clAqua;

inline constexpr std::uint8_t ColorRed(TColor C) { return C & 0xFF; }
inline constexpr std::uint8_t ColorGreen(TColor C) { return (C >> 8) & 0xFF; }
inline constexpr std::uint8_t ColorBlue(TColor C) { return (C >> 16) & 0xFF; }

// Action codes from the Communications window to the main window.
inline constexpr std::int16_t mcCommLinkOk = 10015;
inline constexpr std::int16_t mcCommLinkFail = 10016;
inline constexpr std::int16_t mcDisableStayOnTop = 10030;
inline constexpr std::int16_t mcRecallStayOnTOp = 10031;
inline constexpr std::int16_t mcUpdateRadioNumbers = 20017;
inline constexpr std::int16_t mcQuillStatus = 20110;

// Link timing, in ticks of the 50 ms link timer. A counter reloaded with k is due again
// k + 1 ticks later.
inline constexpr int TimerRate = 20;
inline constexpr int LinkTestInterval = 40;
inline constexpr int FastLinkTest = 20;
inline constexpr int RetryDelay = 8;
inline constexpr int SetDefaultsDelay = 100;
