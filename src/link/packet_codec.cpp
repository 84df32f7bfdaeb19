#include "packet_codec.h"

#include <cstdio>

#include "link/net_defs.h"
#include "defs/str_funct.h"

std::string Hex2(unsigned Value) {
  char Buf[16];
  std::snprintf(Buf, sizeof Buf, "%02X", Value);
  return Buf;
}

namespace {

void AppendHex2(std::string& S, unsigned char Value) {
  static constexpr char Digits[] = "0123456789ABCDEF";
  S += Digits[Value >> 4];
  S += Digits[Value & 0x0F];
}

}  // namespace

std::string TPacketCodec::FormatPacket(std::uint8_t Cmd, const std::string& Data) const {
  std::string S;
  S.reserve(10 + 2 * Data.size());
  S += '[';
  if (NetAddress >= 0 && NetAddress <= 0xFF) AppendHex2(S, static_cast<unsigned char>(NetAddress));
  else S += Hex2(std::uint32_t(NetAddress));
  S += ControllerAddress;
  AppendHex2(S, Cmd);
  for (unsigned char C : Data) AppendHex2(S, C);
  S += "]\r";
  return S;
}

void TPacketCodec::DecodePacket(const std::string& Data) {
  auto Field = [&](size_t Pos) { return Pos < Data.size() ? Data.substr(Pos, 2) : std::string(); };
  auto IsHexStart = [](char C) { return (C >= '0' && C <= '9') || (C >= 'A' && C <= 'F'); };

  NetPacket = TNetPacket{};
  NetPacket.Dest = std::uint8_t(HexToByte(Field(1)));
  NetPacket.Source = std::uint8_t(HexToByte(Field(3)));
  NetPacket.Cmd = std::uint8_t(HexToByte(Field(5)));
  // Only the first character of a pair is checked, and the line's last character never
  // starts one, so "]" can be the second digit of an odd tail.
  for (size_t Pos = 7; Pos + 1 < Data.size() && IsHexStart(Data[Pos]); Pos += 2)
    NetPacket.Data += char(HexToByte(Data.substr(Pos, 2)));

  if (NetPacket.Cmd == Response) Response = 0;
  if (NetPacket.Cmd == msgLinkGood) {
    FReactions.SetLinkStatus(lsReady);
  } else if (NetPacket.Cmd == msgQuillStatus) {
    FReactions.DoAction(mcQuillStatus);
  }
}
