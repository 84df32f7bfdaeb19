#include "terminal/tty_emulator.h"

#include "platform/colors.h"
#include "terminal/code_page.h"

#include <QFontMetrics>
#include <QGlyphRun>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

// Bold brightens: each of red, green and blue up by 128, at most 255.
TColor Brighten(TColor C) {
  TColor Out = 0;
  for (int Shift = 0; Shift < 24; Shift += 8) Out |= TColor(std::min(((C >> Shift) & 0xFF) + 128u, 255u)) << Shift;
  return Out;
}

// The end of the run of printable bytes (32 and up) from I. Past a short line's length, eight
// bytes at a time where the byte order allows (one test a word).
std::size_t PrintableEnd(const std::uint8_t* Data, std::size_t I, std::size_t Len) {
  const std::size_t Short = std::min(Len, I + 16);
  while (I < Short && Data[I] >= 32) ++I;
  if (I < Short) return I;
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  constexpr std::uint64_t Ones = 0x0101010101010101ull, Highs = 0x8080808080808080ull;
  while (I + 8 <= Len) {
    std::uint64_t W;
    std::memcpy(&W, Data + I, 8);
    // High bit of each byte below 32 (exact for the first such byte, the lowest: a borrow only
    // runs upwards from it).
    const std::uint64_t Low = (W - 32 * Ones) & ~W & Highs;
    if (Low) return I + std::size_t(__builtin_ctzll(Low) / 8);
    I += 8;
  }
#endif
  while (I < Len && Data[I] >= 32) ++I;
  return I;
}

int FloorDiv(int A, int B) { return A >= 0 ? A / B : -((-A + B - 1) / B); }

bool IsTerminalFamily(const QFont& F) { return F.family().compare(QStringLiteral("Terminal"), Qt::CaseInsensitive) == 0; }

}  // namespace

QSize TermCellSize(const QFont& F) {
  if (IsTerminalFamily(F)) return QSize(8, 12);
  const QFontMetrics M(F);
  return QSize(std::max(M.maxWidth(), 1), std::max(M.height() + M.leading(), 1));
}

QFont TermGlyphFont(const QFont& F) {
  QFont G = F;
  if (IsTerminalFamily(F)) {
    G = QFont(QStringLiteral("DejaVu Sans Mono"));
    G.setPixelSize(11);
  }
  G.setStyleStrategy(QFont::StyleStrategy(QFont::NoAntialias | QFont::NoFontMerging));
  G.setKerning(false);
  return G;
}

TQpTTYEmulator::TQpTTYEmulator(bool aIsDefault) : TQpTerminalEmulator(aIsDefault) {
  FTerminalBuffer = std::make_unique<TQpTerminalBuffer>(false);
  FTerminalBuffer->OnCursorMoved = [this](TQpTerminalBuffer* Sender, int Row, int Col) {
    teHandleCursorMovement(Sender, Row, Col);
  };
}

TQpEmuCommand TQpTTYEmulator::ttyCharToCommand(char aCh) {
  switch (aCh) {
    case 7: return ecBell;
    case 8: return ecBackspace;
    case 9: return ecTabHorz;
    case 10: return ecLF;
    case 13: return ecCR;
    default: return ecNone;
  }
}

// A control byte. The carriage return, the common one, goes without the command switch.
void TQpTTYEmulator::ttyControl(std::uint8_t aCh, bool aNewLine) {
  TQpTerminalBuffer& B = *FTerminalBuffer;
  const bool CrFedLine = std::exchange(FCrFedLine, false);
  switch (aCh) {
    case '\r':
      B.DoCarriageReturn();
      if (aNewLine) {
        B.DoLineFeed();
        FCrFedLine = true;
      }
      break;
    case '\n':
      if (!CrFedLine) B.DoLineFeed();
      break;
    default: {
      const TQpEmuCommand Command = ttyCharToCommand(char(aCh));
      if (Command == ecNone) FCrFedLine = CrFedLine;  // a dropped byte (padding) is no text
      else teProcessCommand(Command, nullptr);
    }
  }
}

void TQpTTYEmulator::ProcessBlock(const std::uint8_t* aData, std::size_t aDataLen, TQpCharSource CharSource) {
  TQpTerminalBuffer& B = *FTerminalBuffer;
  const bool NewLine = FTerminal && FTerminal->NewLineAfterCR();
  if (!NewLine) FCrFedLine = false;
  if (!OnProcessChar) {
    // Runs of printable bytes go to the buffer whole; the cursor is reported once a block.
    const TQpTerminalBuffer::TCursorBatch Batch(&B);
    std::size_t I = 0;
    while (I < aDataLen) {
      const std::size_t J = PrintableEnd(aData, I, aDataLen);
      if (J > I) {
        B.WriteBytes(aData + I, J - I, aDataLen - I);
        FCrFedLine = false;
      }
      if (J == aDataLen) break;
      if (aData[J] == '\r' && !NewLine) {  // the common control byte, without the general dispatch
        B.DoCarriageReturn();
        FCrFedLine = false;
        I = J + 1;
        continue;
      }
      if (aData[J] == '\n') {
        std::size_t K = J + 1;  // a run of line feeds scrolls once
        while (K < aDataLen && aData[K] == '\n' && K - J < 1u << 20) ++K;
        // The first may end a line its carriage return already fed.
        B.DoLineFeeds(int(K - J) - (std::exchange(FCrFedLine, false) ? 1 : 0));
        I = K;
        continue;
      }
      ttyControl(aData[J], NewLine);
      I = J + 1;
    }
    return;
  }
  for (std::size_t I = 0; I < aDataLen; ++I) {
    const char Ch = char(aData[I]);
    std::string Replace(1, Ch);
    FCommandList.Clear();
    OnProcessChar(this, Ch, Replace, FCommandList, CharSource);
    // Taken out first: a handler or a command may come back here.
    TQpEmuCommandList Commands = std::move(FCommandList);
    FCommandList.Clear();
    teProcessCommandList(Commands);
    for (char C : Replace) {
      if (std::uint8_t(C) >= 32) {
        B.WriteChar(C);
        FCrFedLine = false;
      } else {
        ttyControl(std::uint8_t(C), NewLine);
      }
    }
  }
}

void TQpTTYEmulator::KeyPress(char16_t& Key) {
  if (Key == 8) Key = 127;
  std::uint8_t B = '?';
  if (!UnicodeToAnsi(Key, B)) B = '?';
  teSendChar(char(B), true, csKeyboard);
}

void TQpTTYEmulator::KeyPressText(const std::u16string& Text) {
  for (char C : UnicodeToAnsiString(Text)) teSendChar(C == 8 ? char(127) : C, true, csKeyboard);
}

bool TQpTTYEmulator::teGetNeedsUpdate() {
  return FTerminalBuffer->HasDisplayChanged() || FRefresh || FTerminalBuffer->HasCursorMoved();
}

// The control's colours are the buffer's defaults. Compared with the defaults (not the
// current colours), so a colour a command set for the text that follows survives a paint.
void TQpTTYEmulator::ttySyncColors() {
  if (!FTerminal) return;
  TQpTerminalBuffer& B = *FTerminalBuffer;
  const TColor Back = FTerminal->Color() & 0xFFFFFF, Fore = FTerminal->FontColor() & 0xFFFFFF;
  if (Back == B.DefBackColor() && Fore == B.DefForeColor()) return;
  const TColor OldBack = B.DefBackColor(), OldFore = B.DefForeColor();
  B.SetDefBackColor(Back);
  B.SetDefForeColor(Fore);
  if (B.BackColor() == OldBack) B.SetBackColor(Back);
  if (B.ForeColor() == OldFore) B.SetForeColor(Fore);
  FRefresh = true;
}

void TQpTTYEmulator::LazyPaint(QPainter& P) {
  ttySyncColors();
  if (!FTerminal) return;
  TQpTerminalBuffer& B = *FTerminalBuffer;
  TRect R;
  if (FRefresh) {
    FRefresh = false;
    for (int Row = 1; Row <= B.RowCount(); ++Row) ttyDrawChars(P, Row, 1, B.ColCount(), true);
    while (B.GetInvalidRect(R)) {
    }
    return;
  }
  while (B.GetInvalidRect(R)) {
    if (!FTerminal->FreezeScrollBack()) {
      const int Pos = FTerminal->VertScrollPos();
      R.Top += Pos;
      R.Bottom += Pos + 1;
    }
    for (int Row = R.Top; Row <= R.Bottom; ++Row) ttyDrawChars(P, Row, R.Left, R.Right, true);
  }
}

void TQpTTYEmulator::Paint(QPainter& P, const QRect& Clip) {
  ttySyncColors();
  if (!FTerminal || Clip.isEmpty()) return;
  const int W = std::max(FTerminal->TotalCharWidth(), 1), H = std::max(FTerminal->TotalCharHeight(), 1);
  // The clip already counts from the view's origin: no further scroll shift.
  const int FirstCol = FloorDiv(Clip.left(), W) + FTerminal->ClientOriginCol();
  const int LastCol = FloorDiv(Clip.left() + Clip.width() - 1, W) + FTerminal->ClientOriginCol();
  const int FirstRow = FloorDiv(Clip.top(), H) + FTerminal->ClientOriginRow();
  const int LastRow = FloorDiv(Clip.top() + Clip.height() - 1, H) + FTerminal->ClientOriginRow();
  for (int Row = FirstRow; Row <= LastRow; ++Row) ttyDrawChars(P, Row, FirstCol, LastCol, true);
}

void TQpTTYEmulator::ttyDrawChars(QPainter& P, int aRow, int aStartCol, int aEndCol, bool aVisible) {
  (void)aVisible;  // kept from the design: always true here, this emulator draws no blinking text
  TQpTerminalHost& T = *FTerminal;
  const TQpTerminalBuffer& B = *FTerminalBuffer;
  const int OriginRow = T.ClientOriginRow(), OriginCol = T.ClientOriginCol();
  if (aRow < OriginRow || aRow >= OriginRow + T.ClientRows()) return;
  if (aEndCol < OriginCol || aStartCol >= OriginCol + T.ClientCols()) return;
  aStartCol = std::max(aStartCol, std::max(OriginCol, 1));
  aEndCol = std::min({aEndCol, OriginCol + T.ClientCols() - 1, B.ColCount()});
  if (aStartCol > aEndCol) return;
  const TColor* Fore = B.GetLineForeColorPtr(aRow);
  const TColor* Back = B.GetLineBackColorPtr(aRow);
  const TQpTerminalCharAttrs* Attr = B.GetLineAttrPtr(aRow);
  if (!Fore || !Back || !Attr) return;
  FScript.clear();
  FScript.reserve(std::size_t(B.ColCount()));
  int Start = aStartCol;
  for (int C = aStartCol + 1; C <= aEndCol + 1; ++C) {
    const int S = Start - 1;
    if (C > aEndCol || Fore[C - 1] != Fore[S] || Back[C - 1] != Back[S] || Attr[C - 1] != Attr[S]) {
      FScript.push_back({Start, C - 1, Fore[S], Back[S], Attr[S], 0});
      Start = C;
    }
  }
  ttyExecutePaintScript(P, aRow);
}

void TQpTTYEmulator::ttyPrepareFont() {
  const QFont F = FTerminal->Font();
  const QSize Cell(FTerminal->TotalCharWidth(), FTerminal->TotalCharHeight());
  if (FFontReady && F == FFontKey && Cell == FCellKey) return;
  FCellKey = Cell;
  FFontKey = F;
  FFontReady = true;
  FRawFont = QRawFont::fromFont(TermGlyphFont(F));
  FGlyphSets.clear();
  // One glyph per byte, through the ANSI code page; control bytes draw nothing.
  QString All;
  for (int I = 0; I < 256; ++I) All += QChar(AnsiToUnicode(std::uint8_t(I)));
  const QList<quint32> Glyphs = FRawFont.isValid() ? FRawFont.glyphIndexesForString(All) : QList<quint32>();
  for (int I = 0; I < 256; ++I) FGlyphTable[std::size_t(I)] = I < Glyphs.size() && (I >= 32 && I != 127) ? Glyphs[I] : 0;
  const int H = std::max(FTerminal->TotalCharHeight(), 1);
  const double Descent = FRawFont.isValid() ? FRawFont.descent() : 2.0;
  const double Ascent = FRawFont.isValid() ? FRawFont.ascent() : H - 3.0;
  FBaseline = std::min(int(std::lround(Ascent)), H - int(std::ceil(Descent)));
}

// The cells of one colour pair, each glyph drawn once on its background and kept.
const std::uint32_t* TQpTTYEmulator::ttyGlyphCell(TGlyphSet& Set, std::uint8_t Ch, int W, int H) {
  std::uint32_t* Cell = Set.Pixels.data() + std::size_t(Ch) * std::size_t(W * H);
  if (Set.Ready[Ch]) return Cell;
  QImage Img(W, H, QImage::Format_RGB32);
  Img.fill(ColorToQColor(Set.Bg));
  const quint32 G = FGlyphTable[Ch];
  if (G != 0 && Set.Fg != Set.Bg && FRawFont.isValid()) {
    QPainter Q(&Img);
    Q.setRenderHint(QPainter::TextAntialiasing, false);
    Q.setPen(ColorToQColor(Set.Fg));
    QGlyphRun Run;
    Run.setRawFont(FRawFont);
    Run.setGlyphIndexes({G});
    Run.setPositions({QPointF(0, FBaseline)});
    Q.drawGlyphRun(QPointF(0, 0), Run);
  }
  for (int Y = 0; Y < H; ++Y)
    std::memcpy(Cell + std::size_t(Y * W), Img.constScanLine(Y), std::size_t(W) * 4);
  Set.Ready[Ch] = true;
  return Cell;
}

// Runs right to left, as the script lists them: each run's cells (glyph on background) go
// into a row strip, then its lines; the strip goes to the painter in one piece. Glyphs are
// clipped to their cell, so a row painted alone looks as it does in a full paint.
void TQpTTYEmulator::ttyExecutePaintScript(QPainter& P, int aRow) {
  TQpTerminalHost& T = *FTerminal;
  const int W = std::max(T.TotalCharWidth(), 1), H = std::max(T.TotalCharHeight(), 1);
  const int Top = (aRow - T.ClientOriginRow()) * H;
  const auto* Chars = static_cast<const std::uint8_t*>(FTerminalBuffer->GetLineCharPtr(aRow));
  ttyPrepareFont();
  const int First = FScript.front().pnStart, Last = FScript.back().pnEnd;
  const int Width = (Last - First + 1) * W;
  if (FStrip.width() < Width || FStrip.height() != H)
    FStrip = QImage(std::max(Width, FTerminalBuffer->ColCount() * W), H, QImage::Format_RGB32);
  const int Stride = int(FStrip.bytesPerLine() / 4);
  auto* Strip = reinterpret_cast<std::uint32_t*>(FStrip.bits());
  for (auto It = FScript.rbegin(); It != FScript.rend(); ++It) {
    const TPaintNode& N = *It;
    const bool Reversed = ((N.pnAttr & AttrBit(tcaReverse)) != 0) != ((N.pnAttr & AttrBit(tcaSelected)) != 0);
    TColor Fg = Reversed ? N.pnBack : N.pnFore;
    TColor Bg = Reversed ? N.pnFore : N.pnBack;
    if (N.pnAttr & AttrBit(tcaInvisible)) Fg = Bg;
    else if (N.pnAttr & AttrBit(tcaBold)) (Reversed ? Bg : Fg) = Brighten(N.pnFore);
    Fg &= 0xFFFFFF;
    Bg &= 0xFFFFFF;
    const std::uint64_t Key = std::uint64_t(Fg) << 32 | Bg;
    auto Found = FGlyphSets.find(Key);
    if (Found == FGlyphSets.end()) {
      if (FGlyphSets.size() >= 64) FGlyphSets.clear();  // bounded: a stream of new colours
      auto Set = std::make_unique<TGlyphSet>();
      Set->Fg = Fg;
      Set->Bg = Bg;
      Set->Pixels.resize(std::size_t(256 * W * H));
      Found = FGlyphSets.emplace(Key, std::move(Set)).first;
    }
    TGlyphSet& Set = *Found->second;
    const int X0 = (N.pnStart - First) * W;
    for (int I = N.pnStart; I <= N.pnEnd; ++I) {
      const std::uint32_t* Cell = ttyGlyphCell(Set, Chars[I - 1], W, H);
      std::uint32_t* To = Strip + X0 + (I - N.pnStart) * W;
      for (int Y = 0; Y < H; ++Y) std::memcpy(To + Y * Stride, Cell + Y * W, std::size_t(W) * 4);
    }
    const std::uint32_t Pen = ColorToQRgb(Fg);
    const int RunWidth = (N.pnEnd - N.pnStart + 1) * W;
    if (N.pnAttr & AttrBit(tcaUnderline)) std::fill_n(Strip + (H - 2) * Stride + X0, RunWidth, Pen);
    if (N.pnAttr & AttrBit(tcaStrikethrough)) std::fill_n(Strip + (H / 2) * Stride + X0, RunWidth, Pen);
  }
  P.drawImage(QPoint((First - T.ClientOriginCol()) * W, Top), FStrip, QRect(0, 0, Width, H));
}
