// The terminal control's view (part of TQpCustomTerminal, with terminal_control.cpp and
// terminal_selection.cpp): extent, scroll bars, origin, following the cursor and the caret.
#include "terminal/terminal_control.h"

#include <QGuiApplication>
#include <QScrollBar>
#include <QStyleHints>
#include <QTimer>

#include <algorithm>
#include <optional>

#include "platform/colors.h"

namespace {

// Where a scroll request moves an origin (either bar: Page is the fully visible cells);
// nothing for a code that is no request.
std::optional<int> ScrolledOrigin(int Code, int Origin, int Page, int Thumb) {
  switch (Code) {
    case scLineUp: return Origin - 1;
    case scLineDown: return Origin + 1;
    case scPageUp: return Origin - Page;
    case scPageDown: return Origin + Page;
    case scThumbPosition:
    case scThumbTrack: return Thumb + 1;
    default: return std::nullopt;
  }
}

}  // namespace

// ---------------------------------------------------------------- extent and scroll bars

QSize TQpCustomTerminal::ClientSize() const {
  const int F = frameWidth();
  return QSize(std::max(width() - 2 * F - (FVBarShown ? ScrollBarSize : 0), 0),
               std::max(height() - 2 * F - (FHBarShown ? ScrollBarSize : 0), 0));
}

void TQpCustomTerminal::tmCalcExtent() {
  if (!FEmulator || !Buffer()) {
    FClientCols = FClientRows = FClientFullCols = FClientFullRows = 0;
    return;
  }
  const int W = GetTotalCharWidth(), H = GetTotalCharHeight();
  const QSize C = ClientSize();
  const int Cols = Columns(), RowsN = Rows(), SV = ScrollbackRows();
  FClientCols = std::min((C.width() + W - 1) / W, Cols - FOriginCol + 1);
  FClientFullCols = std::min(C.width() / W, Cols - FOriginCol + 1);
  FClientRows = std::min((C.height() + H - 1) / H, RowsN - FOriginRow + 1);
  FClientFullRows = std::min(C.height() / H, RowsN - FOriginRow + 1);

  auto ForceSize = [this] {
    if (!FForceSizePosted) {
      FForceSizePosted = true;
      PostMessage(FHandle, qpw_TermForceSize, 0, 0);
    }
  };
  if (FClientFullCols < Cols && !FUseHScrollBar && !FHideScrollbars) {
    FUseHScrollBar = true;
    return ForceSize();
  }
  if (C.width() / W >= Cols && FUseHScrollBar) {
    FUseHScrollBar = false;
    return ForceSize();
  }
  if (FClientFullRows < RowsN && !FUseVScrollBar && !FHideScrollbars) {
    FUseVScrollBar = true;
    if (SV <= RowsN) return ForceSize();
  } else if (C.height() / H >= RowsN && FUseVScrollBar) {
    FUseVScrollBar = false;
    return ForceSize();
  }
  FUsedRect = QRect(0, 0, std::min(W * FClientCols, C.width()), std::min(H * FClientRows, C.height()));
  FUnusedRightRect = QRect(FUsedRect.right() + 1, 0, C.width() - FUsedRect.width(), FUsedRect.height());
  FUnusedBottomRect = QRect(0, FUsedRect.height(), C.width(), C.height() - FUsedRect.height());
  if (FImage.size() != C) {
    FImage = C.isEmpty() ? QImage() : QImage(C, QImage::Format_RGB32);
    if (!FImage.isNull()) FImage.fill(ColorToQColor(FColor));
  }
  if (FHBarShown != tmNeedHScrollbar() || FVBarShown != tmNeedVScrollbar()) ForceSize();
  if (tmNeedHScrollbar()) tmInitHScrollBar();
  if (tmNeedVScrollbar()) tmInitVScrollBar();
}

bool TQpCustomTerminal::tmNeedHScrollbar() const {
  return FUseHScrollBar && (!FHideScrollbars || FHideScrollbarHActive);
}

bool TQpCustomTerminal::tmNeedVScrollbar() const {
  const bool Scrolls = Rows() < ScrollbackRows() && FScrollback;
  if (FHideScrollbars && FHideScrollBarVActive) return FUseVScrollBar || Scrolls;
  return (FUseVScrollBar && !FHideScrollbars) || Scrolls;
}

// With the bars hidden, a cursor beyond the fully visible columns or rows brings its bar back
// until it returns.
void TQpCustomTerminal::UpdateHiddenBars(int Row, int Col) {
  const bool H = Col > FOriginCol + FClientFullCols - 1;
  const bool V = Row > FOriginRow + FClientFullRows - 1;
  if (H == FHideScrollbarHActive && V == FHideScrollBarVActive) return;
  FHideScrollbarHActive = H;
  FHideScrollBarVActive = V;
  if ((FHBarShown != tmNeedHScrollbar() || FVBarShown != tmNeedVScrollbar()) && !FForceSizePosted) {
    FForceSizePosted = true;
    PostMessage(FHandle, qpw_TermForceSize, 0, 0);
  }
}

void TQpCustomTerminal::tmInitHScrollBar() {
  FScrollHorzInfo = {0, Columns() - 1, FClientFullCols, FOriginCol - 1};
  QScrollBar* B = horizontalScrollBar();
  const int Max = std::max(0, FScrollHorzInfo.Max - std::max(FScrollHorzInfo.Page, 1) + 1);
  const QSignalBlocker Quiet(B);
  B->setRange(0, Max);
  B->setPageStep(std::max(FScrollHorzInfo.Page, 1));
  B->setSingleStep(1);
  B->setValue(FScrollHorzInfo.Pos);
  B->setEnabled(Max > 0);
}

void TQpCustomTerminal::tmInitVScrollBar() {
  const int Min = (!FUseVScrollBar || FScrollback) ? Rows() - ScrollbackRows() : 0;
  FScrollVertInfo = {Min, Rows() - 1, FClientFullRows, FOriginRow - 1};
  QScrollBar* B = verticalScrollBar();
  const int Max = std::max(Min, FScrollVertInfo.Max - std::max(FScrollVertInfo.Page, 1) + 1);
  const QSignalBlocker Quiet(B);
  B->setRange(Min, Max);
  B->setPageStep(std::max(FScrollVertInfo.Page, 1));
  B->setSingleStep(1);
  B->setValue(FScrollVertInfo.Pos);
  B->setEnabled(Max > Min);
}

// The style bits: bars shown as needed, then the extent again for the new client area.
void TQpCustomTerminal::ApplyBars() {
  FHBarShown = tmNeedHScrollbar();
  FVBarShown = tmNeedVScrollbar();
  setHorizontalScrollBarPolicy(FHBarShown ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(FVBarShown ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

void TQpCustomTerminal::ApwTermForceSize() {
  FForceSizePosted = false;
  ApplyBars();
  tmCalcExtent();
  RepaintAll();
}

void TQpCustomTerminal::resizeEvent(QResizeEvent* E) {
  QAbstractScrollArea::resizeEvent(E);
  tmCalcExtent();
  const QSize C = ClientSize();
  const int W = GetTotalCharWidth(), H = GetTotalCharHeight();
  if (FOriginCol > 1 && W * FClientCols < C.width()) SetClientOriginCol(Columns() - C.width() / W + 1);
  if (FOriginRow >= 2 && H * FClientRows < C.height()) SetClientOriginRow(Rows() - C.height() / H + 1);
  RepaintAll();
}

// The origin setters' bounds, for a view showing FullCols x FullRows cells in full.
int TQpCustomTerminal::ClampOriginCol(int V, int FullCols) const {
  return std::clamp(V, 1, std::max(Columns() - FullCols + 1, 1));
}

int TQpCustomTerminal::ClampOriginRow(int V, int FullRows) const {
  const int Low = (FUseVScrollBar && !FScrollback) ? 1 : Rows() - ScrollbackRows() + 1;
  const int High = std::max(Rows() - FullRows + 1, 1);
  return std::clamp(V, std::min(Low, High), High);
}

// After a change of the buffer's sizes: the origin back inside, by the setters' bounds. The
// fully visible counts are the pane's, not those kept for the old origin, which may lie past
// the new buffer (they are negative then).
void TQpCustomTerminal::FitOriginToBuffer() {
  const QSize C = ClientSize();
  FOriginCol = ClampOriginCol(FOriginCol, std::min(C.width() / GetTotalCharWidth(), Columns()));
  FOriginRow = ClampOriginRow(FOriginRow, std::min(C.height() / GetTotalCharHeight(), Rows()));
  FScrollHorzInfo.Pos = FOriginCol - 1;
  FScrollVertInfo.Pos = FOriginRow - 1;
  // A bar about to go (its removal is posted) shows the new position meanwhile.
  const QSignalBlocker QuietH(horizontalScrollBar()), QuietV(verticalScrollBar());
  horizontalScrollBar()->setValue(FScrollHorzInfo.Pos);
  verticalScrollBar()->setValue(FScrollVertInfo.Pos);
}

void TQpCustomTerminal::SetClientOriginCol(int V) {
  V = ClampOriginCol(V, FClientFullCols);
  if (V == FOriginCol) return;
  FOriginCol = V;
  tmCalcExtent();
  FScrollHorzInfo.Pos = FOriginCol - 1;
  if (tmNeedHScrollbar()) {
    const QSignalBlocker Quiet(horizontalScrollBar());
    horizontalScrollBar()->setValue(FScrollHorzInfo.Pos);
  }
  RepaintAll();
}

void TQpCustomTerminal::SetClientOriginRow(int V) {
  V = ClampOriginRow(V, FClientFullRows);
  if (V == FOriginRow) return;
  FOriginRow = V;
  tmCalcExtent();
  FScrollVertInfo.Pos = FOriginRow - 1;
  if (tmNeedVScrollbar()) {
    const QSignalBlocker Quiet(verticalScrollBar());
    verticalScrollBar()->setValue(FScrollVertInfo.Pos);
  }
  RepaintAll();
}

void TQpCustomTerminal::WMHScroll(int Code, int Thumb) {
  const std::optional<int> To = ScrolledOrigin(Code, FOriginCol, FClientFullCols, Thumb);
  if (!To) return;
  const int V = ClampOriginCol(*To, FClientFullCols);
  if (V != FOriginCol) SetClientOriginCol(V);
}

void TQpCustomTerminal::WMVScroll(int Code, int Thumb) {
  if (FUseVScrollBar && FAutoScrollback) {
    if (Code == scLineUp && FOriginRow == 1 && !FScrollback) SetScrollback(true);
    else if (FScrollback && FOriginRow > 1) SetScrollback(false);
  }
  const std::optional<int> To = ScrolledOrigin(Code, FOriginRow, FClientFullRows, Thumb);
  if (!To) return;
  // The row setter enforces the lower bound, which depends on Scrollback.
  SetClientOriginRow(std::min(*To, Rows() - FClientFullRows + 1));
}

void TQpCustomTerminal::SetScrollback(bool V) {
  if (V == FScrollback) return;
  FScrollback = V;
  if (tmNeedVScrollbar()) tmInitVScrollBar();
  if (FVBarShown != tmNeedVScrollbar() && !FForceSizePosted) {
    FForceSizePosted = true;
    PostMessage(FHandle, qpw_TermForceSize, 0, 0);
  }
}

void TQpCustomTerminal::SetHideScrollbars(bool V) {
  if (V == FHideScrollbars) return;
  FHideScrollbars = V;
  tmCalcExtent();
  if (FVBarShown != tmNeedVScrollbar() || FHBarShown != tmNeedHScrollbar()) ApwTermForceSize();
}

void TQpCustomTerminal::SetFollowCursor(bool V) {
  FFollowCursor = V;
  if (V) DoFollowCursor();
}

// Follows the external emulator's cursor only: the control's own emulator never moves the view.
void TQpCustomTerminal::DoFollowCursor() {
  if (!FExternal || !FExternal->Buffer()) return;
  const int C = FExternal->Buffer()->Col(), R = FExternal->Buffer()->Row();
  if (C < FOriginCol) SetClientOriginCol(C);
  else if (C > FOriginCol + FClientFullCols) SetClientOriginCol(C - FClientFullCols);
  if (R < FOriginRow) SetClientOriginRow(R);
  else if (R >= FOriginRow + FClientFullRows) SetClientOriginRow(R - FClientFullRows);
}

// ---------------------------------------------------------------- caret

QRect TQpCustomTerminal::CaretRect() const { return FCaretOn ? FCaretRect : QRect(); }

void TQpCustomTerminal::tmPositionCaret() {
  const QRect Old = FCaretOn ? FCaretRect : QRect();
  FCaretOn = false;
  TQpTerminalBuffer* B = Buffer();
  if (B && hasFocus() && FCursorType != ctNone) {
    const int W = GetTotalCharWidth(), H = GetTotalCharHeight();
    int X, Row;
    if (B->UseAbsAddress()) {
      X = W * (B->Col() - FOriginCol);
      Row = B->Row();
    } else {
      X = W * (B->Col() + B->OriginCol() - FOriginCol - 1);
      Row = B->Row() + B->OriginRow() - 1;
    }
    int Y = H * (Row - FOriginRow);
    if (FCursorType == ctUnderline) Y += H - 2;
    const QSize C = ClientSize();
    if (X >= 0 && X < C.width() && Y >= 0 && Y < C.height()) {
      FCaretRect = QRect(X, Y, W, FCursorType == ctUnderline ? 2 : H);
      FCaretOn = true;
    }
  }
  if (Old != (FCaretOn ? FCaretRect : QRect())) {
    if (!Old.isEmpty()) viewport()->update(Old);
    if (FCaretOn) viewport()->update(FCaretRect);
  }
}

void TQpCustomTerminal::BlinkCaret() {
  FCaretPhase = !FCaretPhase;
  if (FCaretOn) viewport()->update(FCaretRect);
}

void TQpCustomTerminal::SetCursorType(TQpCursorType V) {
  if (V == FCursorType) return;
  FCursorType = V;
  tmPositionCaret();
}

void TQpCustomTerminal::focusInEvent(QFocusEvent* E) {
  QAbstractScrollArea::focusInEvent(E);
  FCaretPhase = true;
  const int Flash = QGuiApplication::styleHints()->cursorFlashTime();
  if (Flash > 0) FCaretTimer->start(Flash / 2);
  tmPositionCaret();
}

void TQpCustomTerminal::focusOutEvent(QFocusEvent* E) {
  FCaretTimer->stop();
  if (FCaretOn) viewport()->update(FCaretRect);
  FCaretOn = false;
  QAbstractScrollArea::focusOutEvent(E);
}
