#include "shadow_controls.h"

#include <QEnterEvent>
#include <QEvent>
#include <QPainter>

#include <algorithm>

#include "platform/error_handler.h"
#include "platform/text_util.h"

TShiftState ShiftStateOf(Qt::KeyboardModifiers Modifiers, Qt::MouseButtons Buttons) {
  TShiftState S = 0;
  if (Modifiers & Qt::ShiftModifier) S |= ssShift;
  if (Modifiers & Qt::AltModifier) S |= ssAlt;
  if (Modifiers & Qt::ControlModifier) S |= ssCtrl;
  if (Buttons & Qt::LeftButton) S |= ssLeft;
  if (Buttons & Qt::RightButton) S |= ssRight;
  if (Buttons & Qt::MiddleButton) S |= ssMiddle;
  return S;
}

// ---------------------------------------------------------------------------------------------
// TQcGraphicControl

TQcGraphicControl::TQcGraphicControl(QWidget* Parent) : QWidget(Parent) {}

void TQcGraphicControl::BeginUpdate() { ++FUpdateCount; }

void TQcGraphicControl::EndUpdate() {
  if (FUpdateCount > 0) --FUpdateCount;
  UpdateControlCanvas();
}

void TQcGraphicControl::SetCaption(const std::string& Value) {
  if (Value == FCaption) return;
  FCaption = Value;
  TextChanged();
}

TColor TQcGraphicControl::Color() const {
  if (FParentColor) {
    const QWidget* From = parentWidget() ? parentWidget() : this;
    return QColorToColor(From->palette().color(QPalette::Window));
  }
  return FColor;
}

void TQcGraphicControl::SetColor(TColor Value) {
  FColor = Value;
  FParentColor = false;
  UpdateControlCanvas();
}

void TQcGraphicControl::SetParentColor(bool Value) {
  if (Value == FParentColor) return;
  FParentColor = Value;
  UpdateControlCanvas();
}

void TQcGraphicControl::SetFontColor(TColor Value) {
  if (Value == FFontColor) return;
  FFontColor = Value;
  FontChanged();
}

void TQcGraphicControl::UpdateControlCanvas() {
  if (FUpdateCount > 0) return;
  // A hidden control paints when it is shown; asking now would only queue work.
  if (isVisible()) repaint();
}

void TQcGraphicControl::MouseEnter() {
  if (OnMouseEnter) OnMouseEnter(this);
}

void TQcGraphicControl::MouseLeave() {
  if (OnMouseLeave) OnMouseLeave(this);
}

void TQcGraphicControl::FontChanged() {
  UpdateControlCanvas();
  if (OnFontChanged) OnFontChanged(this);
}

void TQcGraphicControl::TextChanged() {
  UpdateControlCanvas();
  if (OnTextChanged) OnTextChanged(this);
}

void TQcGraphicControl::changeEvent(QEvent* Event) {
  GuardedCall([&] {
    switch (Event->type()) {
      case QEvent::FontChange:
        FontChanged();
        break;
      case QEvent::EnabledChange:
        UpdateControlCanvas();
        break;
      case QEvent::ParentChange:
      case QEvent::PaletteChange:
        if (FParentColor) UpdateControlCanvas();
        break;
      default:
        break;
    }
  });
  QWidget::changeEvent(Event);
}

void TQcGraphicControl::enterEvent(QEnterEvent* Event) {
  GuardedCall([&] { MouseEnter(); });
  QWidget::enterEvent(Event);
}

void TQcGraphicControl::leaveEvent(QEvent* Event) {
  GuardedCall([&] { MouseLeave(); });
  QWidget::leaveEvent(Event);
}

void TQcGraphicControl::resizeEvent(QResizeEvent* Event) {
  GuardedCall([&] { UpdateControlBounds(); });
  QWidget::resizeEvent(Event);
}

void TQcGraphicControl::DoMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TQcGraphicControl::DoMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

void TQcGraphicControl::DoMouseMove(TShiftState Shift, int X, int Y) {
  if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

void TQcGraphicControl::Click() {
  if (OnClick) OnClick(this);
}

// ---------------------------------------------------------------------------------------------
// TQcGraphicImageControl

TQcGraphicImageControl::TQcGraphicImageControl(QWidget* Parent) : TQcGraphicControl(Parent) {
  // Opaque until made transparent: the paint covers every pixel, so nothing beneath is drawn.
  setAttribute(Qt::WA_OpaquePaintEvent, true);
}

void TQcGraphicImageControl::SetTransparent(bool Value) {
  if (Value == FTransparent) return;
  FTransparent = Value;
  setAttribute(Qt::WA_OpaquePaintEvent, !Value);
  FRefreshOverlay = true;
  UpdateControlCanvas();
}

void TQcGraphicImageControl::UpdateControlCanvas() {
  // A repaint of the control's own state reuses the background captured at the last paint.
  if (FTransparent && !FOverlay.isNull()) FRefreshOverlay = false;
  TQcGraphicControl::UpdateControlCanvas();
}

void TQcGraphicImageControl::CopyParentImage() {
  // The toolkit composes the parent's painting beneath a control that is not opaque, so the
  // background under the control is a clear layer of the control's size.
  FOverlay = QImage(std::max(1, width()), std::max(1, height()), QImage::Format_ARGB32_Premultiplied);
  FOverlay.fill(Qt::transparent);
}

void TQcGraphicImageControl::ClearBitmapCanvas() {
  QPainter& Canvas = BitmapCanvas();
  Canvas.setBrush(Qt::SolidPattern);
  if (FTransparent) {
    if (FRefreshOverlay || FOverlay.size() != FBitmapImage.size()) CopyParentImage();
    Canvas.setCompositionMode(QPainter::CompositionMode_Source);
    Canvas.drawImage(0, 0, FOverlay);
    Canvas.setCompositionMode(QPainter::CompositionMode_SourceOver);
  } else {
    Canvas.fillRect(FBitmapImage.rect(), ColorToQColor(Color()));
  }
}

void TQcGraphicImageControl::Paint() {
  FBitmapCanvas->end();
  if (width() > 0 && height() > 0) DestCanvas->drawImage(0, 0, FBitmapImage);
  if (FTransparent) FRefreshOverlay = true;
}

void TQcGraphicImageControl::paintEvent(QPaintEvent*) {
  GuardedCall([&] {
    const QSize Size(std::max(1, width()), std::max(1, height()));
    if (FBitmapImage.size() != Size) FBitmapImage = QImage(Size, QImage::Format_ARGB32_Premultiplied);
    QPainter Dest(this);
    QPainter Bitmap(&FBitmapImage);
    DestCanvas = &Dest;
    FBitmapCanvas = &Bitmap;
    const ScopeExit Reset([this] {
      DestCanvas = nullptr;
      FBitmapCanvas = nullptr;
    });
    Paint();
  });
}
