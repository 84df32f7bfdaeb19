// The Communications window on a real X screen (Xvfb, its size given by the runner): at its
// own size where it fits; on a smaller screen as large as fits, its content scrolling, every
// control still reachable.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QWindow>

#include <string>

#include "link/comm_control_u.h"
#include "platform/dialogs.h"
#include "test_support.h"

TEST(SmallScreen, TheCommunicationsWindowFitsItsScreen) {
  ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "runs on an X server of its size (with-xvfb.sh)";
  TempDir Dir;
  ScopedScriptedDialogs Script;
  WriteFile(Dir.File("q.ini"), "[Comm]\nMode=1\nPort=0\n");
  TCommControl::TLinks Links;
  Links.SettingsFile = Dir.File("q.ini");
  Links.GetPortList = [] { return std::vector<std::string>{"Disable"}; };
  TCommControl Comm(Links);
  Comm.FormCreate();
  Comm.show();
  ASSERT_TRUE(WaitFor([&] { return Comm.isVisible() && Comm.windowHandle() && Comm.windowHandle()->isExposed(); }, 30000));
  const QRect Work = Comm.screen()->availableGeometry();
  const QSize OwnSize(906, 679);
  auto* View = Comm.findChild<QScrollArea*>(QString(), Qt::FindDirectChildrenOnly);
  const std::string Size = std::to_string(Work.width()) + "x" + std::to_string(Work.height());
  EXPECT_TRUE(Comm.grab().save(QString::fromStdString(ScreenshotPath("comm-window-" + Size + ".png"))));
  if (Work.width() >= OwnSize.width() && Work.height() >= OwnSize.height() + 40) {
    // Room enough: exactly its own size, no view in between.
    EXPECT_EQ(Comm.size(), OwnSize);
    EXPECT_EQ(View, nullptr);
    return;
  }
  ASSERT_NE(View, nullptr);
  EXPECT_TRUE(Work.contains(Comm.frameGeometry())) << "the whole window, frame included, on the screen: "
      << Comm.frameGeometry().x() << "," << Comm.frameGeometry().y() << " " << Comm.frameGeometry().width() << "x" << Comm.frameGeometry().height() << " in " << Size;
  EXPECT_EQ(View->widget()->size(), OwnSize);
  EXPECT_EQ(View->size(), Comm.size());
  // The controls keep their places in the content, and the far corner's can be scrolled to.
  QPushButton* Ok = nullptr;
  for (auto* B : Comm.findChildren<QPushButton*>())
    if (B->text() == "OK") Ok = B;
  ASSERT_NE(Ok, nullptr);
  EXPECT_TRUE(Ok->isVisibleTo(&Comm));
  View->ensureWidgetVisible(Ok);
  QApplication::processEvents();
  const QRect OkInWindow(Ok->mapTo(&Comm, QPoint(0, 0)), Ok->size());
  EXPECT_TRUE(QRect(QPoint(0, 0), Comm.size()).contains(OkInWindow));
  // Scrolled to the far corner, the content's last pixel is in the window.
  View->horizontalScrollBar()->setValue(View->horizontalScrollBar()->maximum());
  View->verticalScrollBar()->setValue(View->verticalScrollBar()->maximum());
  QApplication::processEvents();
  const QPoint Corner = View->widget()->mapTo(&Comm, QPoint(OwnSize.width() - 1, OwnSize.height() - 1));
  EXPECT_TRUE(View->viewport()->geometry().contains(Corner));
  EXPECT_TRUE(Comm.grab().save(QString::fromStdString(ScreenshotPath("comm-window-" + Size + "-scrolled.png"))));
}
