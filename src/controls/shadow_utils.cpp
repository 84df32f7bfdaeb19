#include "shadow_utils.h"

#include <QPainter>

#include <algorithm>

void DrawShape(QPainter& Canvas, TQcShapeType Shape, int X, int Y, int W, int H) {
  if (Canvas.pen().width() == 0) {
    --W;
    --H;
  }
  const int S = std::min(W, H);
  if (Shape == stSquare || Shape == stRoundSquare || Shape == stCircle) {
    X += (W - S) / 2;
    Y += (H - S) / 2;
    W = S;
    H = S;
  }
  if (W <= 0 || H <= 0) return;
  // An aliased stroke of a W-1 x H-1 path covers W x H pixels, the exclusive right and bottom.
  const QRect Area(X, Y, W - 1, H - 1);
  switch (Shape) {
    case stRectangle:
    case stSquare:
      Canvas.drawRect(Area);
      break;
    case stRoundRect:
    case stRoundSquare: {
      const int Corner = S / 4;  // width and height of the corner ellipse
      Canvas.drawRoundedRect(Area, Corner / 2.0, Corner / 2.0);
      break;
    }
    case stEllipse:
    case stCircle:
      Canvas.drawEllipse(Area);
      break;
  }
}
