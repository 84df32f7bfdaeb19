#include "sim_device.h"

namespace {

constexpr unsigned char IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;

int HexDigit(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

// Strict reading of "[" DD SS CC data… "]": false when the line is not a packet.
bool ParsePacket(const std::string& Line, int& Dest, int& Cmd, std::vector<int>& Data) {
  if (Line.size() < 8 || Line.front() != '[' || Line.back() != ']') return false;
  const std::string Body = Line.substr(1, Line.size() - 2);
  if (Body.size() % 2 != 0) return false;
  std::vector<int> Bytes;
  for (size_t I = 0; I < Body.size(); I += 2) {
    const int Hi = HexDigit(Body[I]), Lo = HexDigit(Body[I + 1]);
    if (Hi < 0 || Lo < 0) return false;
    Bytes.push_back(Hi * 16 + Lo);
  }
  Dest = Bytes[0];
  Cmd = Bytes[2];
  Data.assign(Bytes.begin() + 3, Bytes.end());
  return true;
}

}  // namespace

std::string SimHex2(unsigned V) {
  const char* Digits = "0123456789ABCDEF";
  return {Digits[(V >> 4) & 0xF], Digits[V & 0xF]};
}

TSimDevice::TSimDevice() {
  for (auto& R : FRadios)
    for (int B = 1; B < 15; ++B) R.Memory[B] = (B + 5) % 8 + 1;
  FRadios[0].Band = 5;  // 40 m, automatic, antenna 3
  FRadios[0].Auto = true;
  FRadios[0].Antenna = FRadios[0].Memory[5];
  FRadios[1].Band = 7;  // 20 m, manual, antenna 1
  FRadios[1].Antenna = 1;
}

TSimDevice::TAnswer TSimDevice::HandleLine(const std::string& Line) {
  TAnswer A;
  int Dest = 0, Cmd = 0;
  std::vector<int> Data;
  if (!ParsePacket(Line, Dest, Cmd, Data)) return A;
  if (Dest < 0xC0 || Dest > 0xC2) return A;  // not addressed to this selector
  const int Radio = Dest - 0xC0;
  const std::string Ack = "[05" + SimHex2(unsigned(Dest)) + "C3]\r";
  switch (Cmd) {
    case 0x03:  // link test
      A.Reply = "[LINKOK]\r";
      break;
    case 0x35:  // select antenna: 01, antenna
      if (Radio >= 1 && Data.size() == 2 && Data[0] == 1 && SetAntenna(Radio, Data[1])) {
        A.Reply = Ack;
        A.Changed.push_back(Radio);
      }
      break;
    case 0x53:  // automatic mode: 01
      if (Radio >= 1 && Data.size() == 1 && Data[0] == 1 && SetAuto(Radio, true)) {
        A.Reply = Ack;
        A.Changed.push_back(Radio);
      }
      break;
    default:
      break;
  }
  return A;
}

std::string TSimDevice::StatusPacket(int R) const {
  const TSimRadio& S = Radio(R);
  return "[05C" + std::to_string(R) + "C5" + SimHex2(unsigned(R)) + SimHex2(unsigned(S.Band)) +
         SimHex2(S.Auto ? 1 : 0) + SimHex2(unsigned(S.Antenna)) + "]\r";
}

bool TSimDevice::SetBand(int R, int Band) {
  if (R < 1 || R > 2 || Band < 1 || Band > 14) return false;
  TSimRadio& S = FRadios[R - 1];
  S.Band = Band;
  if (S.Auto) S.Antenna = S.Memory[Band];
  return true;
}

bool TSimDevice::SetAntenna(int R, int Antenna) {
  if (R < 1 || R > 2 || Antenna < 1 || Antenna > 8) return false;
  // A manual choice leaves automatic mode and becomes the band's remembered antenna.
  TSimRadio& S = FRadios[R - 1];
  S.Antenna = Antenna;
  S.Auto = false;
  S.Memory[S.Band] = Antenna;
  return true;
}

bool TSimDevice::SetAuto(int R, bool On) {
  if (R < 1 || R > 2) return false;
  TSimRadio& S = FRadios[R - 1];
  S.Auto = On;
  if (On) S.Antenna = S.Memory[S.Band];
  return true;
}

void TSimDevice::WalkBands() {
  for (int R = 1; R <= 2; ++R) SetBand(R, Radio(R).Band % 12 + 1);
}

std::string TTelnetFilter::Feed(const std::string& In, std::string& Reply) {
  std::string Out;
  for (char Ch : In) {
    const unsigned char C = static_cast<unsigned char>(Ch);
    switch (FState) {
      case tsData:
        if (C == IAC) FState = tsIac;
        else Out += Ch;
        break;
      case tsIac:
        if (C == IAC) {
          Out += Ch;
          FState = tsData;
        } else if (C >= WILL && C <= DONT) {
          FCommand = C;
          FState = tsOption;
        } else if (C == SB) {
          FState = tsSub;
        } else {
          FState = tsData;  // NOP, GA and the like carry nothing
        }
        break;
      case tsOption:
        if (FCommand == DO) Reply += {char(IAC), char(WONT), Ch};
        else if (FCommand == WILL) Reply += {char(IAC), char(DONT), Ch};
        FState = tsData;
        break;
      case tsSub:
        if (C == IAC) FState = tsSubIac;
        break;
      case tsSubIac:
        FState = C == SE ? tsData : tsSub;
        break;
    }
  }
  return Out;
}

std::vector<std::string> TLineAssembler::Feed(const std::string& In) {
  std::vector<std::string> Lines;
  for (char Ch : In) {
    const unsigned char C = static_cast<unsigned char>(Ch);
    if (C == '\r') {
      if (!FOverlong && !FLine.empty()) Lines.push_back(FLine);
      FLine.clear();
      FOverlong = false;
    } else if (C >= 0x20) {
      if (FLine.size() >= MaxLine) {
        FOverlong = true;
        FLine.clear();
      }
      if (!FOverlong) FLine += Ch;
    }
  }
  return Lines;
}
