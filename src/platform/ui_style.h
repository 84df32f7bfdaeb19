#pragma once
// Small helpers for the windows' look: colours stored as 0x00BBGGRR, the named fonts with
// their closest local stand-ins, and the coloured indicator panels.

#include <QColor>
#include <QFont>
#include <QString>

#include <cstdint>

class QLabel;
class QWidget;

enum TUiFontFamily { FontSansSerif, FontTahoma, FontTerminal };

// Colour stored as 0x00BBGGRR.
QColor ToQColor(std::uint32_t Color);
// The font with the given character height in pixels.
QFont UiFont(TUiFontFamily Family, int PixelHeight, bool Bold = false);
void SetTextColor(QWidget* W, std::uint32_t Color);
void SetBackground(QWidget* W, std::uint32_t Color);
// A panel used as an indicator: raised, centred text, its colour not themed.
QLabel* MakeIndicator(QWidget* Parent, const QString& Text, std::uint32_t Color);
void SetIndicator(QLabel* Indicator, std::uint32_t Color, const QString& Text);
// The indicator's current face colour (0x00BBGGRR).
std::uint32_t IndicatorColor(const QLabel* Indicator);
