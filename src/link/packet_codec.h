#pragma once
// Command packets out, received lines in: "[" DD SS CC data… "]" CR in upper-case hex pairs.

#include <cstdint>
#include <string>

#include "defs/defines_u.h"

// What a decoded line may set off, supplied by the window that holds the codec.
class TPacketReactions {
 public:
  virtual ~TPacketReactions() = default;
  virtual void SetLinkStatus(TLinkStatus Status) = 0;
  virtual void DoAction(int Action) = 0;
};

class TPacketCodec {
 public:
  explicit TPacketCodec(TPacketReactions& Reactions) : FReactions(Reactions) {}

  // "[" + NetAddress + "05" + Cmd + each data byte + "]" + CR, all as two-digit upper-case hex.
  std::string FormatPacket(std::uint8_t Cmd, const std::string& Data) const;
  // Decodes one received line (without its CR) into NetPacket and acts on it.
  void DecodePacket(const std::string& Data);
  TNetPacket GetPacket() const { return NetPacket; }

  TNetPacket NetPacket;
  std::int32_t Response = 0;  // the reply SendCommand waits for; 0 for none

 private:
  TPacketReactions& FReactions;
};

// Two upper-case hexadecimal digits (more only for values above 0xFF).
std::string Hex2(unsigned Value);
