#pragma once
// Small helpers for the windows' look: colours stored as 0x00BBGGRR and the named fonts with
// their closest local stand-ins.

#include <QColor>
#include <QFont>
#include <QString>

#include <cstdint>

class QWidget;

enum TUiFontFamily { FontSansSerif, FontTahoma, FontTerminal };

// Colour stored as 0x00BBGGRR, and back.
QColor ColorToQColor(std::uint32_t Color);
std::uint32_t QColorToColor(const QColor& Color);
// The font with the given character height in pixels.
QFont UiFont(TUiFontFamily Family, int PixelHeight, bool Bold = false);
void SetTextColor(QWidget* W, std::uint32_t Color);
void SetBackground(QWidget* W, std::uint32_t Color);
// Moves a top-level window, frame included, to the centre of its screen's work area.
void CentreOnWorkArea(QWidget* W);
