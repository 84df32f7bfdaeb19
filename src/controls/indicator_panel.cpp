#include "indicator_panel.h"

#include <QMouseEvent>

#include "platform/error_handler.h"

TIndicatorPanel::TIndicatorPanel(QWidget* Parent) : QLabel(Parent) {
  setAlignment(Qt::AlignCenter);
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(1);
  setAutoFillBackground(true);
  setFont(UiFont(FontSansSerif, 11));
  SetTextColor(this, 0x000000);
}

TColor TIndicatorPanel::Color() const { return QColorToColor(palette().color(QPalette::Window)); }

void TIndicatorPanel::SetColor(TColor Value) { SetBackground(this, Value); }

void TIndicatorPanel::mouseReleaseEvent(QMouseEvent* Event) {
  GuardedCall([&] {
    if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint()) && OnClick)
      OnClick(this);
  });
  QLabel::mouseReleaseEvent(Event);
}
