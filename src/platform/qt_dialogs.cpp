#include "qt_dialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QTimer>

#include <atomic>
#include <cstdio>

namespace {

std::atomic<bool> Ending{false};

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

void QtDialogs::ErrorBox(const std::string& Text) {
  if (Ending) {
    std::fprintf(stderr, "Error: %s\n", Text.c_str());
    return;
  }
  QMessageBox Box(QMessageBox::Critical, QStringLiteral("Error"), QString::fromStdString(Text),
                  QMessageBox::Ok, QApplication::activeWindow());
  Box.exec();
}

std::string QtDialogs::InputBox(const std::string& Caption, const std::string& Prompt,
                                const std::string& Default) {
  if (Ending) return Default;
  bool Ok = false;
  QString Answer = QInputDialog::getText(QApplication::activeWindow(), QString::fromStdString(Caption),
                                         QString::fromStdString(Prompt), QLineEdit::Normal,
                                         QString::fromStdString(Default), &Ok);
  return Ok ? Answer.toStdString() : Default;
}
