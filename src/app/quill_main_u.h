#pragma once
// The main window: band, automatic mode and antenna of the followed radio.

#include <QWidget>

#include <functional>

class TQuillMain : public QWidget {
  Q_OBJECT
 public:
  explicit TQuillMain(QWidget* Parent = nullptr);

  // Runs when the window closes (the shutdown sequence); set by whoever wires the windows.
  std::function<void()> OnFormClose;

 protected:
  void closeEvent(QCloseEvent* Event) override;
};
