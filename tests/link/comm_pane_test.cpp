// The terminal pane in the Communications window: its place and defaults, the device's text in
// it over the LAN, what is typed in it going to the device, Enter and Esc as OK and Cancel, its
// context menu with pasting off, the stored "New line after carriage return", and what it looks
// like.

#include <gtest/gtest.h>

#include <poll.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
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
  void Mouse(QEvent::Type Type, QPointF At, Qt::MouseButton B) {
    QWidget* V = Comm->QpTerminal1->viewport();
    QMouseEvent E(Type, At, V->mapToGlobal(At), B, Type == QEvent::MouseButtonRelease ? Qt::NoButton : B, Qt::NoModifier);
    QApplication::sendEvent(V, &E);
  }
  // The pane's context menu, opened as a right click opens it, and its item named Text.
  QAction* MenuItem(const QString& Text) {
    QMenu* M = Comm->QpTerminal1->ContextMenu();
    if (!M->isVisible()) {
      QWidget* V = Comm->QpTerminal1->viewport();
      QContextMenuEvent E(QContextMenuEvent::Mouse, QPoint(60, 30), V->mapToGlobal(QPoint(60, 30)));
      QApplication::sendEvent(V, &E);
    }
    for (QAction* A : M->actions())
      if (QString(A->text()).remove('&') == Text) return A;
    ADD_FAILURE() << "no item " << Text.toStdString();
    return nullptr;
  }
  // The window with the menu, a window of its own, drawn where it stands.
  QImage ShotWithMenu() const {
    QImage Shot = Comm->grab().toImage();
    QMenu* M = Comm->QpTerminal1->ContextMenu();
    if (M->isVisible()) QPainter(&Shot).drawImage(Comm->mapFromGlobal(M->pos()), M->grab().toImage());
    return Shot;
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

// Pasting is off on this pane: the menu's Paste is greyed, and neither Shift+Insert nor a middle
// click sends the clipboard to the device, while Ctrl+V is still the device's control character.
TEST_F(PaneTest, ContextMenuAndPasteKeysWithPastingOff) {
  Create(LanSettings());
  ASSERT_TRUE(Accept());
  ASSERT_TRUE(WaitFor([&] { return Comm->LanConnected && Comm->QpTerminal1->Attached(); }));
  Comm->show();
  TQpTerminal& T = *Comm->QpTerminal1;
  T.setFocus();
  SendAll(Fd, "QUILL-2 ready\r\n");
  ASSERT_TRUE(WaitFor([&] { return T.Line(1).rfind("QUILL-2", 0) == 0; }));
  ASSERT_TRUE(WaitFor([&] { return T.PaintCount() > 0 && !T.Buffer()->HasDisplayChanged(); }));
  EXPECT_FALSE(MenuItem("Paste")->isEnabled());
  EXPECT_FALSE(MenuItem("Copy")->isEnabled());
  EXPECT_TRUE(MenuItem("Select All")->isEnabled());
  const QImage Shot = ShotWithMenu();
  Shot.save(QString::fromStdString(ScreenshotPath("comm-pane-menu.png")));
  MenuItem("Paste")->trigger();  // greyed: nothing happens
  T.ContextMenu()->hide();
  // A drag over "QUILL-2" copies it, and the menu's Copy is there for it.
  Mouse(QEvent::MouseButtonPress, QPointF(3, 5), Qt::LeftButton);
  Mouse(QEvent::MouseMove, QPointF(6 * 8 + 3, 5), Qt::LeftButton);
  Mouse(QEvent::MouseButtonRelease, QPointF(6 * 8 + 3, 5), Qt::LeftButton);
  QGuiApplication::clipboard()->setText(QStringLiteral("secret"));
  EXPECT_TRUE(MenuItem("Copy")->isEnabled());
  MenuItem("Copy")->trigger();
  T.ContextMenu()->hide();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "QUILL-2\r\n");
  QGuiApplication::clipboard()->setText(QStringLiteral("secret"));
  Key(Qt::Key_Insert, {}, Qt::ShiftModifier);
  Mouse(QEvent::MouseButtonPress, QPointF(3, 5), Qt::MiddleButton);
  Mouse(QEvent::MouseButtonRelease, QPointF(3, 5), Qt::MiddleButton);
  Key(Qt::Key_V, QStringLiteral("\x16"), Qt::ControlModifier);
  ASSERT_TRUE(Expect("\x16"));
  EXPECT_EQ(Received.find("secret"), std::string::npos);
  EXPECT_EQ(T.Line(2).find("secret"), std::string::npos);
}

TEST_F(PaneTest, NewLineAfterCarriageReturnIsStoredAndRestored) {
  struct Case {
    const char* Stored;
    bool On;
  };
  for (const Case& C : {Case{"", false}, Case{"NewLineAfterCR=0\n", false}, Case{"NewLineAfterCR=1\n", true}}) {
    Create("[Comm]\nMode=-1\n" + std::string(C.Stored));
    EXPECT_EQ(Comm->QpTerminal1->NewLineAfterCR(), C.On) << C.Stored;
  }
  // Chosen in the menu, it is written at once and read by the next window.
  MenuItem("New line after carriage return")->trigger();
  Comm->QpTerminal1->ContextMenu()->hide();
  EXPECT_EQ(TIniFile(Dir.File("quill.ini")).ReadInteger("Comm", "NewLineAfterCR", -1), 0);
  MenuItem("New line after carriage return")->trigger();
  Comm->QpTerminal1->ContextMenu()->hide();
  EXPECT_EQ(TIniFile(Dir.File("quill.ini")).ReadInteger("Comm", "NewLineAfterCR", -1), 1);
  Comm.reset();
  Create(LanSettings() + "NewLineAfterCR=1\n");
  EXPECT_TRUE(Comm->QpTerminal1->NewLineAfterCR());
  // The device's lines, ended by CR alone, come as a list.
  ASSERT_TRUE(Accept());
  ASSERT_TRUE(WaitFor([&] { return Comm->QpTerminal1->Attached(); }));
  Comm->show();
  SendAll(Fd, "QUILL-2 ready\r\n[LINKOK]\r[05C1C5]\r[LINKOK]\r");
  TQpTerminal& T = *Comm->QpTerminal1;
  ASSERT_TRUE(WaitFor([&] { return T.Line(4).rfind("[LINKOK]", 0) == 0 && T.PendingBytes() == 0; }));
  EXPECT_EQ(T.Line(1).substr(0, 13), "QUILL-2 ready");
  EXPECT_EQ(T.Line(2).substr(0, 8), "[LINKOK]");
  EXPECT_EQ(T.Line(3).substr(0, 8), "[05C1C5]");
  ASSERT_TRUE(WaitFor([&] { return T.PaintCount() > 0 && !T.Buffer()->HasDisplayChanged(); }));
  Comm->grab().save(QString::fromStdString(ScreenshotPath("comm-pane-newline.png")));
}

// For screen readers: the window is a dialog, its fields are named by their labels (which look
// as they did), the pane and the log by what they are; Ctrl+Tab leaves the pane.
TEST_F(PaneTest, ReadersFindNamedFieldsAndTheKeyboardLeavesThePane) {
  Create("[Comm]\nMode=-1\n");
  struct Row {
    QWidget* Control;
    QAccessible::Role Role;
    const char* Name;
  };
  const std::vector<Row> Rows = {
      {Comm.get(), QAccessible::Dialog, "Communications"},
      {Comm->EditIP, QAccessible::EditableText, "IP Address"},
      {Comm->EditPort, QAccessible::EditableText, "Port"},
      {Comm->ComListBox, QAccessible::List, "Available Ports"},
      {Comm->QpTerminal1, QAccessible::Terminal, "Terminal"},
      {Comm->Memo1, QAccessible::EditableText, "Log"},
  };
  for (const Row& R : Rows) {
    QAccessibleInterface* I = QAccessible::queryAccessibleInterface(R.Control);
    ASSERT_TRUE(I) << R.Name;
    EXPECT_EQ(I->role(), R.Role) << R.Name;
    EXPECT_EQ(I->text(QAccessible::Name), R.Name) << R.Name;
  }
  EXPECT_EQ(Comm->Label2->text(), "IP Address");  // no mnemonic mark shown
  EXPECT_TRUE(QAccessible::queryAccessibleInterface(Comm->QpTerminal1)->textInterface());

  Comm->show();
  QApplication::setActiveWindow(Comm.get());
  ASSERT_TRUE(WaitFor([&] { return Comm->isActiveWindow(); }));
  Comm->QpTerminal1->setFocus(Qt::OtherFocusReason);
  QKeyEvent Forward(QEvent::KeyPress, Qt::Key_Tab, Qt::ControlModifier);
  QApplication::sendEvent(Comm->QpTerminal1, &Forward);
  EXPECT_NE(QApplication::focusWidget(), Comm->QpTerminal1);
  EXPECT_TRUE(Comm->isVisible());  // leaving the pane is not Esc: the window stays
}
