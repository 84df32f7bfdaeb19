#pragma once
// A notice for screen readers that is never seen: a child of no size that a reader hears when
// it shows (role Notification, named by its text), so a change is said wherever the focus is.
// The toolkit's bridge of this Qt version does not pass alert events on; a notification being
// shown it does. GUI thread only.

#include <QWidget>

class TQcAnnouncer : public QWidget {
  Q_OBJECT
 public:
  explicit TQcAnnouncer(QWidget* Parent);
  // Says Text: names the notice and shows it again. Nothing while the window is hidden.
  void Announce(const QString& Text);
};
