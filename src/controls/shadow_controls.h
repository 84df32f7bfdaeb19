#pragma once
// Base classes of the drawn controls: a windowless-style control with update nesting and mouse
// and text hooks, and one that composes every paint in an off-screen image first.

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>

#include "shadow_utils.h"

class QPainter;

enum TMouseButton : std::uint8_t { mbLeft = 0, mbRight = 1, mbMiddle = 2 };

// Keys and buttons held during a mouse event.
using TShiftState = std::uint8_t;
inline constexpr TShiftState ssShift = 0x01;
inline constexpr TShiftState ssAlt = 0x02;
inline constexpr TShiftState ssCtrl = 0x04;
inline constexpr TShiftState ssLeft = 0x08;
inline constexpr TShiftState ssRight = 0x10;
inline constexpr TShiftState ssMiddle = 0x20;
inline constexpr TShiftState ssDouble = 0x40;

using TNotifyEvent = std::function<void(QObject* Sender)>;
using TMouseEvent =
    std::function<void(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(QObject* Sender, TShiftState Shift, int X, int Y)>;

class TQcGraphicControl : public QWidget {
  Q_OBJECT
 public:
  explicit TQcGraphicControl(QWidget* Parent = nullptr);

  // Changes between BeginUpdate and the matching EndUpdate repaint once, at the end.
  void BeginUpdate();
  void EndUpdate();

  // Caption as UTF-8; "&" marks the accelerator character.
  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& Value);
  // Background; follows the parent's background while ParentColor is set.
  TColor Color() const;
  void SetColor(TColor Value);
  bool ParentColor() const { return FParentColor; }
  void SetParentColor(bool Value);
  // Colour of the caption text.
  TColor FontColor() const { return FFontColor; }
  void SetFontColor(TColor Value);
  std::int32_t Tag() const { return FTag; }
  void SetTag(std::int32_t Value) { FTag = Value; }
  const std::string& Version() const { return FVersion; }

  TNotifyEvent OnClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TNotifyEvent OnFontChanged;
  TNotifyEvent OnTextChanged;

  // The repaint request behind every setter and state change.
  virtual void UpdateControlCanvas();

 protected:
  virtual void UpdateControlBounds() {}
  virtual void AdjustControlSize() {}
  virtual void MouseEnter();
  virtual void MouseLeave();
  virtual void FontChanged();
  virtual void TextChanged();

  void changeEvent(QEvent* Event) override;
  void enterEvent(QEnterEvent* Event) override;
  void leaveEvent(QEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;

  // The usual control handling of mouse events: the On… handlers.
  void DoMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  void DoMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  void DoMouseMove(TShiftState Shift, int X, int Y);
  void Click();

  std::string FVersion = "1.0";
  std::int32_t FUpdateCount = 0;

 private:
  std::string FCaption;
  TColor FColor = 0xF0F0F0;
  bool FParentColor = true;
  TColor FFontColor = 0x000000;
  std::int32_t FTag = 0;
};

class TQcGraphicImageControl : public TQcGraphicControl {
  Q_OBJECT
 public:
  explicit TQcGraphicImageControl(QWidget* Parent = nullptr);

  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value);

  void UpdateControlCanvas() override;

 protected:
  // Prepares the off-screen image for a new paint: the background under the control when
  // transparent, Color when opaque.
  virtual void ClearBitmapCanvas();
  // Composes the control in the off-screen image; this base version copies the finished image
  // onto the control in one block.
  virtual void Paint();
  void paintEvent(QPaintEvent* Event) override;

  // Valid during Paint: the painter on the off-screen image and the one on the control.
  QPainter& BitmapCanvas() { return *FBitmapCanvas; }

  QImage FOverlay;       // the background under the control, kept between own repaints
  QImage FBitmapImage;   // the off-screen image, sized to the control
  bool FRefreshOverlay = true;
  bool FTransparent = false;
  QPainter* DestCanvas = nullptr;

 private:
  void CopyParentImage();
  QPainter* FBitmapCanvas = nullptr;
};

// Keys and buttons of a Qt mouse event as a shift state.
TShiftState ShiftStateOf(Qt::KeyboardModifiers Modifiers, Qt::MouseButtons Buttons);
