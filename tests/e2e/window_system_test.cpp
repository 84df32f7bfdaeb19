// The program on a real window system, X (an Xvfb of the test's own) or Wayland (a headless
// weston of its own), whichever the runner gives: it starts, connects to the simulated device,
// shows an error box that a click closes, and ends cleanly.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include <memory>
#include <string>

#include "app/program.h"
#include "app/quill_main_u.h"
#include "e2e_support.h"
#include "platform/dialogs.h"
#include "platform/qt_dialogs.h"

TEST(WindowSystem, TheProgramConnectsShowsABoxAndEnds) {
  const QString Platform = QGuiApplication::platformName();
  ASSERT_TRUE(Platform == "xcb" || Platform.startsWith("wayland")) << Platform.toStdString() << ": run through with-xvfb.sh or with-weston.sh";
  TempDir Dir;
  TSim Sim({"--port", "0"});
  const int Port = ListenPort(Sim);
  ASSERT_GT(Port, 0);
  WriteFile(Dir.File("q.ini"), "[Comm]\nMode=0\nipAddress=127.0.0.1\nipPort=" + std::to_string(Port) + "\n");
  const auto Old = SetDialogs(std::make_shared<QtDialogs>());
  {
    TProgram Program(Dir.File("q.ini"));
    TQuillMain& Main = *Program.QuillMain;
    QtDialogs::SetMainWindow(&Main);
    Main.show();
    ASSERT_TRUE(WaitFor([&] { return Main.windowHandle() && Main.windowHandle()->isExposed(); }, 30000));
    ASSERT_TRUE(WaitFor([&] { return Main.CommLed->text() == "Connected"; }, 30000));

    // The box is modal: the test looks from a timer, inside its loop, and presses its OK.
    bool Shown = false;
    QTimer Press;
    QObject::connect(&Press, &QTimer::timeout, [&] {
      for (QWidget* W : QApplication::topLevelWidgets()) {
        auto* Box = qobject_cast<QMessageBox*>(W);
        if (!Box || !Box->isVisible() || !Box->windowHandle() || !Box->windowHandle()->isExposed()) continue;
        Shown = Box->text() == "Communications failed" && Box->windowTitle() == "Error";
        Box->button(QMessageBox::Ok)->click();
      }
    });
    Press.start(20);
    QTimer::singleShot(0, [] { GetDialogs().ErrorBox("Communications failed"); });
    ASSERT_TRUE(WaitFor([&] { return Shown; }, 30000));
    Press.stop();
    EXPECT_EQ(Main.CommLed->text(), "Connected") << "the link went on while the box was open";
    Main.close();
  }
  SetDialogs(Old);
  QtDialogs::SetMainWindow(nullptr);
}
