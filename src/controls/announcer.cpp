#include "announcer.h"

#include "controls/shadow_accessible.h"

TQcAnnouncer::TQcAnnouncer(QWidget* Parent) : QWidget(Parent) {
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setGeometry(0, 0, 0, 0);
  InstallControlsAccessibility();
  hide();
}

void TQcAnnouncer::Announce(const QString& Text) {
  if (!window()->isVisible()) return;
  hide();
  setAccessibleName(Text);
  show();
}
