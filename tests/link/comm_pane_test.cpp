// The terminal pane in the Communications window: its place and defaults, the device's text in
// it over the LAN, what is typed in it going to the device, Enter and Esc as OK and Cancel, and
// what it looks like.

#include <gtest/gtest.h>

#include <poll.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include <memory>

#include "devices/net_port.h"
#include "devices/net_test_support.h"
#include "link/comm_control_u.h"
#include "link/get_com_ports_u.h"
#include "platform/dialogs.h"
#include "platform/error_handler.h"
#include "platform/ini_file.h"
#include "terminal/terminal_control.h"
#include "test_support.h"

namespace {

class PaneTest : public ::testing::Test {
 protected:
  void TearDown() override {
    Comm.reset();
    if (Fd >= 0) close(Fd);
  }
  void Create(const std::string& Settings) {
    WriteFile(Dir.File("quill.ini"), Settings);
    TCommControl::TLinks Links;
    Links.SettingsFile = Dir.File("quill.ini");
    Links.ExecuteAction = [](TBasicAction&) { return true; };
    Links.GetPortList = [] { return std::vector<std::string>{"Disable"}; };
    Links.ExtractPortNumber = &TGetComPorts::ExtractPortNumber;
    Comm = std::make_unique<TCommControl>(Links);
    Comm->Timer1->stop();
    GuardedCall([&] { Comm->FormCreate(); });
  }
  std::string LanSettings() const {
    return "[Comm]\nPort=0\nMode=0\nipAddress=127.0.0.1\nipPort=" + std::to_string(Listener.Port) + "\n";
  }
  bool Accept() {
    return WaitFor([&] {
      pollfd P{Listener.Fd, POLLIN, 0};
      if (poll(&P, 1, 0) > 0) Fd = accept4(Listener.Fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      return Fd >= 0;
    });
  }
  bool Expect(const std::string& S) {
    return WaitFor([&] {
      char Buf[4096];
      ssize_t N;
      while ((N = recv(Fd, Buf, sizeof Buf, 0)) > 0) Received.append(Buf, size_t(N));
      return Received.find(S) != std::string::npos;
    });
  }
  void Key(Qt::Key K, const QString& Text = {}, Qt::KeyboardModifiers Mods = Qt::NoModifier) {
    QKeyEvent Press(QEvent::KeyPress, K, Mods, Text);
    QApplication::sendEvent(Comm->QpTerminal1, &Press);
  }

  TempDir Dir;
  ScopedScriptedDialogs Script;
  TLoopbackListener Listener;
  int Fd = -1;
  std::string Received;
  std::unique_ptr<TCommControl> Comm;
};

}  // namespace

TEST_F(PaneTest, PlaceDefaultsAndScrollBars) {
  Create("[Comm]\nMode=-1\n");
  TQpTerminal& T = *Comm->QpTerminal1;
  ProcessMessages();
  EXPECT_EQ(T.geometry(), QRect(448, 8, 405, 337));
  EXPECT_EQ(T.ComPort(), Comm->Port.get());
  EXPECT_EQ(Comm->Port->MasterTerminal(), &T);
  EXPECT_FALSE(T.Scrollback());
  EXPECT_EQ(T.Capture(), cmOff);
  EXPECT_EQ(T.CaptureFile(), "QPTERM.CAP");
  EXPECT_EQ(T.Color(), 0x000000u);
  EXPECT_EQ(T.FontColor(), 0xC0C0C0u);
  EXPECT_EQ(T.Columns(), 80);
  EXPECT_EQ(T.Rows(), 24);
  EXPECT_EQ(T.ScrollbackRows(), 200);
  EXPECT_EQ(QSize(T.GetTotalCharWidth(), T.GetTotalCharHeight()), QSize(8, 12));
  // 401 pixels hold 50 whole columns and part of a 51st: a horizontal bar, and no vertical one.
  EXPECT_TRUE(T.UsingHScrollBar());
  EXPECT_FALSE(T.UsingVScrollBar());
  EXPECT_EQ(T.ClientSize(), QSize(401, 316));
  EXPECT_EQ(T.ClientFullCols(), 50);
  EXPECT_EQ(T.ClientCols(), 51);
  EXPECT_EQ(T.ClientRows(), 24);
  EXPECT_EQ(T.ScrollHorzInfo(), (TQpScrollInfo{0, 79, 50, 0}));
  EXPECT_EQ(T.horizontalScrollBar()->maximum(), 30);
  EXPECT_EQ(T.horizontalScrollBar()->pageStep(), 50);
  EXPECT_EQ(T.UsedRect(), QRect(0, 0, 401, 288));
  EXPECT_EQ(T.UnusedBottomRect(), QRect(0, 288, 401, 28));
  EXPECT_TRUE(T.UnusedRightRect().isEmpty());
  EXPECT_TRUE(Comm->OkBtn->isDefault());
}

TEST_F(PaneTest, DeviceTextAppearsWhileHiddenAndTypedKeysReachTheDevice) {
  Create(LanSettings());
  ASSERT_TRUE(Accept());
  ASSERT_TRUE(WaitFor([&] { return Comm->LanConnected && Comm->QpTerminal1->Attached(); }));
  EXPECT_FALSE(Comm->isVisible());
  SendAll(Fd, "QUILL-2 ready\r\n[LINKOK]\r\n");
  ASSERT_TRUE(WaitFor([&] { return Comm->QpTerminal1->Line(2).rfind("[LINKOK]", 0) == 0; }));
  EXPECT_EQ(Comm->QpTerminal1->Line(1).substr(0, 13), "QUILL-2 ready");
  // The link supervisor read the same bytes in the same notification.
  ASSERT_TRUE(WaitFor([&] { return Comm->LinkStatus == lsReady; }));
  Comm->show();
  Comm->QpTerminal1->setFocus();
  Key(Qt::Key_A, "a");
  Key(Qt::Key_C, "c", Qt::ControlModifier);  // no selection: the control character goes
  Key(Qt::Key_Backspace, "\b");
  Key(Qt::Key_E, QString(QChar(0x20AC)));   // the euro sign, in the device's code page
  ASSERT_TRUE(Expect(std::string("a\x03\x7f\x80")));
}

TEST_F(PaneTest, EnterAndEscInThePaneClickOkAndCancel) {
  struct Case {
    Qt::Key Key;
    Qt::KeyboardModifiers Mods;
    bool Saved;
  };
  for (const Case& C : {Case{Qt::Key_Return, Qt::NoModifier, true}, Case{Qt::Key_Enter, Qt::KeypadModifier, true},
                        Case{Qt::Key_Escape, Qt::NoModifier, false}}) {
    Create("[Comm]\nMode=-1\n");
    Comm->show();
    ASSERT_TRUE(WaitFor([&] { return Comm->isVisible(); }));
    Comm->EditIP->setText("10.9.8.7");
    Comm->QpTerminal1->setFocus();
    // A shortcut may not take the key before the pane: the override goes unclaimed for these.
    QKeyEvent Override(QEvent::ShortcutOverride, C.Key, C.Mods);
    QApplication::sendEvent(Comm->QpTerminal1, &Override);
    EXPECT_FALSE(Override.isAccepted()) << C.Key;
    Key(C.Key, {}, C.Mods);
    EXPECT_FALSE(Comm->isVisible()) << C.Key;
    EXPECT_EQ(TIniFile(Dir.File("quill.ini")).ReadString("Comm", "ipAddress", "") == "10.9.8.7", C.Saved) << C.Key;
  }
}

TEST_F(PaneTest, ScreenshotShowsSilverTextOnBlack) {
  Create("[Comm]\nMode=-1\n");
  Comm->show();
  ASSERT_TRUE(WaitFor([&] { return Comm->isVisible(); }));
  TQpTerminal& T = *Comm->QpTerminal1;
  T.WriteString("QUILL-2 antenna selector\r\nport A1 > B3\r\n");
  for (int I = 1; I <= 30; ++I) T.WriteString("line " + std::to_string(I) + "\r\n");
  ASSERT_TRUE(WaitFor([&] { return T.PendingBytes() == 0 && T.PaintCount() > 0; }));
  T.setFocus();
  ASSERT_TRUE(WaitFor([&] { return !T.CaretRect().isEmpty(); }));
  const QImage Shot = Comm->grab().toImage();
  Shot.save(QString::fromStdString(ScreenshotPath("comm-pane.png")));
  const QImage Pane = T.viewport()->grab().toImage();
  // Every cell corner of the text area and the unused strip is black; the text is silver.
  int Silver = 0;
  for (int Y = 0; Y < 288; ++Y)
    for (int X = 0; X < 401; ++X) Silver += Pane.pixel(X, Y) == qRgb(0xC0, 0xC0, 0xC0);
  EXPECT_GT(Silver, 200);
  EXPECT_EQ(Pane.pixel(400, 300), qRgb(0, 0, 0));
  EXPECT_EQ(Pane.pixel(7, 11), qRgb(0, 0, 0));
}
