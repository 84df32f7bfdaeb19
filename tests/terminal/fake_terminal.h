#pragma once
// A recording stand-in for the terminal control an emulator serves.

#include "terminal/terminal_emulator.h"

#include <string>
#include <vector>

class TFakeTerminal : public TQpTerminalHost {
 public:
  ~TFakeTerminal() override { TQpTerminalEmulator::TerminalRemoved(this); }
  TQpTerminalEmulator* Emulator() const override { return FEmulator; }
  void SetEmulator(TQpTerminalEmulator* E) override { FEmulator = E; }
  bool LazyDisplay() const override { return Lazy; }
  bool FollowCursor() const override { return Follow; }
  void DoFollowCursor() override { ++Follows; }
  void CursorMoved(TQpTerminalBuffer*, int Row, int Col) override { Moves.emplace_back(Row, Col); }
  void RepaintNow() override { ++Repaints; }
  void Bell() override { ++Bells; }
  TColor Color() const override { return Back; }
  void SetColor(TColor V) override { Back = V; }
  TColor FontColor() const override { return Fore; }
  void SetFontColor(TColor V) override { Fore = V; }
  void SetCursorType(TQpCursorType V) override { Cursor = V; }
  QFont Font() const override { return GlyphFont; }
  int ClientOriginRow() const override { return OriginRow; }
  int ClientOriginCol() const override { return OriginCol; }
  int ClientRows() const override { return Rows; }
  int ClientCols() const override { return Cols; }
  int TotalCharWidth() const override { return 8; }
  int TotalCharHeight() const override { return 12; }
  bool FreezeScrollBack() const override { return Freeze; }
  bool NewLineAfterCR() const override { return CrFeeds; }
  bool HalfDuplex() const override { return Half; }
  bool HasPort() const override { return Port; }
  bool PortOpen() const override { return Open; }
  bool IsMasterTerminal() const override { return Master; }
  void PortPutChar(std::uint8_t C) override { Sent += char(C); }
  void PortPutString(const std::string& S) override { Sent += S; }

  TQpTerminalEmulator* FEmulator = nullptr;
  bool Lazy = false, Follow = false, Freeze = false, Half = false, Port = true, Open = true, Master = true;
  bool CrFeeds = false;
  int Follows = 0, Repaints = 0, Bells = 0;
  std::vector<std::pair<int, int>> Moves;
  TColor Back = qpc_TermBufBackColor, Fore = qpc_TermBufForeColor;
  TQpCursorType Cursor = ctBlock;
  QFont GlyphFont{QStringLiteral("Terminal")};
  int OriginRow = 1, OriginCol = 1, Rows = 24, Cols = 80;
  std::string Sent;
};
