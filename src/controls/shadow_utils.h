#pragma once
// Colours as the controls store them (0x00BBGGRR) and the one shape routine the buttons draw with.

#include <QColor>

#include <cstdint>

#include "platform/ui_style.h"

class QPainter;

using TColor = std::uint32_t;


enum TQcShapeType : std::uint8_t {
  stRectangle = 0,
  stSquare = 1,
  stRoundRect = 2,
  stRoundSquare = 3,
  stEllipse = 4,
  stCircle = 5,
};

// Draws Shape over (X, Y, W, H) with the painter's pen (outline) and brush (fill); the right and
// bottom edges are exclusive, as the figure covers exactly W x H pixels. A pen of width 0 takes
// one pixel off W and H. Square shapes are centred in the area.
void DrawShape(QPainter& Canvas, TQcShapeType Shape, int X, int Y, int W, int H);
