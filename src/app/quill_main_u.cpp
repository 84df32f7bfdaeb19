#include "quill_main_u.h"

#include <QCloseEvent>

#include "platform/error_handler.h"

TQuillMain::TQuillMain(QWidget* Parent) : QWidget(Parent) {
  setWindowTitle(QStringLiteral("QUILL-2 Controller V1.0"));
  setFixedSize(407, 358);
}

void TQuillMain::closeEvent(QCloseEvent* Event) {
  GuardedCall([&] {
    if (OnFormClose) OnFormClose();
  });
  Event->accept();
}
