#pragma once
// What screen readers are told about the drawn controls (through the toolkit's accessibility
// interfaces, which reach AT-SPI on Linux): the shadow button as a push, radio or toggle button
// named by its caption, with its checked state and a Press action that runs the same click as
// the mouse (a toggle is presented as a check box, as the toolkit presents its own toggle
// buttons); the indicator panel as a button (when it reports clicks) or a text, named by its
// accessible name or its text. The toolkit asks for an interface only when a client does, so
// without one none is made.
// GUI thread only.

#include <QAccessibleWidget>

class TQcShadowButton;
class TIndicatorPanel;

// Installs the factory that makes the interfaces below, once per process; the controls call it
// as they are made.
void InstallControlsAccessibility();

class TQcShadowButtonAccessible : public QAccessibleWidget {
 public:
  explicit TQcShadowButtonAccessible(TQcShadowButton* Button);
  QAccessible::Role role() const override;
  QAccessible::State state() const override;
  QString text(QAccessible::Text Kind) const override;
  QStringList actionNames() const override;
  void doAction(const QString& ActionName) override;
  QStringList keyBindingsForAction(const QString& ActionName) const override;

 private:
  TQcShadowButton* Button() const;
};

class TIndicatorPanelAccessible : public QAccessibleWidget {
 public:
  explicit TIndicatorPanelAccessible(TIndicatorPanel* Panel);
  QAccessible::Role role() const override;
  QString text(QAccessible::Text Kind) const override;
  QStringList actionNames() const override;
  void doAction(const QString& ActionName) override;

 private:
  TIndicatorPanel* Panel() const;
};

// The caption as read aloud: "&" marks removed, "&&" read as one "&".
QString CaptionForReader(const std::string& Caption);
