#include "shadow_buttons.h"

#include <QApplication>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>

#include "platform/error_handler.h"

// ---------------------------------------------------------------------------------------------
// Brush and pen

void TQcShadowBrush::SetColor(TColor Value) {
  if (Value == FColor && FStyle == bsSolid) return;
  FColor = Value;
  FStyle = bsSolid;  // a face given a colour is filled from then on
  Changed();
}

void TQcShadowBrush::SetStyle(TBrushStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  Changed();
}

void TQcShadowBrush::Assign(const TQcShadowBrush& Source) {
  FColor = Source.FColor;
  FStyle = Source.FStyle;
  Changed();
}

void TQcShadowBrush::Changed() {
  if (OnChange) OnChange();
}

void TQcShadowPen::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  Changed();
}

void TQcShadowPen::SetWidth(int Value) {
  if (Value < 0 || Value == FWidth) return;
  FWidth = Value;
  Changed();
}

void TQcShadowPen::SetStyle(TPenStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  Changed();
}

void TQcShadowPen::Assign(const TQcShadowPen& Source) {
  FColor = Source.FColor;
  FWidth = Source.FWidth;
  FStyle = Source.FStyle;
  Changed();
}

void TQcShadowPen::Changed() {
  if (OnChange) OnChange();
}

// ---------------------------------------------------------------------------------------------
// TQcShadowButton

namespace {

// Unit steps toward the side the shadow lies on.
int StepX(TQcShadowDirection D) { return (D == sdTopLeft || D == sdBottomLeft) ? -1 : 1; }
int StepY(TQcShadowDirection D) { return (D == sdTopLeft || D == sdTopRight) ? -1 : 1; }

Qt::Alignment AlignmentOf(TQcTextAlignment A) {
  switch (A) {
    case vtaLeft: return Qt::AlignLeft | Qt::AlignVCenter;
    case vtaCenter: return Qt::AlignHCenter | Qt::AlignVCenter;
    case vtaRight: return Qt::AlignRight | Qt::AlignVCenter;
    case vtaTopLeft: return Qt::AlignLeft | Qt::AlignTop;
    case vtaTop: return Qt::AlignHCenter | Qt::AlignTop;
    case vtaTopRight: return Qt::AlignRight | Qt::AlignTop;
    case vtaBottomLeft: return Qt::AlignLeft | Qt::AlignBottom;
    case vtaBottom: return Qt::AlignHCenter | Qt::AlignBottom;
    case vtaBottomRight: return Qt::AlignRight | Qt::AlignBottom;
  }
  return Qt::AlignCenter;
}

TMouseButton ButtonOf(Qt::MouseButton B) {
  if (B == Qt::RightButton) return mbRight;
  if (B == Qt::MiddleButton) return mbMiddle;
  return mbLeft;
}

}  // namespace

TQcShadowButton::TQcShadowButton(QWidget* Parent)
    : TQcGraphicImageControl(Parent),
      FShadowColor(QColorToColor(QApplication::palette().color(QPalette::Dark))),
      FShadowOutline(FShadowColor),
      FBrush(std::make_unique<TQcShadowBrush>()),
      FPen(std::make_unique<TQcShadowPen>()),
      FDisabledTextColor(QColorToColor(QApplication::palette().color(QPalette::Disabled, QPalette::WindowText))) {
  FBrush->OnChange = [this] { StyleChanged(); };
  FPen->OnChange = [this] { StyleChanged(); };
  SetFontColor(0xFFFFFF);
  resize(110, 30);
  FAccelerator = new QShortcut(this);
  FAccelerator->setEnabled(false);
  connect(FAccelerator, &QShortcut::activated, this, [this] {
    GuardedCall([&] {
      if (isEnabled()) Click();
    });
  });
  CurrentRect = CaptionRect();
}

void TQcShadowButton::SetDepth(std::int32_t Value) {
  if (Value == FDepth || Value <= 2) return;
  FDepth = Value;
  UpdateControlCanvas();
}

void TQcShadowButton::SetShadowColor(TColor Value) {
  if (Value == FShadowColor) return;
  FShadowColor = Value;
  UpdateControlCanvas();
}

void TQcShadowButton::SetShadowOutline(TColor Value) {
  if (Value == FShadowOutline) return;
  FShadowOutline = Value;
  UpdateControlCanvas();
}

void TQcShadowButton::SetStyle(TQcShadowButtonStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  UpdateControlCanvas();
}

void TQcShadowButton::SetDirection(TQcShadowDirection Value) {
  if (Value == FDirection) return;
  FDirection = Value;
  UpdateControlCanvas();
}

void TQcShadowButton::SetTextAlign(TQcTextAlignment Value) {
  if (Value == FTextAlign) return;
  FTextAlign = Value;
  UpdateControlCanvas();
}

void TQcShadowButton::SetDisabledTextColor(TColor Value) {
  if (Value == FDisabledTextColor) return;
  FDisabledTextColor = Value;
  UpdateControlCanvas();
}

void TQcShadowButton::StyleChanged() { UpdateControlCanvas(); }

void TQcShadowButton::UpdateControlCanvas() {
  // The mouse area follows every change at once, so a button reacts even before it has painted.
  CurrentRect = CaptionRect();
  TQcGraphicImageControl::UpdateControlCanvas();
}

void TQcShadowButton::UpdateControlBounds() { CurrentRect = CaptionRect(); }

void TQcShadowButton::TextChanged() {
  const QKeySequence Key = QKeySequence::mnemonic(QString::fromStdString(Caption()));
  FAccelerator->setKey(Key);
  FAccelerator->setEnabled(!Key.isEmpty());
  TQcGraphicImageControl::TextChanged();
}

QRect TQcShadowButton::FaceRect() const {
  const int D = FDepth, P = FPen->Width();
  int L = P, T = P, R = width() - P, B = height() - P;
  if (StepX(FDirection) < 0) L += D; else R -= D;
  if (StepY(FDirection) < 0) T += D; else B -= D;
  if (Down) {
    L += StepX(FDirection) * FDepthAdjust;
    R += StepX(FDirection) * FDepthAdjust;
    T += StepY(FDirection) * FDepthAdjust;
    B += StepY(FDirection) * FDepthAdjust;
  }
  return QRect(QPoint(L, T), QSize(R - L, B - T));
}

QRect TQcShadowButton::CaptionRect() const {
  const int P = FPen->Width();
  return FaceRect().adjusted(P, P, -P, -P);
}

void TQcShadowButton::Paint() {
  ClearBitmapCanvas();
  DrawButton();
  TQcGraphicImageControl::Paint();
}

void TQcShadowButton::DrawButton() {
  QPainter& Canvas = BitmapCanvas();
  const int D = FDepth, A = FDepthAdjust, P = FPen->Width();
  const int Dx = StepX(FDirection), Dy = StepY(FDirection);
  const TQcShapeType Shape = FStyle == ssRectangle ? stRectangle : stRoundRect;
  Canvas.setRenderHint(QPainter::Antialiasing, false);

  // The face without the pressed shift: the room for the shadow is taken on its two sides.
  const bool WasDown = Down;
  Down = false;
  QRect R = FaceRect();
  Down = WasDown;

  QRect S = R.translated(Dx * D, Dy * D);
  if (Down) S.translate(-Dx * A, -Dy * A);
  Canvas.setPen(QPen(ColorToQColor(FShadowOutline), 1, Qt::SolidLine));
  Canvas.setBrush(QBrush(ColorToQColor(FShadowColor), Qt::SolidPattern));
  DrawShape(Canvas, Shape, S.left(), S.top(), S.width(), S.height());

  if (Down) R.translate(Dx * A, Dy * A);
  Canvas.setBrush(FBrush->Style() == bsClear ? QBrush(Qt::NoBrush)
                                             : QBrush(ColorToQColor(FBrush->Color()), Qt::SolidPattern));
  Canvas.setPen(FPen->Style() == psClear ? QPen(Qt::NoPen)
                                         : QPen(ColorToQColor(FPen->Color()), P, Qt::SolidLine));
  Canvas.setFont(font());
  DrawShape(Canvas, Shape, R.left(), R.top(), R.width(), R.height());

  R.adjust(P, P, -P, -P);
  Canvas.setBrush(Qt::NoBrush);
  Canvas.setPen(ColorToQColor(isEnabled() ? FontColor() : FDisabledTextColor));
  Canvas.save();
  Canvas.setClipRect(R);
  Canvas.drawText(R, int(AlignmentOf(FTextAlign)) | Qt::TextSingleLine | Qt::TextShowMnemonic,
                  QString::fromStdString(Caption()));
  Canvas.restore();
  CurrentRect = R;
}

void TQcShadowButton::LeftButtonDown(QMouseEvent* Event) {
  const QPoint At = Event->position().toPoint();
  DoMouseDown(mbLeft, ShiftStateOf(Event->modifiers(), Event->buttons()), At.x(), At.y());
  if (CurrentRect.contains(At)) {
    Pressed = true;
    Down = true;
    UpdateControlCanvas();
  }
}

void TQcShadowButton::mousePressEvent(QMouseEvent* Event) {
  GuardedCall([&] {
    if (Event->button() == Qt::LeftButton) {
      LeftButtonDown(Event);
    } else {
      const QPoint At = Event->position().toPoint();
      DoMouseDown(ButtonOf(Event->button()), ShiftStateOf(Event->modifiers(), Event->buttons()),
                  At.x(), At.y());
    }
  });
  Event->accept();
}

void TQcShadowButton::mouseDoubleClickEvent(QMouseEvent* Event) {
  // No double clicks: the second press of one is a press like any other.
  mousePressEvent(Event);
}

void TQcShadowButton::mouseMoveEvent(QMouseEvent* Event) {
  GuardedCall([&] {
    const QPoint At = Event->position().toPoint();
    if (Pressed) {
      // The face springs back while the pointer is off it and goes down again when it returns.
      const bool Inside = CurrentRect.contains(At);
      if (Inside != Down) {
        Down = Inside;
        UpdateControlCanvas();
      }
    }
    DoMouseMove(ShiftStateOf(Event->modifiers(), Event->buttons()), At.x(), At.y());
  });
  Event->accept();
}

void TQcShadowButton::mouseReleaseEvent(QMouseEvent* Event) {
  GuardedCall([&] {
    const QPoint At = Event->position().toPoint();
    if (Event->button() == Qt::LeftButton) {
      const bool IsClick = Pressed && Down;
      Down = false;
      Pressed = false;
      if (IsClick) {
        UpdateControlCanvas();
        Click();
      }
      DoMouseUp(mbLeft, ShiftStateOf(Event->modifiers(), Event->buttons()), At.x(), At.y());
    } else {
      DoMouseUp(ButtonOf(Event->button()), ShiftStateOf(Event->modifiers(), Event->buttons()),
                At.x(), At.y());
    }
  });
  Event->accept();
}
