#include "shadow_accessible.h"

#include <QAccessible>

#include "controls/indicator_panel.h"
#include "controls/shadow_buttons.h"
#include "platform/error_handler.h"

namespace {

QAccessibleInterface* ControlsFactory(const QString& ClassName, QObject* Object) {
  if (ClassName == QLatin1String("TQcShadowButton"))
    if (auto* B = qobject_cast<TQcShadowButton*>(Object)) return new TQcShadowButtonAccessible(B);
  if (ClassName == QLatin1String("TQcAnnouncer") && Object->isWidgetType())
    return new QAccessibleWidget(static_cast<QWidget*>(Object), QAccessible::Notification);
  if (ClassName == QLatin1String("TIndicatorPanel"))
    if (auto* P = qobject_cast<TIndicatorPanel*>(Object)) return new TIndicatorPanelAccessible(P);
  return nullptr;
}

}  // namespace

void InstallControlsAccessibility() {
  static const bool Installed = [] {
    QAccessible::installFactory(ControlsFactory);
    return true;
  }();
  (void)Installed;
}

QString CaptionForReader(const std::string& Caption) {
  const QString In = QString::fromStdString(Caption);
  QString Out;
  for (qsizetype I = 0; I < In.size(); ++I) {
    if (In[I] == QLatin1Char('&')) {
      if (I + 1 < In.size() && In[I + 1] == QLatin1Char('&')) Out += QLatin1Char('&');
      ++I;
      if (I < In.size() && In[I] != QLatin1Char('&')) Out += In[I];
      continue;
    }
    Out += In[I];
  }
  return Out;
}

// ---------------------------------------------------------------------------------------------
// TQcShadowButtonAccessible

TQcShadowButtonAccessible::TQcShadowButtonAccessible(TQcShadowButton* Button)
    : QAccessibleWidget(Button, QAccessible::Button) {}

TQcShadowButton* TQcShadowButtonAccessible::Button() const { return static_cast<TQcShadowButton*>(widget()); }

QAccessible::Role TQcShadowButtonAccessible::role() const {
  switch (Button()->Kind()) {
    case bkRadio: return QAccessible::RadioButton;
    // As the toolkit presents its own toggle buttons: this Qt has no toggle role, and its
    // AT-SPI bridge shows a checkable push button without saying whether it is on.
    case bkToggle: return QAccessible::CheckBox;
    case bkPush: break;
  }
  return QAccessible::Button;
}

QAccessible::State TQcShadowButtonAccessible::state() const {
  QAccessible::State S = QAccessibleWidget::state();
  const TQcShadowButton* B = Button();
  // Every member of a radio group can take the focus by the arrow keys, although only one is
  // a tab stop.
  S.focusable = B->isEnabled();
  if (B->Kind() != bkPush) {
    S.checkable = true;
    S.checked = B->Checked();
  }
  S.pressed = B->Down;
  return S;
}

QString TQcShadowButtonAccessible::text(QAccessible::Text Kind) const {
  const TQcShadowButton* B = Button();
  switch (Kind) {
    case QAccessible::Name:
      return B->accessibleName().isEmpty() ? CaptionForReader(B->Caption()) : B->accessibleName();
    case QAccessible::Accelerator:
      return B->Shortcut().toString(QKeySequence::NativeText);
    default:
      return QAccessibleWidget::text(Kind);
  }
}

QStringList TQcShadowButtonAccessible::actionNames() const {
  QStringList Names;
  if (Button()->isEnabled()) Names << pressAction();
  return Names + QAccessibleWidget::actionNames();
}

void TQcShadowButtonAccessible::doAction(const QString& ActionName) {
  if (ActionName == pressAction()) {
    // Reached from the reader's bus call inside the event loop: nothing may escape into it.
    GuardedCall([this] { Button()->Press(); });
    return;
  }
  QAccessibleWidget::doAction(ActionName);
}

QStringList TQcShadowButtonAccessible::keyBindingsForAction(const QString& ActionName) const {
  if (ActionName == pressAction() && !Button()->Shortcut().isEmpty())
    return {Button()->Shortcut().toString(QKeySequence::NativeText)};
  return QAccessibleWidget::keyBindingsForAction(ActionName);
}

// ---------------------------------------------------------------------------------------------
// TIndicatorPanelAccessible

TIndicatorPanelAccessible::TIndicatorPanelAccessible(TIndicatorPanel* Panel)
    : QAccessibleWidget(Panel, QAccessible::StaticText) {}

TIndicatorPanel* TIndicatorPanelAccessible::Panel() const { return static_cast<TIndicatorPanel*>(widget()); }

QAccessible::Role TIndicatorPanelAccessible::role() const {
  return Panel()->OnClick ? QAccessible::Button : QAccessible::StaticText;
}

QString TIndicatorPanelAccessible::text(QAccessible::Text Kind) const {
  if (Kind == QAccessible::Name)
    return Panel()->accessibleName().isEmpty() ? Panel()->text() : Panel()->accessibleName();
  return QAccessibleWidget::text(Kind);
}

QStringList TIndicatorPanelAccessible::actionNames() const {
  QStringList Names;
  if (Panel()->OnClick && Panel()->isEnabled()) Names << pressAction();
  return Names + QAccessibleWidget::actionNames();
}

void TIndicatorPanelAccessible::doAction(const QString& ActionName) {
  if (ActionName == pressAction()) {
    GuardedCall([this] { Panel()->Press(); });
    return;
  }
  QAccessibleWidget::doAction(ActionName);
}
