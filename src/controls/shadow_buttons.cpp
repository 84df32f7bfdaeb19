#include "shadow_buttons.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>

#include <algorithm>

#include "controls/shadow_accessible.h"
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
  // Reached by Tab only: a click must not take the focus from where the user left it.
  setFocusPolicy(Qt::TabFocus);
  InstallControlsAccessibility();
}

void TQcShadowButton::SetKind(TQcButtonKind Value) {
  if (Value == FKind) return;
  FKind = Value;
  setFocusPolicy(Qt::TabFocus);
  for (TQcShadowButton* B : RadioSiblings()) B->UpdateTabStop();
}

void TQcShadowButton::SetChecked(bool Value) {
  if (Value == FChecked) return;
  FChecked = Value;
  if (FKind == bkRadio) UpdateTabStop();
  // A hidden window says nothing; a reader asks for the state when it shows.
  if (QAccessible::isActive() && isVisible()) {
    QAccessible::State Changed;
    Changed.checked = true;
    QAccessibleStateChangeEvent Event(this, Changed);
    QAccessible::updateAccessibility(&Event);
  }
}

void TQcShadowButton::SetShortcut(const QKeySequence& Value) {
  if (Value == FShortcutKey) return;
  FShortcutKey = Value;
  if (!FShortcut) {
    FShortcut = new QShortcut(this);
    connect(FShortcut, &QShortcut::activated, this, [this] { GuardedCall([this] { Press(); }); });
  }
  FShortcut->setKey(Value);
  FShortcut->setEnabled(!Value.isEmpty());
  setToolTip(Value.toString(QKeySequence::NativeText));
}

void TQcShadowButton::Press() {
  if (isEnabled()) Click();
}

void TQcShadowButton::ContextRequest() {
  if (!isEnabled()) return;
  // As a right click in the middle of the face: the press, then the release.
  const QPoint At = CurrentRect.center();
  DoMouseDown(mbRight, ssRight, At.x(), At.y());
  DoMouseUp(mbRight, 0, At.x(), At.y());
}

std::vector<TQcShadowButton*> TQcShadowButton::RadioSiblings() const {
  std::vector<TQcShadowButton*> Group;
  if (FKind != bkRadio) return Group;
  if (!parentWidget()) return {const_cast<TQcShadowButton*>(this)};
  for (QObject* C : parentWidget()->children()) {
    auto* B = qobject_cast<TQcShadowButton*>(C);
    if (B && B->FKind == bkRadio) Group.push_back(B);
  }
  return Group;
}

void TQcShadowButton::UpdateTabStop() {
  const std::vector<TQcShadowButton*> Group = RadioSiblings();
  if (Group.empty()) return;
  auto Stop = std::find_if(Group.begin(), Group.end(), [](TQcShadowButton* B) { return B->hasFocus(); });
  if (Stop == Group.end()) Stop = std::find_if(Group.begin(), Group.end(), [](TQcShadowButton* B) { return B->FChecked; });
  if (Stop == Group.end()) Stop = Group.begin();
  for (TQcShadowButton* B : Group) B->setFocusPolicy(B == *Stop ? Qt::TabFocus : Qt::NoFocus);
}

void TQcShadowButton::keyPressEvent(QKeyEvent* Event) {
  const int Key = Event->key();
  const Qt::KeyboardModifiers Mods = Event->modifiers() & ~Qt::KeypadModifier;
  bool Taken = true;
  GuardedCall([&] {
    if ((Key == Qt::Key_Space || Key == Qt::Key_Return || Key == Qt::Key_Enter) && Mods == Qt::NoModifier) {
      if (!Event->isAutoRepeat()) Press();
    } else if ((Key == Qt::Key_F2 && Mods == Qt::NoModifier) || (Key == Qt::Key_F10 && Mods == Qt::ShiftModifier) ||
               Key == Qt::Key_Menu) {
      ContextRequest();
    } else if (FKind == bkRadio && Mods == Qt::NoModifier &&
               (Key == Qt::Key_Up || Key == Qt::Key_Down || Key == Qt::Key_Left || Key == Qt::Key_Right)) {
      // Within the group, round and round; the arrows move the focus and select nothing (a
      // selection is a command to the device: Space or Enter sends it).
      const std::vector<TQcShadowButton*> Group = RadioSiblings();
      const auto Count = std::ptrdiff_t(Group.size());
      const std::ptrdiff_t At = std::find(Group.begin(), Group.end(), this) - Group.begin();
      const std::ptrdiff_t Step = (Key == Qt::Key_Up || Key == Qt::Key_Left) ? Count - 1 : 1;
      for (std::ptrdiff_t N = 1; N < Count; ++N) {
        TQcShadowButton* Next = Group[std::size_t((At + Step * N) % Count)];
        if (Next->isEnabled() && Next->isVisible()) {
          Next->setFocus(Qt::TabFocusReason);
          break;
        }
      }
    } else {
      Taken = false;
    }
  });
  if (Taken) Event->accept();
  else TQcGraphicImageControl::keyPressEvent(Event);
}

void TQcShadowButton::contextMenuEvent(QContextMenuEvent* Event) {
  // The mouse's right button is handled as a press; this is the keyboard's request.
  if (Event->reason() == QContextMenuEvent::Keyboard) GuardedCall([this] { ContextRequest(); });
  Event->accept();
}

void TQcShadowButton::focusInEvent(QFocusEvent* Event) {
  switch (Event->reason()) {
    case Qt::MouseFocusReason: FKeyboardFocus = false; break;
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason: break;  // back where it was, marked as it was
    default: FKeyboardFocus = true; break;
  }
  GuardedCall([this] {
    if (FKind == bkRadio) UpdateTabStop();
    UpdateControlCanvas();
  });
  TQcGraphicImageControl::focusInEvent(Event);
}

void TQcShadowButton::focusOutEvent(QFocusEvent* Event) {
  GuardedCall([this] { UpdateControlCanvas(); });
  TQcGraphicImageControl::focusOutEvent(Event);
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
  if (FocusMarkShown()) {
    // A dotted rectangle inside the face, in the caption's colour.
    Canvas.setPen(QPen(ColorToQColor(FontColor()), 1, Qt::DotLine));
    Canvas.drawRect(R.adjusted(1, 1, -2, -2));
  }
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
