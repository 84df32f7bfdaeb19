#pragma once
// Small helpers for the windows' look: colours stored as 0x00BBGGRR (colors.h) and the named
// fonts with their closest local stand-ins. GUI thread only.

#include <QFont>
#include <QString>

#include <cstdint>

#include "platform/colors.h"

class QWidget;

enum TUiFontFamily { FontSansSerif, FontTahoma, FontTerminal };

// The font with the given character height in pixels.
QFont UiFont(TUiFontFamily Family, int PixelHeight, bool Bold = false);
void SetTextColor(QWidget* W, std::uint32_t Color);
void SetBackground(QWidget* W, std::uint32_t Color);
// Moves a top-level window, frame included, to the centre of its screen's work area.
void CentreOnWorkArea(QWidget* W);
