#pragma once
// The emulator base: what every emulator shares between the terminal control and the screen
// buffer. It processes command lists against the buffer, sends characters and reports to the
// linked control's port, keeps the control's view in step with the cursor, and links
// emulators to terminal controls (at most one external emulator per control).
//
// The terminal control is reached through TQpTerminalHost, the small set of services an
// emulator needs from it; the control implements it, tests use a recording fake.
//
// GUI thread only, like the control it serves; the link list is process-wide and unlocked.

#include "terminal/emu_commands.h"
#include "terminal/terminal_buffer.h"

#include <QFont>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QPainter;
class QRect;
class TQpTerminalEmulator;
class TQpCharSetMapping;
class TQpKeyboardMapping;

enum TQpCursorType { ctNone = 0, ctUnderline = 1, ctBlock = 2 };
enum TQpCharSource { csUnknown = 0, csKeyboard = 1, csPort = 2, csWriteChar = 3 };

// The services of a terminal control that an emulator uses.
class TQpTerminalHost {
 public:
  virtual ~TQpTerminalHost() = default;

  // Linking: the external emulator serving this control, or null for its own default one.
  virtual TQpTerminalEmulator* Emulator() const = 0;
  virtual void SetEmulator(TQpTerminalEmulator* E) = 0;

  // Display state
  virtual bool LazyDisplay() const { return false; }
  virtual bool FollowCursor() const { return false; }
  virtual void DoFollowCursor() {}
  virtual bool HideScrollbars() const { return false; }
  // Bars shown or hidden by the cursor position when HideScrollbars is set.
  virtual void UpdateHiddenBars(int Row, int Col) { (void)Row, (void)Col; }
  // The control's OnCursorMoved handler, when it has one.
  virtual void CursorMoved(TQpTerminalBuffer* Sender, int Row, int Col) { (void)Sender, (void)Row, (void)Col; }
  virtual void RepaintNow() {}
  virtual void Bell() {}

  // Look
  virtual TColor Color() const { return qpc_TermBufBackColor; }
  virtual void SetColor(TColor V) { (void)V; }
  virtual TColor FontColor() const { return qpc_TermBufForeColor; }
  virtual void SetFontColor(TColor V) { (void)V; }
  virtual void SetCursorType(TQpCursorType V) { (void)V; }
  virtual QFont Font() const { return QFont(); }

  // View: the visible part of the buffer (external rows and columns) and the cell size
  virtual int ClientOriginRow() const { return 1; }
  virtual int ClientOriginCol() const { return 1; }
  virtual int ClientRows() const { return qpc_TermBufRowCount; }
  virtual int ClientCols() const { return qpc_TermBufColCount; }
  virtual int TotalCharWidth() const { return 8; }
  virtual int TotalCharHeight() const { return 12; }
  virtual bool FreezeScrollBack() const { return false; }
  virtual int VertScrollPos() const { return ClientOriginRow() - 1; }

  // Input: a carriage return also moves to the next line (for devices that end lines with CR
  // alone); a line feed straight after it belongs to the same line end.
  virtual bool NewLineAfterCR() const { return false; }

  // Port
  virtual bool HalfDuplex() const { return false; }
  virtual bool HasPort() const { return false; }
  virtual bool PortOpen() const { return false; }
  // This control is its port's master terminal.
  virtual bool IsMasterTerminal() const { return false; }
  virtual void PortPutChar(std::uint8_t C) { (void)C; }
  virtual void PortPutString(const std::string& S) { (void)S; }
};

using TQpOnProcessChar = std::function<void(TQpTerminalEmulator* Sender, char Character, std::string& ReplaceWith,
                                            TQpEmuCommandList& Commands, TQpCharSource CharSource)>;

enum TQpParserCmdType { pctNone = 0, pctChar = 1, pct8bitChar = 2, pctPending = 3, pctComplete = 4 };

// Base of an escape-sequence parser; this system's only emulator has none.
class TQpTerminalParser {
 public:
  explicit TQpTerminalParser(bool aUseWideChar) : FUseWideChar(aUseWideChar) {}
  virtual ~TQpTerminalParser() = default;
  virtual int tpGetArgument(int aInx) { return (void)aInx, 0; }
  virtual std::string tpGetSequence() { return {}; }
  virtual TQpParserCmdType ProcessChar(char aCh) { return (void)aCh, pctNone; }
  virtual TQpParserCmdType ProcessWideChar(char16_t aCh) { return (void)aCh, pctNone; }
  virtual void Clear() {}
  void ForceCommand(std::uint8_t Command) {
    Clear();
    FCommand = Command;
  }
  int Argument(int I) { return tpGetArgument(I); }
  int ArgumentCount() const { return FArgCount; }
  std::uint8_t Command() const { return FCommand; }
  std::string Sequence() { return tpGetSequence(); }

 protected:
  int FArgCount = 0;
  std::uint8_t FCommand = 0;
  bool FUseWideChar = false;
};

class TQpTerminalEmulator {
 public:
  // aIsDefault: the emulator a control makes for itself; never in the link list.
  explicit TQpTerminalEmulator(bool aIsDefault = false);
  virtual ~TQpTerminalEmulator();
  TQpTerminalEmulator(const TQpTerminalEmulator&) = delete;
  TQpTerminalEmulator& operator=(const TQpTerminalEmulator&) = delete;

  const std::string& Answerback() const { return FAnswerback; }
  void SetAnswerback(const std::string& V) { FAnswerback = V; }
  TQpTerminalBuffer* Buffer() const { return FTerminalBuffer.get(); }
  TQpCharSetMapping* CharSetMapping() const { return FCharSetMapping; }
  void SetCharSetMapping(TQpCharSetMapping* V) { FCharSetMapping = V; }
  TQpKeyboardMapping* KeyboardMapping() const { return FKeyboardMapping; }
  void SetKeyboardMapping(TQpKeyboardMapping* V) { FKeyboardMapping = V; }
  TQpTerminalParser* Parser() const { return FParser.get(); }
  bool IsDefault() const { return FIsDefault; }
  bool NeedsUpdate() { return teGetNeedsUpdate(); }
  TQpTerminalHost* Terminal() const { return FTerminal; }
  void SetTerminal(TQpTerminalHost* V) { teSetTerminal(V); }
  TQpOnProcessChar OnProcessChar;

  // Virtual operations, in the order of the design's slots
  virtual bool teGetNeedsUpdate();
  virtual void teSetTerminal(TQpTerminalHost* aValue);
  virtual void teClear() {}
  virtual void teClearAll() {}
  virtual void teSendChar(char aCh, bool aCanEcho, TQpCharSource CharSource);
  virtual void BlinkPaint(QPainter& P, bool aVisible) { (void)P, (void)aVisible; }
  virtual bool HasBlinkingText() { return false; }
  // Key: a virtual-key code, zeroed when handled; Shift: modifier bits.
  virtual void KeyDown(std::uint16_t& Key, unsigned Shift) { (void)Key, (void)Shift; }
  virtual void KeyPress(char16_t& Key) { (void)Key; }
  // One key event's text; by default every UTF-16 unit as KeyPress (an emulator may take the
  // text whole, as the TTY emulator does to send one character for a surrogate pair).
  virtual void KeyPressText(const std::u16string& Text) {
    for (char16_t C : Text) {
      char16_t K = C;
      KeyPress(K);
    }
  }
  virtual void LazyPaint(QPainter& P) { (void)P; }
  virtual void Paint(QPainter& P, const QRect& Clip);
  virtual void ProcessBlock(const std::uint8_t* aData, std::size_t aDataLen, TQpCharSource CharSource) {
    (void)aData, (void)aDataLen, (void)CharSource;
  }
  virtual void GetCursorPos(int& aRow, int& aCol) { (void)aRow, (void)aCol; }

  void ExecuteTerminalCommands(const TQpEmuCommandList& CommandList);
  void teProcessCommand(TQpEmuCommand Command, const TQpEmuCommandParams* Params);
  void teProcessCommandList(const TQpEmuCommandList& CommandList);
  void teClearCommandList() { FCommandList.Clear(); }
  void teHandleCursorMovement(TQpTerminalBuffer* Sender, int Row, int Col);

  // A control going away: every emulator linked to it lets go.
  static void TerminalRemoved(TQpTerminalHost* T);
  static int LinkCount();

 protected:
  bool ReportingAllowed() const;
  void Report(const std::string& S);

  std::string FAnswerback;
  std::unique_ptr<TQpTerminalBuffer> FTerminalBuffer;  // made by the descendant
  TQpCharSetMapping* FCharSetMapping = nullptr;
  bool FIsDefault = false;
  TQpKeyboardMapping* FKeyboardMapping = nullptr;
  std::unique_ptr<TQpTerminalParser> FParser;
  TQpTerminalHost* FTerminal = nullptr;
  TQpTerminalCharAttrs FSavedAttrs = 0;
  TColor FSavedBackColor = qpc_TermBufBackColor;
  std::uint8_t FSavedCharSet = 0;
  int FSavedCol = 1;
  TColor FSavedForeColor = qpc_TermBufForeColor;
  int FSavedRow = 1;
  TQpEmuCommandList FCommandList;
};
