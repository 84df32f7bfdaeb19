#include "ui_style.h"

#include <QScreen>

#include <algorithm>
#include <QScrollArea>
#include <QStyle>

#include <QFontDatabase>
#include <QPalette>
#include <QWidget>

QFont UiFont(TUiFontFamily Family, int PixelHeight, bool Bold) {
  // The named fonts where the system has them, else the closest free ones.
  QStringList Families;
  switch (Family) {
    case FontSansSerif: Families = {QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans")}; break;
    case FontTahoma: Families = {QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")}; break;
    case FontTerminal: Families = {QStringLiteral("Terminal"), QStringLiteral("DejaVu Sans Mono")}; break;
  }
  QFont Font;
  Font.setFamilies(Families);
  Font.setPixelSize(PixelHeight);
  Font.setBold(Bold);
  if (Family == FontTerminal) Font.setStyleHint(QFont::Monospace);
  return Font;
}

void SetTextColor(QWidget* W, std::uint32_t Color) {
  QPalette P = W->palette();
  P.setColor(QPalette::WindowText, ColorToQColor(Color));
  P.setColor(QPalette::Text, ColorToQColor(Color));
  W->setPalette(P);
}

void SetBackground(QWidget* W, std::uint32_t Color) {
  QPalette P = W->palette();
  P.setColor(QPalette::Window, ColorToQColor(Color));
  P.setColor(QPalette::Base, ColorToQColor(Color));
  W->setPalette(P);
  W->setAutoFillBackground(true);
}


void CentreOnWorkArea(QWidget* W) {
  if (QScreen* S = W->screen()) {
    const QRect Work = S->availableGeometry();
    const QRect Frame = W->frameGeometry();
    // Kept inside the work area: a window as wide as it would start a pixel left of it.
    const int X = std::max(Work.left(), Work.center().x() - Frame.width() / 2);
    const int Y = std::max(Work.top(), Work.center().y() - Frame.height() / 2);
    W->move(X, Y);
  }
}

bool FitToWorkArea(QWidget* W) {
  QScreen* S = W->screen();
  if (!S) return false;
  const QRect Work = S->availableGeometry();
  // The frame the window manager adds, known only once shown: a title bar's height meanwhile.
  QSize Frame = W->frameGeometry().size() - W->geometry().size();
  if (Frame.isEmpty()) Frame = QSize(0, W->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, W));
  const QSize OwnSize = W->size();
  const QSize Room = Work.size() - Frame;
  if (OwnSize.width() <= Room.width() && OwnSize.height() <= Room.height()) return false;
  auto* Content = new QWidget;
  Content->setFixedSize(OwnSize);
  // In their order, so the focus chain keeps it; each keeps its own visibility.
  for (QWidget* Child : W->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (Child->isWindow()) continue;
    const bool Shown = !Child->isHidden();
    const QRect At = Child->geometry();
    Child->setParent(Content);
    Child->setGeometry(At);
    Child->setVisible(Shown);
  }
  auto* View = new QScrollArea(W);
  View->setFrameShape(QFrame::NoFrame);
  View->setBackgroundRole(QPalette::Window);
  View->viewport()->setBackgroundRole(QPalette::Window);
  View->setWidget(Content);
  const QSize Fits(std::min(OwnSize.width(), Room.width()), std::min(OwnSize.height(), Room.height()));
  W->setFixedSize(Fits);
  View->setGeometry(0, 0, Fits.width(), Fits.height());
  View->show();
  return true;
}
