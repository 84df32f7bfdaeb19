#pragma once
// The TTY emulator: a glass teletype. Bytes from 32 up are written to the screen buffer; bell,
// backspace, tab, line feed and carriage return act on the cursor; other control bytes are
// dropped. With the host's NewLineAfterCR a carriage return also feeds a line, and a line feed
// right after it (dropped bytes between them aside) is part of the same line end. It paints the
// buffer through a QPainter it is given, row by row in runs of equal colours and attributes,
// either every row under a clip rectangle (Paint) or the rows the buffer reports changed
// (LazyPaint).
//
// GUI thread only (painting included); the linked control supplies the painter.

#include "terminal/terminal_emulator.h"

#include <QFont>
#include <QImage>
#include <QRawFont>
#include <QSize>

#include <array>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class TQpTTYEmulator : public TQpTerminalEmulator {
 public:
  explicit TQpTTYEmulator(bool aIsDefault = false);

  bool teGetNeedsUpdate() override;
  void teClear() override { FTerminalBuffer->EraseScreen(); }
  void teClearAll() override { FTerminalBuffer->EraseAll(); }
  // Backspace goes out as DEL; other characters in the ANSI code page, "?" where it has none.
  void KeyPress(char16_t& Key) override;
  // Every character of one key event's text, as KeyPress each.
  void KeyPressText(const std::u16string& Text) override;
  void LazyPaint(QPainter& P) override;
  void Paint(QPainter& P, const QRect& Clip) override;
  void ProcessBlock(const std::uint8_t* aData, std::size_t aDataLen, TQpCharSource CharSource) override;
  void ProcessString(const std::string& S, TQpCharSource CharSource = csPort) {
    ProcessBlock(reinterpret_cast<const std::uint8_t*>(S.data()), S.size(), CharSource);
  }

  static TQpEmuCommand ttyCharToCommand(char aCh);
  bool RefreshPending() const { return FRefresh; }

 private:
  struct TPaintNode {
    int pnStart, pnEnd;  // 1-based, inclusive
    TColor pnFore, pnBack;
    TQpTerminalCharAttrs pnAttr;
    std::uint8_t pnCSet;
  };
  void ttyControl(std::uint8_t aCh, bool aNewLine);
  void ttySyncColors();
  void ttyDrawChars(QPainter& P, int aRow, int aStartCol, int aEndCol, bool aVisible);
  void ttyExecutePaintScript(QPainter& P, int aRow);
  void ttyPrepareFont();

  std::vector<TPaintNode> FScript;  // one row's runs, right to left; room follows ColCount
  struct TGlyphSet {
    TColor Fg = 0, Bg = 0;
    std::vector<std::uint32_t> Pixels;  // 256 cells of W x H pixels
    std::array<bool, 256> Ready{};
  };
  const std::uint32_t* ttyGlyphCell(TGlyphSet& Set, std::uint8_t Ch, int W, int H);

  std::unordered_map<std::uint64_t, std::unique_ptr<TGlyphSet>> FGlyphSets;  // by colour pair
  QImage FStrip;  // one row being painted
  QRawFont FRawFont;
  QFont FFontKey;
  QSize FCellKey;
  bool FFontReady = false;
  std::array<quint32, 256> FGlyphTable{};
  int FBaseline = 0;
  bool FRefresh = false;
  // The last byte was a carriage return that also fed a line (the host's NewLineAfterCR): a
  // line feed next completes that line end. Kept between blocks, so any split gives one screen.
  bool FCrFedLine = false;
};

// The character cell of a terminal font: the "Terminal" font's is pinned at 8 x 12 pixels
// whatever fonts are installed; others measure height plus leading by the widest character.
QSize TermCellSize(const QFont& F);
// The font glyphs are drawn with: for "Terminal" a local fixed-pitch font sized to its cell.
QFont TermGlyphFont(const QFont& F);
