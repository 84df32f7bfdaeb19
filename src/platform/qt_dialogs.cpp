#include "qt_dialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

void QtDialogs::ErrorBox(const std::string& Text) {
  QMessageBox Box(QMessageBox::Critical, QStringLiteral("Error"), QString::fromStdString(Text),
                  QMessageBox::Ok, QApplication::activeWindow());
  Box.exec();
}

std::string QtDialogs::InputBox(const std::string& Caption, const std::string& Prompt,
                                const std::string& Default) {
  bool Ok = false;
  QString Answer = QInputDialog::getText(QApplication::activeWindow(), QString::fromStdString(Caption),
                                         QString::fromStdString(Prompt), QLineEdit::Normal,
                                         QString::fromStdString(Default), &Ok);
  return Ok ? Answer.toStdString() : Default;
}
