#pragma once
// The shadow button: a rounded or square face with an outline, a solid drop shadow on one side
// and a one-line caption; pressing it moves the face toward the shadow.
// Keyboard and screen readers: the button takes keyboard focus (radio buttons of one parent
// share one tab stop and move among themselves with the arrow keys), Space and Enter click it,
// F2, Shift+F10 and the Menu key act as a right click, and it draws a focus mark only while it
// has focus that came from the keyboard. Its accessible interface is in shadow_accessible.h.
// GUI thread only.

#include <QKeySequence>
#include <QRect>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "shadow_controls.h"

class QShortcut;

enum TBrushStyle : std::uint8_t { bsSolid = 0, bsClear = 1 };
enum TPenStyle : std::uint8_t { psSolid = 0, psClear = 1 };

// Fill of the face. Setting a colour makes the fill solid.
class TQcShadowBrush {
 public:
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TBrushStyle Style() const { return FStyle; }
  void SetStyle(TBrushStyle Value);
  // Copies colour and style (not the change handler).
  void Assign(const TQcShadowBrush& Source);

  std::function<void()> OnChange;

 private:
  void Changed();
  TColor FColor = 0x000000;
  TBrushStyle FStyle = bsSolid;
};

// Outline of the face.
class TQcShadowPen {
 public:
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  int Width() const { return FWidth; }
  void SetWidth(int Value);
  TPenStyle Style() const { return FStyle; }
  void SetStyle(TPenStyle Value);
  void Assign(const TQcShadowPen& Source);

  std::function<void()> OnChange;

 private:
  void Changed();
  TColor FColor = 0x00FF00;
  int FWidth = 1;
  TPenStyle FStyle = psSolid;
};

enum TQcShadowButtonStyle : std::uint8_t { ssRectangle = 0, ssRoundRect = 1 };
enum TQcShadowDirection : std::uint8_t { sdTopLeft = 0, sdTopRight = 1, sdBottomLeft = 2, sdBottomRight = 3 };
enum TQcTextAlignment : std::uint8_t {
  vtaLeft = 0,
  vtaCenter = 1,
  vtaRight = 2,
  vtaTopLeft = 3,
  vtaTop = 4,
  vtaTopRight = 5,
  vtaBottomLeft = 6,
  vtaBottom = 7,
  vtaBottomRight = 8,
};

// What the button is to the keyboard and to a screen reader: a plain button, one of a group of
// radio buttons (its Checked the selected one), or a toggle (Checked when on).
enum TQcButtonKind : std::uint8_t { bkPush = 0, bkRadio = 1, bkToggle = 2 };

class TQcShadowButton : public TQcGraphicImageControl {
  Q_OBJECT
 public:
  explicit TQcShadowButton(QWidget* Parent = nullptr);

  // The face fill; changing it (or its colour) repaints.
  TQcShadowBrush& Brush() { return *FBrush; }
  const TQcShadowBrush& Brush() const { return *FBrush; }
  void SetBrush(const TQcShadowBrush& Value) { FBrush->Assign(Value); }
  TQcShadowPen& Pen() { return *FPen; }
  const TQcShadowPen& Pen() const { return *FPen; }
  void SetPen(const TQcShadowPen& Value) { FPen->Assign(Value); }

  // Shadow offset; values of 2 and below are ignored.
  std::int32_t Depth() const { return FDepth; }
  void SetDepth(std::int32_t Value);
  // How far face and shadow move toward each other while pressed.
  std::int32_t DepthAdjust() const { return FDepthAdjust; }
  void SetDepthAdjust(std::int32_t Value) { FDepthAdjust = Value; }
  TColor ShadowColor() const { return FShadowColor; }
  void SetShadowColor(TColor Value);
  TColor ShadowOutline() const { return FShadowOutline; }
  void SetShadowOutline(TColor Value);
  TQcShadowButtonStyle Style() const { return FStyle; }
  void SetStyle(TQcShadowButtonStyle Value);
  TQcShadowDirection Direction() const { return FDirection; }
  void SetDirection(TQcShadowDirection Value);
  TQcTextAlignment TextAlign() const { return FTextAlign; }
  void SetTextAlign(TQcTextAlignment Value);
  TColor DisabledTextColor() const { return FDisabledTextColor; }
  void SetDisabledTextColor(TColor Value);

  TQcButtonKind Kind() const { return FKind; }
  void SetKind(TQcButtonKind Value);
  // The state a screen reader is told (the program colours the face to match); a change raises
  // one accessibility state-change event while the button is shown. Nothing is painted.
  bool Checked() const { return FChecked; }
  void SetChecked(bool Value);
  // A key that clicks the button besides the caption's "&" mnemonic, so the painted caption
  // stays as it is; it becomes the tooltip and the accessible description. Empty for none.
  QKeySequence Shortcut() const { return FShortcutKey; }
  void SetShortcut(const QKeySequence& Value);
  // Runs the click as a completed mouse click does (keys, the shortcut, a reader's Press).
  void Press();
  // The right click's handlers, from the keyboard (F2, Shift+F10, the Menu key).
  void ContextRequest();
  // The focus mark is drawn: keyboard focus that came from the keyboard.
  bool FocusMarkShown() const { return hasFocus() && FKeyboardFocus; }

  // Requests a repaint after a change of brush or pen.
  void StyleChanged();
  void UpdateControlCanvas() override;

  bool Down = false;     // drawn pressed
  bool Pressed = false;  // the left button went down on the face and is still held
  QRect CurrentRect;     // caption rectangle of the last paint: the area that takes the mouse

 protected:
  void Paint() override;
  void DrawButton();
  void UpdateControlBounds() override;
  void TextChanged() override;

  void mousePressEvent(QMouseEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void contextMenuEvent(QContextMenuEvent* Event) override;
  void focusInEvent(QFocusEvent* Event) override;
  void focusOutEvent(QFocusEvent* Event) override;

 private:
  // The radio buttons sharing this one's parent, in creation order.
  std::vector<TQcShadowButton*> RadioSiblings() const;
  // One tab stop per radio group: the focused member, else the checked one, else the first.
  void UpdateTabStop();
  // Face rectangle (and caption rectangle) for the current size, pen, depth and Down.
  QRect FaceRect() const;
  QRect CaptionRect() const;
  void LeftButtonDown(QMouseEvent* Event);

  std::int32_t FDepth = 4;
  std::int32_t FDepthAdjust = 2;
  TColor FShadowColor;
  TColor FShadowOutline;
  std::unique_ptr<TQcShadowBrush> FBrush;
  std::unique_ptr<TQcShadowPen> FPen;
  TQcShadowButtonStyle FStyle = ssRoundRect;
  TQcShadowDirection FDirection = sdBottomRight;
  TQcTextAlignment FTextAlign = vtaCenter;
  TColor FDisabledTextColor;
  QShortcut* FAccelerator = nullptr;
  QShortcut* FShortcut = nullptr;
  QKeySequence FShortcutKey;
  TQcButtonKind FKind = bkPush;
  bool FChecked = false;
  bool FKeyboardFocus = false;  // the focus came by Tab, arrow or shortcut, not by a click
};
