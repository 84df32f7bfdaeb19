// The terminal control's mouse selection, clipboard and context menu (part of TQpCustomTerminal,
// with terminal_control.cpp and terminal_view.cpp).
#include "terminal/terminal_control.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>

#include <algorithm>

#include "platform/error_handler.h"
#include "terminal/code_page.h"

namespace {

QString AnsiText(const std::string& S) {
  QString Out;
  Out.reserve(qsizetype(S.size()));
  for (char C : S) Out += QChar(AnsiToUnicode(std::uint8_t(C)));
  return Out;
}

// The columns of row Row that selection S covers (From > To when none).
void RowSpan(const TRect& S, int Row, int Cols, int& From, int& To) {
  From = 1;
  To = 0;
  if (S.Left <= 0 || Row < S.Top || Row > S.Bottom) return;
  From = Row == S.Top ? S.Left : 1;
  To = Row == S.Bottom ? S.Right : Cols;
}

}  // namespace

// ---------------------------------------------------------------- mouse selection

QPoint TQpCustomTerminal::ClampToCells(QPoint P) const {
  const int W = GetTotalCharWidth(), H = GetTotalCharHeight();
  return QPoint(std::clamp(P.x(), 0, std::max(W * FClientCols - 1, 0)),
                std::clamp(P.y(), 0, std::max(H * FClientRows - 1, 0)));
}

void TQpCustomTerminal::mousePressEvent(QMouseEvent* E) {
  GuardedCall([&] { MousePress(E); });
}

void TQpCustomTerminal::MousePress(QMouseEvent* E) {
  QAbstractScrollArea::mousePressEvent(E);
  if (E->button() != Qt::LeftButton) return;
  if (!hasFocus()) setFocus(Qt::MouseFocusReason);
  FLButtonDown = true;
  FMoved = false;
  if (FMouseSelect) tmStartSelect(ClampToCells(E->position().toPoint()));
}

void TQpCustomTerminal::mouseMoveEvent(QMouseEvent* E) {
  GuardedCall([&] { MouseMove(E); });
}

void TQpCustomTerminal::MouseMove(QMouseEvent* E) {
  QAbstractScrollArea::mouseMoveEvent(E);
  if (!FLButtonDown || !FMouseSelect) return;
  FMoved = true;
  tmGrowSelect(ClampToCells(E->position().toPoint()));
}

void TQpCustomTerminal::mouseReleaseEvent(QMouseEvent* E) {
  GuardedCall([&] { MouseRelease(E); });
}

void TQpCustomTerminal::MouseRelease(QMouseEvent* E) {
  QAbstractScrollArea::mouseReleaseEvent(E);
  if (E->button() == Qt::MiddleButton) {
    PasteFromSelection();
    return;
  }
  if (E->button() != Qt::LeftButton || !FLButtonDown) return;
  if (FMouseSelect && FHaveSelection) OfferSelection();
  if (FMouseSelect && FAutoCopy) CopyToClipboard();
  FLButtonDown = false;
}

void TQpCustomTerminal::tmStartSelect(QPoint P) {
  const TRect Old = FLButtonRect;
  const int First = Rows() - ScrollbackRows();
  if (Old.Left > 0 && Old.Right > 0 && Old.Top > First && Old.Bottom > First) HideSelection();
  const int W = GetTotalCharWidth(), H = GetTotalCharHeight();
  FLButtonAnchor = QPoint(P.x() / W + FOriginCol, P.y() / H + FOriginRow);
  FLButtonRect = {FLButtonAnchor.x(), FLButtonAnchor.y(), FLButtonAnchor.x(), FLButtonAnchor.y()};
}

void TQpCustomTerminal::tmGrowSelect(QPoint P) {
  TQpTerminalBuffer* B = Buffer();
  if (!B) return;
  // Until the first move the rectangle is the anchor cell, unmarked.
  const TRect Old = FHaveSelection && FLButtonRect.Left > 0 ? FLButtonRect : TRect{};
  FHaveSelection = true;
  const int W = GetTotalCharWidth(), H = GetTotalCharHeight();
  const int Cols = B->ColCount();
  const int Col = std::clamp(P.x() / W + FOriginCol, 1, Cols);
  const int Row = std::clamp(P.y() / H + FOriginRow, B->RowCount() - B->SVRowCount() + 1, B->RowCount());
  const int AC = FLButtonAnchor.x(), AR = FLButtonAnchor.y();
  TRect N;
  if (Row < AR) N = {Col, Row, AC, AR};
  else if (Row > AR) N = {AC, AR, Col, Row};
  else N = {std::min(AC, Col), Row, std::max(AC, Col), Row};
  // Only rows whose marks change are touched.
  const int Top = std::min(Old.Left > 0 ? Old.Top : N.Top, N.Top);
  const int Bottom = std::max(Old.Left > 0 ? Old.Bottom : N.Bottom, N.Bottom);
  for (int R = Top; R <= Bottom; ++R) {
    int OF, OT, NF, NT;
    RowSpan(Old, R, Cols, OF, OT);
    RowSpan(N, R, Cols, NF, NT);
    if (OF == NF && OT == NT) continue;
    TQpTerminalCharAttrs* A = B->GetLineAttrPtr(R);
    if (!A) continue;
    for (int C = OF; C <= OT; ++C) A[C - 1] &= TQpTerminalCharAttrs(~AttrBit(tcaSelected));
    for (int C = NF; C <= NT; ++C) A[C - 1] |= AttrBit(tcaSelected);
    RepaintRows(R, R);
  }
  FLButtonRect = N;
}

void TQpCustomTerminal::MarkSelection(const TRect& S, bool On) {
  TQpTerminalBuffer* B = Buffer();
  if (!B || S.Left <= 0) return;
  for (int R = S.Top; R <= S.Bottom; ++R) {
    int F, T;
    RowSpan(S, R, B->ColCount(), F, T);
    TQpTerminalCharAttrs* A = B->GetLineAttrPtr(R);
    if (!A) continue;
    for (int C = std::max(F, 1); C <= std::min(T, B->ColCount()); ++C) {
      if (On) A[C - 1] |= AttrBit(tcaSelected);
      else A[C - 1] &= TQpTerminalCharAttrs(~AttrBit(tcaSelected));
    }
  }
  RepaintRows(S.Top, S.Bottom);
}

void TQpCustomTerminal::HideSelection() {
  MarkSelection(FLButtonRect, false);
  FLButtonRect = TRect{};
  FLButtonAnchor = QPoint();
  FHaveSelection = false;
}

void TQpCustomTerminal::WMCancelMode() {
  HideSelection();
  FLButtonDown = false;
}

void TQpCustomTerminal::SetMouseSelect(bool V) {
  if (V == FMouseSelect) return;
  FMouseSelect = V;
  if (!V) {
    FLButtonDown = false;
    if (Buffer()) HideSelection();
  }
}

// The marks move with the rows they are in; the record of the selection follows them. A scroll
// of only part of the rows (a region, inserted or deleted lines) that cuts through the
// selection ends it, clearing every mark it may have carried along.
void TQpCustomTerminal::SelectionScrolled(int Count, int TopRow, int BottomRow) {
  TQpTerminalBuffer* B = Buffer();
  if (!B || FLButtonRect.Left <= 0) return;
  const int First = B->RowCount() - B->SVRowCount() + 1, Last = B->RowCount();
  TRect& S = FLButtonRect;
  if (TopRow == First && BottomRow == Last) {
    S.Top -= Count;
    S.Bottom -= Count;
    FLButtonAnchor.ry() -= Count;
    if (S.Bottom < First || S.Top > Last) {
      S = TRect{};
      FHaveSelection = false;
      return;
    }
    if (S.Top < First) {
      S.Top = First;
      S.Left = 1;
    }
    if (S.Bottom > Last) {
      S.Bottom = Last;
      S.Right = B->ColCount();
    }
    return;
  }
  if (S.Bottom < TopRow || S.Top > BottomRow) return;
  for (int R = TopRow; R <= BottomRow; ++R) {
    if (TQpTerminalCharAttrs* A = B->GetLineAttrPtr(R))
      for (int C = 0; C < B->ColCount(); ++C) A[C] &= TQpTerminalCharAttrs(~AttrBit(tcaSelected));
  }
  MarkSelection(S, false);
  RepaintRows(TopRow, BottomRow);
  S = TRect{};
  FHaveSelection = false;
}

std::string TQpCustomTerminal::SelectionText() const {
  const TQpTerminalBuffer* B = Buffer();
  const TRect& S = FLButtonRect;
  std::string Out;
  if (!B || S.Left <= 0) return Out;
  for (int R = S.Top; R <= S.Bottom; ++R) {
    const auto* Chars = static_cast<const char*>(B->GetLineCharPtr(R));
    int F, T;
    RowSpan(S, R, B->ColCount(), F, T);
    if (Chars)
      for (int C = std::max(F, 1); C <= std::min(T, B->ColCount()); ++C) Out += Chars[C - 1];
    Out += "\r\n";
  }
  return Out;
}

// An empty selection leaves the clipboard as it is.
void TQpCustomTerminal::CopyToClipboard() {
  const std::string Text = SelectionText();
  if (Text.empty()) return;
  QGuiApplication::clipboard()->setText(AnsiText(Text));
}

// What is selected becomes the primary selection too, where the platform has one.
void TQpCustomTerminal::OfferSelection() {
  QClipboard* C = QGuiApplication::clipboard();
  if (!C->supportsSelection()) return;
  const std::string Text = SelectionText();
  if (!Text.empty()) C->setText(AnsiText(Text), QClipboard::Selection);
}

void TQpCustomTerminal::SelectAll() {
  TQpTerminalBuffer* B = Buffer();
  if (!B) return;
  HideSelection();
  const int Cols = B->ColCount();
  int Top = 1;
  for (int R = B->RowCount() - B->SVRowCount() + 1; R < 1; ++R) {
    const auto* Chars = static_cast<const char*>(B->GetLineCharPtr(R));
    if (Chars && std::any_of(Chars, Chars + Cols, [](char C) { return C != ' '; })) {
      Top = R;
      break;
    }
  }
  FLButtonAnchor = QPoint(1, Top);
  FLButtonRect = {1, Top, Cols, B->RowCount()};
  FHaveSelection = true;
  MarkSelection(FLButtonRect, true);
  OfferSelection();
}

void TQpCustomTerminal::PasteFromClipboard() { PasteFrom(QClipboard::Clipboard); }
void TQpCustomTerminal::PasteFromSelection() { PasteFrom(QClipboard::Selection); }

// A mode the platform lacks reads as no text.
void TQpCustomTerminal::PasteFrom(QClipboard::Mode Mode) {
  if (!FPasteToScreen && !FPasteToPort) return;
  const QString Q = QGuiApplication::clipboard()->text(Mode);
  if (Q.isEmpty()) return;
  const std::string Text = UnicodeToAnsiString(Q.toStdU16String());
  if (FPasteToScreen && FPasteToPort && FComPort) {
    for (char C : Text) {
      WriteChar(C);
      PortPutChar(std::uint8_t(C));
    }
    return;
  }
  if (FPasteToScreen) WriteString(Text);
  if (FPasteToPort && FComPort) PortPutString(Text);
}

// ---------------------------------------------------------------- context menu

void TQpCustomTerminal::MakeContextMenu() {
  FMenu = new QMenu(this);
  // Each item runs guarded: pasting may raise from the port.
  const auto Item = [this](const QString& Text, auto Action) {
    QAction* A = FMenu->addAction(Text);
    connect(A, &QAction::triggered, this, [this, Action](bool Checked) { GuardedCall([&] { Action(Checked); }); });
    return A;
  };
  FCopyAction = Item(tr("&Copy"), [this](bool) { CopyToClipboard(); });
  FCopyAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Insert));
  FPasteAction = Item(tr("&Paste"), [this](bool) { PasteFromClipboard(); });
  FPasteAction->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Insert));
  Item(tr("Select &All"), [this](bool) { SelectAll(); });
  Item(tr("C&lear"), [this](bool) { ClearAll(); });
  FMenu->addSeparator();
  FNewLineAction = Item(tr("&New line after carriage return"), [this](bool On) {
    SetNewLineAfterCR(On);
    if (OnNewLineAfterCRChange) OnNewLineAfterCRChange(On);
  });
  FNewLineAction->setCheckable(true);
  // The keys are the control's own (its key handling runs them); the menu only shows them.
  for (QAction* A : FMenu->actions()) {
    A->setShortcutContext(Qt::WidgetShortcut);
    A->setShortcutVisibleInContextMenu(true);
  }
}

void TQpCustomTerminal::ShowContextMenu(const QPoint& GlobalPos) {
  FCopyAction->setEnabled(FHaveSelection);
  FPasteAction->setEnabled(FPasteToPort || FPasteToScreen);
  FNewLineAction->setChecked(FNewLineAfterCR);
  FMenu->popup(GlobalPos);
}

// A right click opens the menu at the pointer; the Menu key at the caret, or at the top left.
void TQpCustomTerminal::contextMenuEvent(QContextMenuEvent* E) {
  E->accept();
  if (E->reason() != QContextMenuEvent::Keyboard) return ShowContextMenu(E->globalPos());
  ShowContextMenu(viewport()->mapToGlobal(FCaretOn ? FCaretRect.bottomLeft() : QPoint(0, 0)));
}
