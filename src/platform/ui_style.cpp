#include "ui_style.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPalette>
#include <QWidget>

QColor ToQColor(std::uint32_t Color) {
  return QColor(int(Color & 0xFF), int((Color >> 8) & 0xFF), int((Color >> 16) & 0xFF));
}

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
  P.setColor(QPalette::WindowText, ToQColor(Color));
  P.setColor(QPalette::Text, ToQColor(Color));
  W->setPalette(P);
}

void SetBackground(QWidget* W, std::uint32_t Color) {
  QPalette P = W->palette();
  P.setColor(QPalette::Window, ToQColor(Color));
  P.setColor(QPalette::Base, ToQColor(Color));
  W->setPalette(P);
  W->setAutoFillBackground(true);
}

QLabel* MakeIndicator(QWidget* Parent, const QString& Text, std::uint32_t Color) {
  auto* L = new QLabel(Text, Parent);
  L->setAlignment(Qt::AlignCenter);
  L->setFrameStyle(QFrame::Panel | QFrame::Raised);
  L->setLineWidth(1);
  L->setFont(UiFont(FontSansSerif, 11));
  SetTextColor(L, 0x000000);
  SetBackground(L, Color);
  return L;
}

void SetIndicator(QLabel* Indicator, std::uint32_t Color, const QString& Text) {
  SetBackground(Indicator, Color);
  Indicator->setText(Text);
}

std::uint32_t IndicatorColor(const QLabel* Indicator) {
  const QColor C = Indicator->palette().color(QPalette::Window);
  return std::uint32_t(C.red()) | (std::uint32_t(C.green()) << 8) | (std::uint32_t(C.blue()) << 16);
}
