#pragma once
// The simulated QUILL-2: two radios, each with a band, an automatic mode and a connected
// antenna, and the line protocol the controller speaks to it.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct TSimRadio {
  int Band = 1;
  bool Auto = false;
  int Antenna = 1;
  std::array<int, 15> Memory{};  // antenna remembered for each band (automatic mode)
};

class TSimDevice {
 public:
  TSimDevice();

  struct TAnswer {
    std::string Reply;          // bytes for the client that sent the line
    std::vector<int> Changed;   // radios whose status should go to every client
  };
  // One received line, without its carriage return.
  TAnswer HandleLine(const std::string& Line);

  // "[05C<r>C5" radio band auto antenna "]" CR.
  std::string StatusPacket(int Radio) const;

  // Control: each returns false for an invalid radio or value.
  bool SetBand(int Radio, int Band);
  bool SetAntenna(int Radio, int Antenna);
  bool SetAuto(int Radio, bool On);
  // Both radios move on to their next band (1..12), as an operator tuning around would.
  void WalkBands();

  const TSimRadio& Radio(int R) const { return FRadios[R - 1]; }

 private:
  std::array<TSimRadio, 2> FRadios;
};

// Two upper-case hexadecimal digits.
std::string SimHex2(unsigned V);

// Telnet input: passes data bytes, answers every option request with a refusal (DO -> WONT,
// WILL -> DONT; WONT and DONT are not answered, so no negotiation can loop) and skips
// subnegotiations and other commands.
class TTelnetFilter {
 public:
  std::string Feed(const std::string& In, std::string& Reply);

 private:
  enum { tsData, tsIac, tsOption, tsSub, tsSubIac } FState = tsData;
  unsigned char FCommand = 0;
};

// Received bytes into lines: a carriage return ends a line; NUL, line feed and the other
// control characters are dropped; a line longer than MaxLine is thrown away whole.
class TLineAssembler {
 public:
  static constexpr size_t MaxLine = 512;
  std::vector<std::string> Feed(const std::string& In);

 private:
  std::string FLine;
  bool FOverlong = false;
};
