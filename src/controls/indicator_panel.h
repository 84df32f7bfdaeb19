#pragma once
// A panel used as an indicator: coloured face, centred text, raised border; its colour is not
// themed. Reports a left click.

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
  TNotifyEvent OnClick;

 protected:
  void mouseReleaseEvent(QMouseEvent* Event) override;
};
