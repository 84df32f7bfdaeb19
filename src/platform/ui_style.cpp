#include "ui_style.h"

#include <QScreen>

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
    W->move(Work.center().x() - Frame.width() / 2, Work.center().y() - Frame.height() / 2);
  }
}
