#include "qt_dialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <vector>
#include <cstdio>

namespace {

std::atomic<bool> Ending{false};
QPointer<QWidget> MainWindow;

// The error boxes open now, oldest first (nested: each one's loop runs inside the one before).
std::vector<QPointer<QMessageBox>> OpenBoxes;

// The window a box belongs to: its owner while shown; else the active window (the one below
// it when that is one of our boxes); else the main window while shown; else none.
QWidget* BoxParent(QWidget* Owner) {
  if (Owner && Owner->isVisible()) return Owner->window();
  QWidget* Active = QApplication::activeWindow();
  for (const auto& Box : OpenBoxes)
    if (Box && Box == Active) Active = Box->parentWidget();
  if (Active) return Active->window();
  if (MainWindow && MainWindow->isVisible()) return MainWindow;
  return nullptr;
}

class TErrorBox : public QMessageBox {
 public:
  TErrorBox(const std::string& Text, QWidget* Parent)
      : QMessageBox(QMessageBox::Critical, QCoreApplication::translate("QtDialogs", "Error"), QString::fromStdString(Text), QMessageBox::Ok, Parent) {
    OpenBoxes.emplace_back(this);
  }
  ~TErrorBox() override {
    std::erase_if(OpenBoxes, [this](const QPointer<QMessageBox>& B) { return !B || B == this; });
  }

 protected:
  void showEvent(QShowEvent* Event) override {
    QMessageBox::showEvent(Event);
    Place();
  }

 private:
  // Centred on the parent (its size is final only now), or stacked on the box beneath; kept
  // on the parent's screen.
  void Place() {
    QMessageBox* Below = nullptr;
    for (const auto& B : OpenBoxes)
      if (B && B != this && B->isVisible()) Below = B;
    QPoint At;
    if (Below) At = Below->pos() + QPoint(QtDialogs::StackOffset, QtDialogs::StackOffset);
    else if (QWidget* P = parentWidget()) At = P->window()->frameGeometry().center() - QPoint(width() / 2, height() / 2);
    else return;  // the toolkit's own placement: no window of ours to go by
    if (QScreen* Screen = (parentWidget() ? parentWidget()->screen() : screen())) {
      const QRect Area = Screen->availableGeometry();
      At.setX(std::clamp(At.x(), Area.left(), std::max(Area.left(), Area.right() + 1 - frameGeometry().width())));
      At.setY(std::clamp(At.y(), Area.top(), std::max(Area.top(), Area.bottom() + 1 - frameGeometry().height())));
    }
    move(At);
  }
};

void CloseOpenBoxes() {
  while (QWidget* Modal = QApplication::activeModalWidget()) {
    Modal->close();
    if (QApplication::activeModalWidget() == Modal) break;
  }
}

}  // namespace

void QtDialogs::SetEnding() {
  Ending = true;
  CloseOpenBoxes();
  // A box on its way up when the end came is closed as soon as it shows.
  auto* Sweep = new QTimer(QCoreApplication::instance());
  QObject::connect(Sweep, &QTimer::timeout, Sweep, &CloseOpenBoxes);
  Sweep->start(50);
}

void QtDialogs::SetMainWindow(QWidget* Window) { MainWindow = Window; }

void QtDialogs::ErrorBox(const std::string& Text) { ErrorBoxFor(nullptr, Text); }

void QtDialogs::ErrorBoxFor(QWidget* Owner, const std::string& Text) {
  if (Ending) {
    std::fprintf(stderr, "Error: %s\n", Text.c_str());
    return;
  }
  TErrorBox Box(Text, BoxParent(Owner));
  Box.exec();
}

bool QtDialogs::ErrorBoxOpen(const std::string& Text) const {
  const QString Q = QString::fromStdString(Text);
  return std::any_of(OpenBoxes.begin(), OpenBoxes.end(), [&](const QPointer<QMessageBox>& B) { return B && B->isVisible() && B->text() == Q; });
}

int QtDialogs::CloseErrorBoxes(const std::vector<std::string>& Texts) {
  int Closed = 0;
  // Newest first: each box's loop runs inside the one before, and ends as its box closes.
  const auto Open = OpenBoxes;
  for (auto It = Open.rbegin(); It != Open.rend(); ++It) {
    QMessageBox* B = *It;
    if (!B || !B->isVisible() || std::find(Texts.begin(), Texts.end(), B->text().toStdString()) == Texts.end()) continue;
    B->done(QMessageBox::Ok);
    ++Closed;
  }
  return Closed;
}

std::string QtDialogs::InputBox(const std::string& Caption, const std::string& Prompt,
                                const std::string& Default) {
  if (Ending) return Default;
  bool Ok = false;
  QString Answer = QInputDialog::getText(BoxParent(nullptr), QString::fromStdString(Caption),
                                         QString::fromStdString(Prompt), QLineEdit::Normal,
                                         QString::fromStdString(Default), &Ok);
  return Ok ? Answer.toStdString() : Default;
}
