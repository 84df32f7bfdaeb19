#pragma once
// A panel used as an indicator: coloured face, centred text, raised border; its colour is not
// themed. Reports a left click. When it reports clicks and may take the focus (the program
// chooses), Enter and Space click it too, and a focus mark is drawn while it has focus that came
// from the keyboard. Its accessible interface is in shadow_accessible.h.
// GUI thread only.

#include <QLabel>

#include "shadow_controls.h"
#include "shadow_utils.h"

class TIndicatorPanel : public QLabel {
  Q_OBJECT
 public:
  explicit TIndicatorPanel(QWidget* Parent = nullptr);
  TColor Color() const;
  void SetColor(TColor Value);
  // Colour and text together, as every state change shows them.
  void ShowState(TColor Value, const QString& Text) {
    SetColor(Value);
    setText(Text);
  }
  // Runs OnClick as a click does (keys, a reader's Press action).
  void Press();
  bool FocusMarkShown() const { return hasFocus() && FKeyboardFocus; }
  TNotifyEvent OnClick;

 protected:
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void focusInEvent(QFocusEvent* Event) override;
  void focusOutEvent(QFocusEvent* Event) override;
  void paintEvent(QPaintEvent* Event) override;

 private:
  bool FKeyboardFocus = false;
};
