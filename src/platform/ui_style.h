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
// A fixed-size top-level window larger than its screen's work area (an 800 x 480 touchscreen)
// is made as large as fits, its content scrolling: the children move, as they are, into a
// view the size of the window's own. A window that fits is left exactly as it is. Returns
// whether the window was fitted. Once, before the window is first shown.
bool FitToWorkArea(QWidget* W);
