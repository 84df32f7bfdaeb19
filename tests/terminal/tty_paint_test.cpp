// The TTY emulator's painting, checked by pixels: backgrounds at cell corners and counts of
// foreground pixels inside cells (never glyph shapes), and incremental painting that ends
// equal to a full paint.

#include "terminal/tty_emulator.h"

#include "fake_terminal.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <random>

namespace {

constexpr int W = 8, H = 12;
constexpr TColor Red = 0x000000FF, Blue = 0x00FF0000, Silver = 0x00C0C0C0, White = 0x00FFFFFF;
constexpr QRgb Unpainted = 0xFFFF00FF;

QRgb Rgb(TColor C) { return qRgb(int(C & 0xFF), int((C >> 8) & 0xFF), int((C >> 16) & 0xFF)); }

struct TPaintFixture {
  TFakeTerminal Term;
  TQpTTYEmulator Emu{true};
  QImage Image;

  explicit TPaintFixture(int Cols = 80, int Rows = 24) {
    Emu.SetTerminal(&Term);
    Term.Cols = Cols;
    Term.Rows = Rows;
    if (Cols != 80) Emu.Buffer()->SetColCount(Cols);
    Image = QImage(Cols * W, Rows * H, QImage::Format_RGB32);
    Image.fill(Unpainted);
  }
  void PaintAll() {
    QPainter P(&Image);
    Emu.Paint(P, Image.rect());
  }
  // The cell of a view row and column (1-based).
  QRgb Corner(int Row, int Col, int Which) const {
    const int X = (Col - 1) * W + (Which & 1 ? W - 1 : 0), Y = (Row - 1) * H + (Which & 2 ? H - 1 : 0);
    return Image.pixel(X, Y);
  }
  bool CornersAre(int Row, int Col, QRgb C) const {
    for (int I = 0; I < 4; ++I)
      if (Corner(Row, Col, I) != C) return false;
    return true;
  }
  int Count(int Row, int Col, QRgb C) const {
    int N = 0;
    for (int Y = 0; Y < H; ++Y)
      for (int X = 0; X < W; ++X) N += Image.pixel((Col - 1) * W + X, (Row - 1) * H + Y) == C;
    return N;
  }
};

TEST(TtyPaint, TerminalFontCellIsPinned) {
  EXPECT_EQ(TermCellSize(QFont(QStringLiteral("Terminal"))), QSize(8, 12));
  const QSize Other = TermCellSize(QFont(QStringLiteral("DejaVu Sans Mono"), 20));
  EXPECT_GT(Other.height(), 12);
}

TEST(TtyPaint, ColoursAndAttributes) {
  TPaintFixture F;
  TQpTerminalBuffer& B = *F.Emu.Buffer();
  auto Put = [&](int Col, TColor Fore, TColor Back, TQpTerminalCharAttrs Attr, char Ch = 'M') {
    B.SetCursorPosition(1, Col);
    B.SetForeColor(Fore);
    B.SetBackColor(Back);
    B.SetCharAttrs(Attr);
    B.WriteChar(Ch);
  };
  Put(1, Red, Blue, 0);
  Put(3, Silver, 0, AttrBit(tcaBold));
  Put(5, Silver, 0, AttrBit(tcaReverse));
  Put(7, Silver, 0, AttrBit(tcaReverse) | AttrBit(tcaSelected));
  Put(9, Red, Blue, AttrBit(tcaInvisible));
  Put(11, Red, Blue, AttrBit(tcaUnderline), ' ');
  Put(13, Red, Blue, AttrBit(tcaStrikethrough), ' ');
  Put(15, 0x00000080, 0, AttrBit(tcaReverse) | AttrBit(tcaBold));
  Put(17, Silver, 0, 0, '\xE9');
  Put(19, Silver, 0, AttrBit(tcaBlink));
  Put(21, Silver, 0, 0, '\x07');  // a control byte stored by a command draws blank
  F.PaintAll();

  EXPECT_TRUE(F.CornersAre(1, 1, Rgb(Blue)));
  EXPECT_GT(F.Count(1, 1, Rgb(Red)), 5);
  EXPECT_TRUE(F.CornersAre(1, 2, Rgb(0)));  // untouched cells: the default black
  EXPECT_EQ(F.Count(1, 2, Rgb(0)), W * H);
  // Bold brightens the foreground: silver becomes white.
  EXPECT_GT(F.Count(1, 3, Rgb(White)), 5);
  EXPECT_EQ(F.Count(1, 3, Rgb(Silver)), 0);
  // Reverse: black on silver; reverse and selected cancel out.
  EXPECT_TRUE(F.CornersAre(1, 5, Rgb(Silver)));
  EXPECT_GT(F.Count(1, 5, Rgb(0)), 5);
  EXPECT_TRUE(F.CornersAre(1, 7, Rgb(0)));
  EXPECT_GT(F.Count(1, 7, Rgb(Silver)), 5);
  // Invisible: only the background.
  EXPECT_EQ(F.Count(1, 9, Rgb(Blue)), W * H);
  // Underline at the cell's bottom - 2, strike-through across the middle, whole cell wide.
  EXPECT_EQ(F.Count(1, 11, Rgb(Red)), W);
  for (int X = 0; X < W; ++X) EXPECT_EQ(F.Image.pixel(10 * W + X, H - 2), Rgb(Red));
  EXPECT_EQ(F.Count(1, 13, Rgb(Red)), W);
  for (int X = 0; X < W; ++X) EXPECT_EQ(F.Image.pixel(12 * W + X, H / 2), Rgb(Red));
  // Bold with reverse brightens the colour that came from the foreground: now the background.
  EXPECT_TRUE(F.CornersAre(1, 15, qRgb(255, 128, 128)));
  EXPECT_GT(F.Count(1, 17, Rgb(Silver)), 5);   // 0xE9 has a glyph
  EXPECT_GT(F.Count(1, 19, Rgb(Silver)), 5);   // blink shows no difference
  EXPECT_EQ(F.Count(1, 21, Rgb(0)), W * H);
}

TEST(TtyPaint, WideBufferPaintsEveryColumn) {
  TPaintFixture F(300, 2);
  TQpTerminalBuffer& B = *F.Emu.Buffer();
  B.SetCursorPosition(1, 300);
  B.SetBackColor(Blue);
  B.WriteChar('X');
  F.PaintAll();
  EXPECT_TRUE(F.CornersAre(1, 300, Rgb(Blue)));
  EXPECT_GT(F.Count(1, 300, Rgb(Silver)), 5);
  EXPECT_TRUE(F.CornersAre(2, 300, Rgb(0)));
}

TEST(TtyPaint, FullPaintShowsRowsFromTheViewOrigin) {
  TPaintFixture F(80, 4);
  TQpTerminalBuffer& B = *F.Emu.Buffer();
  // Rows -2..4 get backgrounds 1..7 (as red levels).
  for (int Row = -2; Row <= 4; ++Row) {
    B.SetRow(Row);
    B.SetBackColor(TColor(Row + 3));
    B.EraseLine();
  }
  F.Term.OriginRow = -2;  // scrolled back three rows
  F.PaintAll();
  for (int ViewRow = 1; ViewRow <= 4; ++ViewRow) EXPECT_EQ(F.Corner(ViewRow, 1, 0), Rgb(TColor(ViewRow))) << ViewRow;
  // A clip of one cell paints that cell only.
  F.Image.fill(Unpainted);
  QPainter P(&F.Image);
  F.Emu.Paint(P, QRect(2 * W, H, W, H));
  P.end();
  EXPECT_EQ(F.Count(2, 3, Rgb(2)), W * H);
  EXPECT_EQ(F.Corner(2, 2, 1), Unpainted);
  EXPECT_EQ(F.Corner(2, 4, 0), Unpainted);
}

TEST(TtyPaint, TerminalColoursBecomeTheDefaults) {
  TPaintFixture F(10, 2);
  TQpTerminalBuffer& B = *F.Emu.Buffer();
  B.SetForeColor(Red);  // a colour set for the text to come, as a command would
  F.Term.Back = Blue;
  F.PaintAll();
  EXPECT_EQ(B.DefBackColor(), Blue);
  EXPECT_TRUE(F.CornersAre(2, 10, Rgb(Blue)));  // old default cells follow
  EXPECT_EQ(B.ForeColor(), Red);                 // survives the paint
  EXPECT_EQ(B.BackColor(), Blue);                // was the default: moves with it
}

// After any stream, painting only what changed ends in the same picture as painting it all.
TEST(TtyPaint, IncrementalPaintEqualsFullPaint) {
  std::mt19937 Rnd(7);
  for (int Round = 0; Round < 6; ++Round) {
    TPaintFixture Inc(20, 6), Full(20, 6);
    for (TPaintFixture* F : {&Inc, &Full}) {
      F->Emu.Buffer()->SetColCount(20);
      F->Emu.Buffer()->SetSVRowCount(12);
      F->Emu.Buffer()->SetRowCount(6);
    }
    Inc.PaintAll();
    {
      QPainter P(&Inc.Image);
      Inc.Emu.LazyPaint(P);  // takes what the set-up changed
    }
    const char Pieces[] = "abcXYZ \r\n\t\b\x07\xE9";
    for (int Step = 0; Step < 60; ++Step) {
      std::string S;
      const int N = int(Rnd() % 30);
      for (int I = 0; I < N; ++I) S += Pieces[Rnd() % (sizeof Pieces - 1)];
      TQpEmuCommandList L;
      switch (Rnd() % 8) {
        case 0: L.AddCommand(ecForeColor).AddTColorArg(TColor(Rnd() & 0xFFFFFF)).AddBooleanArg(false); break;
        case 1: L.AddCommand(ecBackColor).AddTColorArg(TColor(Rnd() & 0xFFFFFF)).AddBooleanArg(false); break;
        case 2: L.AddCommand(TQpEmuCommand(ecAddBold + int(Rnd() % 28))); break;
        case 3: L.AddCommand(ecCursorPos).AddIntegerArg(int(Rnd() % 8) - 1).AddIntegerArg(int(Rnd() % 22)); break;
        case 4: L.AddCommand(TQpEmuCommand(ecDeleteChars + int(Rnd() % 6))).AddIntegerArg(int(Rnd() % 4)); break;
        case 5: L.AddCommand(ecSetScrollRegion).AddIntegerArg(int(Rnd() % 6) + 1).AddIntegerArg(int(Rnd() % 6) + 1); break;
        default: break;
      }
      for (TPaintFixture* F : {&Inc, &Full}) {
        F->Emu.teProcessCommandList(L);
        F->Emu.ProcessString(S);
        if (Step == 30) F->Term.Back = 0x00402010;  // the control's colour changes: a full redraw is due
      }
      if (Rnd() % 3 == 0) {
        QPainter P(&Inc.Image);
        Inc.Emu.LazyPaint(P);
      }
    }
    {
      QPainter P(&Inc.Image);
      Inc.Emu.LazyPaint(P);
    }
    Full.PaintAll();
    EXPECT_TRUE(Inc.Image == Full.Image) << "round " << Round;
  }
}

}  // namespace
