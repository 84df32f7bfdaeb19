#include "indicator_panel.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include "controls/shadow_accessible.h"
#include "platform/error_handler.h"

TIndicatorPanel::TIndicatorPanel(QWidget* Parent) : QLabel(Parent) {
  setAlignment(Qt::AlignCenter);
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(1);
  setAutoFillBackground(true);
  setFont(UiFont(FontSansSerif, 11));
  SetTextColor(this, 0x000000);
  InstallControlsAccessibility();
}

TColor TIndicatorPanel::Color() const { return QColorToColor(palette().color(QPalette::Window)); }

void TIndicatorPanel::SetColor(TColor Value) { SetBackground(this, Value); }

void TIndicatorPanel::Press() {
  if (isEnabled() && OnClick) OnClick(this);
}

void TIndicatorPanel::mouseReleaseEvent(QMouseEvent* Event) {
  GuardedCall([&] {
    if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint()) && OnClick)
      OnClick(this);
  });
  QLabel::mouseReleaseEvent(Event);
}

void TIndicatorPanel::keyPressEvent(QKeyEvent* Event) {
  const int Key = Event->key();
  if ((Key == Qt::Key_Space || Key == Qt::Key_Return || Key == Qt::Key_Enter) && OnClick &&
      (Event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
    if (!Event->isAutoRepeat()) GuardedCall([this] { Press(); });
    Event->accept();
    return;
  }
  QLabel::keyPressEvent(Event);
}

void TIndicatorPanel::focusInEvent(QFocusEvent* Event) {
  if (Event->reason() == Qt::MouseFocusReason) FKeyboardFocus = false;
  else if (Event->reason() != Qt::ActiveWindowFocusReason && Event->reason() != Qt::PopupFocusReason) FKeyboardFocus = true;
  update();
  QLabel::focusInEvent(Event);
}

void TIndicatorPanel::focusOutEvent(QFocusEvent* Event) {
  update();
  QLabel::focusOutEvent(Event);
}

void TIndicatorPanel::paintEvent(QPaintEvent*) {
  // Painted here as the label paints a plain text: a label that may take the focus lays its
  // text out as a document instead, a pixel higher, and the indicator must look the same.
  QPainter P(this);
  drawFrame(&P);
  style()->drawItemText(&P, contentsRect(), int(alignment()) | Qt::TextForceLeftToRight, palette(), isEnabled(),
                        text(), foregroundRole());
  if (!FocusMarkShown()) return;
  // A dotted rectangle inside the border, in the text's colour.
  P.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
  P.drawRect(contentsRect().adjusted(1, 1, -2, -2));
}
