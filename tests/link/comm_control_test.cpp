#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QApplication>
#include <QKeyEvent>
#include <QContextMenuEvent>
#include <QAction>
#include <QMenu>
#include <QTextBlock>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "link/net_defs.h"
#include "devices/net_port.h"
#include "devices/serial_layer.h"
#include "devices/net_test_support.h"
#include "link/comm_control_u.h"
#include "link/get_com_ports_u.h"
#include "link/radio_group.h"
#include "pseudo_terminal.h"
#include "terminal/terminal_control.h"
#include "platform/dialogs.h"
#include "platform/error_handler.h"
#include "platform/ini_file.h"
#include "controls/indicator_panel.h"
#include "test_support.h"

namespace {

// A serial layer whose devices refuse this user, as one of a group the user is not in does
// (the tests may run as root, whom no device refuses).
class TDeniedDispatcher : public TQpWin32Dispatcher {
 public:
  using TQpWin32Dispatcher::TQpWin32Dispatcher;
  std::int32_t OpenCom(const char*, std::uint32_t, std::uint32_t) override { return -EACCES; }
};

// A loopback peer driven from the GUI thread without blocking it (the network port lives there).
class TPeer {
 public:
  ~TPeer() { Drop(); }
  bool Accept() {
    return WaitFor([&] {
      pollfd P{Listener.Fd, POLLIN, 0};
      if (poll(&P, 1, 0) > 0) Fd = accept4(Listener.Fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      return Fd >= 0;
    });
  }
  // Waits until the bytes received so far contain Expected.
  bool Expect(const std::string& Expected) {
    return WaitFor([&] {
      Pull();
      return Received.find(Expected) != std::string::npos;
    });
  }
  void Pull() {
    char Buf[4096];
    ssize_t N;
    while (Fd >= 0 && (N = recv(Fd, Buf, sizeof Buf, 0)) > 0) Received.append(Buf, size_t(N));
  }
  void Send(const std::string& Bytes) { SendAll(Fd, Bytes); }
  void Drop() {
    if (Fd >= 0) close(Fd);
    Fd = -1;
  }
  TLoopbackListener Listener;
  int Fd = -1;
  std::string Received;
};

class CommControlTest : public ::testing::Test {
 protected:
  void SetUp() override { NetAddress = 0xC1; }
  void TearDown() override {
    Comm.reset();
    NetAddress = 0;
  }

  std::string Ini() const { return Dir.File("quill.ini"); }

  // The window as the program creates it, but with the link timer under the test's hand.
  void Create(const std::string& Settings, std::vector<std::string> Ports = {"Disable"}) {
    if (!Settings.empty()) WriteFile(Ini(), Settings);
    TCommControl::TLinks Links;
    Links.SettingsFile = Ini();
    Links.ExecuteAction = [this](TBasicAction& A) {
      Actions.push_back(A.Tag);
      return true;
    };
    Links.GetPortList = [Ports] { return Ports; };
    Links.ExtractPortNumber = &TGetComPorts::ExtractPortNumber;
    Links.LinkChanged = [this] { ++LinkChanges; };
    Links.DescribePort = [this](std::int32_t N) { return Describe(N); };
    if (Sources) Links.MapSources = [this] { return *Sources; };
    Links.AccessFacts = Facts;
    Comm = std::make_unique<TCommControl>(Links);
    Comm->Timer1->stop();
    GuardedCall([&] { Comm->FormCreate(); });
  }

  std::string LanSettings() const {
    return "[Comm]\nPort=0\nMode=0\nipAddress=127.0.0.1\nipPort=" + std::to_string(Peer.Listener.Port) + "\n";
  }

  // Runs link timer ticks until a link test has gone out (or Limit ticks).
  void TickUntilTest(int Limit = 100) {
    for (int I = 0; I < Limit; ++I) {
      const auto Before = Comm->LinkTestTimer;
      Comm->Timer1Timer();
      if (Before == 0) return;
    }
  }

  int Count(int Action) const { return int(std::count(Actions.begin(), Actions.end(), Action)); }
  bool Logged(const std::string& Line) const {
    const auto L = Comm->LogLines();
    return std::find(L.begin(), L.end(), Line) != L.end();
  }

  TempDir Dir;
  ScopedScriptedDialogs Script;
  std::function<std::string(std::int32_t)> Describe = [](std::int32_t) { return std::string(); };
  std::optional<TSerialMapSources> Sources;  // the process's device map when unset
  std::optional<TDeviceAccessFacts> Facts;    // the system's when unset
  TPeer Peer;
  std::vector<int> Actions;
  int LinkChanges = 0;
  std::unique_ptr<TCommControl> Comm;
};

}  // namespace

TEST_F(CommControlTest, LayoutAndInitialState) {
  Create("");
  EXPECT_EQ(Comm->windowTitle(), "Communications");
  EXPECT_EQ(Comm->size(), QSize(906, 679));
  EXPECT_EQ(Comm->ComMode->geometry(), QRect(175, 3, 185, 85));
  EXPECT_EQ(Comm->Memo1->geometry(), QRect(32, 364, 417, 281));
  EXPECT_EQ(Comm->QpTerminal1->geometry(), QRect(448, 8, 405, 337));
  EXPECT_EQ(Comm->LinkLed->text(), "Disconnected");
  EXPECT_EQ(Comm->LinkLed->Color(), clRed);
  EXPECT_EQ(Comm->ComLabel->text(), "Disabled");
  EXPECT_EQ(Comm->LogLines().front(), "Memo1");
  // No settings: LAN with empty fields, so the one setup fails on the empty address, once.
  EXPECT_EQ(Comm->ComMode->ItemIndex(), 0);
  EXPECT_EQ(Comm->EditIP->text(), "");
  EXPECT_EQ(Script->Errors.size(), 1u);
  EXPECT_FALSE(Comm->Port->Open());
  EXPECT_EQ(Count(mcUpdateRadioNumbers), 1);
  QImage Shot = Comm->grab().toImage();
  Shot.save(QString::fromStdString(ScreenshotPath("comm-window.png")));
}

TEST_F(CommControlTest, LanLinkComesUpOnTheKeepAlive) {
  Create(LanSettings());
  ASSERT_TRUE(Peer.Accept());
  ASSERT_TRUE(WaitFor([&] { return Comm->LanConnected; }));
  EXPECT_TRUE(Logged("Connected"));
  TickUntilTest();
  // Over the LAN the carriage return that ends a packet is followed by a NUL.
  ASSERT_TRUE(Peer.Expect(std::string("[C10503]\r\0", 10)));
  EXPECT_TRUE(Logged("[C10503]"));  // the line itself ends where the packet does
  Peer.Send("[LINKOK]\r\n");
  ASSERT_TRUE(WaitFor([&] { return Comm->LinkStatus == lsReady; }));
  EXPECT_EQ(Comm->LinkLed->text(), "Connected");
  EXPECT_EQ(Comm->LinkLed->Color(), clLime);
  EXPECT_EQ(Count(mcCommLinkOk), 1);
  EXPECT_EQ(Comm->LinkTries, 0);
}

TEST_F(CommControlTest, SilentDeviceIsDeclaredLostAtTheSixthTestAndReconnected) {
  Create(LanSettings());
  ASSERT_TRUE(Peer.Accept());
  ASSERT_TRUE(WaitFor([&] { return Comm->LanConnected; }));
  Peer.Send("[0000A0]\r");  // the link-good packet answers as well as the keep-alive
  ASSERT_TRUE(WaitFor([&] { return Comm->LinkStatus == lsReady; }));
  const int FailsBefore = Count(mcCommLinkFail);
  for (int Test = 1; Test <= 5; ++Test) {
    TickUntilTest(50);
    EXPECT_EQ(Comm->LinkStatus, lsReady) << Test;
    EXPECT_EQ(Comm->LinkTries, Test);
  }
  const int OldFd = Peer.Fd;
  TickUntilTest(50);
  EXPECT_EQ(Comm->LinkStatus, lsDisconnected);
  EXPECT_EQ(Comm->LinkLed->text(), "Disconnected");
  EXPECT_EQ(Count(mcCommLinkFail), FailsBefore + 1);
  EXPECT_EQ(Comm->LinkTestTimer, FastLinkTest);
  EXPECT_TRUE(Logged("Tries: 5"));
  // The connection was closed and opened again.
  Peer.Fd = -1;
  ASSERT_TRUE(Peer.Accept());
  close(OldFd);
  Peer.Send("[LINKOK]\r");
  ASSERT_TRUE(WaitFor([&] { return Comm->LinkStatus == lsReady; }));
}

TEST_F(CommControlTest, LinesAreAssembledAcrossEventsAndBounded) {
  Create(LanSettings());
  ASSERT_TRUE(Peer.Accept());
  ASSERT_TRUE(WaitFor([&] { return Comm->LanConnected; }));
  Peer.Send("[05C1C5010");
  ASSERT_TRUE(WaitFor([&] { return Comm->LocalData() == "[05C1C5010"; }));
  Peer.Send("50103]\r");
  ASSERT_TRUE(WaitFor([&] { return Count(mcQuillStatus) == 1; }));
  EXPECT_EQ(Comm->GetPacket().Data, std::string("\x01\x05\x01\x03", 4));
  // An empty line does nothing; the keep-alive must match exactly.
  Peer.Send("\r[linkok]\r[LINKOK] \r[05C1C5020501]\r");
  ASSERT_TRUE(WaitFor([&] { return Count(mcQuillStatus) == 2; }));
  EXPECT_NE(Comm->LinkStatus, lsReady);
  // A stream without carriage returns cannot grow the line without bound.
  Peer.Send(std::string(3 * TCommControl::MaxLineLength, 'A'));
  ASSERT_TRUE(WaitFor([&] { return Comm->Lines.Dropping(); }));
  Peer.Send(std::string(TCommControl::MaxLineLength, 'B') + "\r[LINKOK]\r");
  ASSERT_TRUE(WaitFor([&] { return Comm->LinkStatus == lsReady; }));
  EXPECT_LE(Comm->LocalData().size(), TCommControl::MaxLineLength);
  const auto Lines = Comm->LogLines();
  EXPECT_EQ(std::count_if(Lines.begin(), Lines.end(), [](auto& L) { return L.rfind("Dropped a line", 0) == 0; }), 1);
}

TEST_F(CommControlTest, CommandsGoOutOnceAndAreLogged) {
  Create(LanSettings());
  ASSERT_TRUE(Peer.Accept());
  ASSERT_TRUE(WaitFor([&] { return Comm->LanConnected; }));
  EXPECT_TRUE(Comm->SendCommand(cmdRadioAntenna, std::string("\x01\x03", 2), msgCommandReply));
  ASSERT_TRUE(Peer.Expect(std::string("[C105350103]\r\0", 14)));
  EXPECT_TRUE(Logged("Try 1 C3"));
  EXPECT_TRUE(Logged("Sent: [C105350103]"));
  EXPECT_EQ(Comm->NetBusy, false);
  EXPECT_EQ(Comm->Codec.Response, 0);
}

TEST_F(CommControlTest, ClosedPortStillCountsTriesButSendsNothing) {
  Create("[Comm]\nMode=-1\n");
  EXPECT_EQ(Comm->ComMode->ItemIndex(), -1);
  for (int Test = 1; Test <= 7; ++Test) TickUntilTest(50);
  EXPECT_EQ(Comm->LinkTries, 5);
  const auto Lines = Comm->LogLines();
  EXPECT_EQ(std::count(Lines.begin(), Lines.end(), "Tries: 5"), 3);
  EXPECT_EQ(std::count_if(Lines.begin(), Lines.end(), [](auto& L) { return L.rfind("[C1", 0) == 0; }), 0);
  EXPECT_TRUE(Comm->SendCommand(cmdSetAutoMode, "\x01", msgCommandReply));
  EXPECT_TRUE(Logged("Try 1 C3"));
  EXPECT_FALSE(Logged("Sent: [C1055301]"));
}

TEST_F(CommControlTest, StoredModesAndPortList) {
  struct Case {
    const char* Mode;
    int Index;
  };
  for (const Case& C : {Case{"0", 0}, Case{"1", 1}, Case{"2", 1}, Case{"7", 1}, Case{"-1", -1}, Case{"junk", 0}}) {
    Create(std::string("[Comm]\nMode=") + C.Mode + "\n");
    EXPECT_EQ(Comm->ComMode->ItemIndex(), C.Index) << C.Mode;
  }
  Create("[Comm]\nMode=1\n", {"Disable", "COM1", "COM3"});
  Comm->Timer1Timer();
  ASSERT_EQ(Comm->ComListBox->count(), 3);
  EXPECT_EQ(Comm->ComListBox->item(2)->text(), "COM3");
}

TEST_F(CommControlTest, PortListItemsShowTheirDeviceAsTooltip) {
  std::map<std::int32_t, std::string> Devices = {{1, "/dev/ttyS0 \u2014 serial8250 driver"},
                                                 {33, "/dev/ttyUSB0 \u2014 FT232R USB UART (A50285BI)"}};
  Describe = [&](std::int32_t N) { return Devices.count(N) ? Devices[N] : std::string(); };
  Create("[Comm]\nMode=1\n", {"Disable", "COM1", "COM33"});
  Comm->Timer1Timer();
  ASSERT_EQ(Comm->ComListBox->count(), 3);
  // The items keep their names; "Disable" has no device.
  EXPECT_EQ(Comm->ComListBox->item(2)->text(), "COM33");
  EXPECT_EQ(Comm->ComListBox->item(0)->toolTip(), "");
  EXPECT_EQ(Comm->ComListBox->item(1)->toolTip(), QString::fromUtf8("/dev/ttyS0 \u2014 serial8250 driver"));
  EXPECT_EQ(Comm->ComListBox->item(2)->toolTip(), QString::fromUtf8("/dev/ttyUSB0 \u2014 FT232R USB UART (A50285BI)"));
  // Another adapter behind the same number: the list stays, its tooltip follows at the next look.
  Devices[33] = "/dev/ttyUSB0 \u2014 USB Serial, 1a86:7523, ch341-uart";
  Comm->SecondTimer = 0;
  Comm->Timer1Timer();
  EXPECT_EQ(Comm->ComListBox->item(2)->toolTip(), QString::fromUtf8("/dev/ttyUSB0 \u2014 USB Serial, 1a86:7523, ch341-uart"));
}

TEST_F(CommControlTest, KeepThisAdapterWritesItsStableLinkIntoTheComMap) {
  FakeSerialTree T;
  const FakeSerialTree::TUsb Ftdi{"0403", "6001", "FTDI", "FT232R USB UART", "A50285BI"};
  const std::string ById = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  T.AddUsbTty("ttyUSB0", "1-1", "ftdi_sio", Ftdi);
  T.AddPlatformTty("ttyS0", "serial8250", "serial8250");
  Sources = TSerialMapSources{};
  Sources->SysRoot = T.Sys;
  Sources->DevRoot = T.Dev;
  Sources->SettingsFile = Ini();
  Create("[Comm]\nMode=1\n", {"Disable", "COM1", "COM33"});
  Comm->Timer1Timer();
  QAction* Keep = Comm->KeepAction;
  ASSERT_TRUE(Comm->ComListBox->actions().contains(Keep)) << "in the list's context menu";
  EXPECT_EQ(Comm->ComListBox->contextMenuPolicy(), Qt::ActionsContextMenu);
  struct Case {
    int Row;
    QString Text;
    bool Enabled;
  };
  // udev has not made the link yet: nothing to keep. Then per selected port.
  Comm->ComListBox->setCurrentRow(2);
  EXPECT_FALSE(Keep->isEnabled());
  T.LinkById(ById, "ttyUSB0");
  // The menu checks again as it opens: the item is enabled in the menu shown (closed again
  // by the timer, as the menu runs a loop of its own).
  bool EnabledInMenu = false;
  QTimer Closer;
  QObject::connect(&Closer, &QTimer::timeout, [&] {
    if (auto* M = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      EnabledInMenu = M->actions().contains(Keep) && Keep->isEnabled();
      M->close();
    }
  });
  Closer.start(5);
  const QPoint At(5, 5);
  QContextMenuEvent Menu(QContextMenuEvent::Mouse, At, Comm->ComListBox->viewport()->mapToGlobal(At));
  QCoreApplication::sendEvent(Comm->ComListBox->viewport(), &Menu);
  Closer.stop();
  EXPECT_TRUE(EnabledInMenu);
  for (const Case& C : {Case{0, "Keep this adapter as COMn", false}, Case{1, "Keep this adapter as COM1", false},
                        Case{2, "Keep this adapter as COM33", true}}) {
    Comm->ComListBox->setCurrentRow(C.Row);
    EXPECT_EQ(Keep->text(), C.Text) << C.Row;
    EXPECT_EQ(Keep->isEnabled(), C.Enabled) << C.Row;
  }
  Keep->trigger();
  const std::string Link = T.Dev + "/serial/by-id/" + ById;
  EXPECT_EQ(TIniFile(Ini()).ReadString("ComMap", "COM33", ""), Link);
  EXPECT_EQ(TIniFile(Ini()).ReadInteger("Comm", "Mode", -1), 1) << "the rest of the file kept";

  // The adapter resets and comes back as ttyUSB1: still COM33, and COM34 is not listed.
  T.Unplug("ttyUSB0");
  T.AddUsbTty("ttyUSB1", "1-1", "ftdi_sio", Ftdi);
  T.LinkById(ById, "ttyUSB1");
  std::vector<std::string> Numbers;
  for (const auto& E : TSerialDeviceMap(*Sources).Entries()) Numbers.push_back(E.PortName + "=" + E.Path);
  EXPECT_EQ(Numbers, (std::vector<std::string>{"COM1=" + T.Node("ttyS0"), "COM33=" + Link}));
}

TEST_F(CommControlTest, SerialPortThatCannotOpen) {
  // Stored COM/USB on a port that does not exist: the one setup says so, once.
  Create("[Comm]\nMode=1\nPort=250\n", {"Disable", "COM249"});
  // The box's own first line, then the port it was about.
  EXPECT_EQ(Script->Errors, std::vector<std::string>{"Error opening COM port\nPort: COM250, which names no device"});
  EXPECT_EQ(Comm->ComLabel->text(), "Disabled");
  EXPECT_FALSE(Comm->Port->Open());
  // Picking a port from the list that fails to open.
  Comm->Timer1Timer();
  Comm->ComListBox->setCurrentRow(1);
  Comm->ComPortBtnClick();
  EXPECT_EQ(Script->Errors.back(), "Error opening COM249");
  EXPECT_EQ(Comm->ComLabel->text(), "Disabled");
  EXPECT_EQ(Comm->PortNumber, 249);
  EXPECT_EQ(Comm->LinkStatus, lsDisconnected);
  EXPECT_GE(Count(mcDisableStayOnTop), 1);
  EXPECT_GE(Count(mcRecallStayOnTOp), 1);
  // "Disable" closes the port.
  Comm->ComListBox->setCurrentRow(0);
  Comm->ComPortBtnClick();
  EXPECT_EQ(Comm->ComLabel->text(), "COM disabled");
  EXPECT_EQ(Comm->Port->ComNumber(), 0);
}

TEST_F(CommControlTest, OkSavesAndCancelRestores) {
  Create(LanSettings() + "\n[Form]\nTop=3\n");
  ASSERT_TRUE(Peer.Accept());
  Comm->EditIP->setText("127.0.0.1");
  Comm->EditPort->setText("1");
  Comm->ComMode->SetItemIndex(1);  // the user's change sets the port up at once
  Comm->CancelBtnClick();
  EXPECT_EQ(Comm->ComMode->ItemIndex(), 0);
  EXPECT_EQ(Comm->EditPort->text().toStdString(), std::to_string(Peer.Listener.Port));
  EXPECT_EQ(TIniFile(Ini()).ReadString("Comm", "ipPort", ""), std::to_string(Peer.Listener.Port));

  Comm->EditIP->setText("localhost");
  Comm->OkBtnClick();
  TIniFile Saved(Ini());
  EXPECT_EQ(Saved.ReadString("Comm", "ipAddress", ""), "localhost");
  EXPECT_EQ(Saved.ReadInteger("Comm", "Mode", -5), 0);
  EXPECT_EQ(Saved.ReadInteger("Comm", "Port", -5), 0);
  EXPECT_EQ(Saved.ReadInteger("Form", "Top", 0), 3);
  EXPECT_FALSE(Comm->isVisible());
}

TEST_F(CommControlTest, ShutdownTakesTheLinkDown) {
  Create(LanSettings());
  ASSERT_TRUE(Peer.Accept());
  ASSERT_TRUE(WaitFor([&] { return Comm->LanConnected; }));
  Peer.Send("[LINKOK]\r");
  ASSERT_TRUE(WaitFor([&] { return Comm->LinkStatus == lsReady; }));
  Comm->Timer1->start();
  Comm->Shutdown();
  EXPECT_EQ(Comm->LinkStatus, lsDisconnected);
  EXPECT_EQ(Actions.back(), mcCommLinkFail);
  EXPECT_FALSE(Comm->Timer1->isActive());
  EXPECT_FALSE(Comm->Port->Open());
  // The peer sees the connection end.
  EXPECT_TRUE(WaitFor([&] {
    char B;
    return recv(Peer.Fd, &B, 1, 0) == 0;
  }));
}

TEST_F(CommControlTest, LogKeepsTheNewestLines) {
  Create("[Comm]\nMode=-1\n");
  for (int I = 0; I < TCommControl::MaxLogLines + 100; ++I) Comm->LogBytes("line " + std::to_string(I));
  const auto Lines = Comm->LogLines();
  EXPECT_EQ(int(Lines.size()), TCommControl::MaxLogLines);
  EXPECT_EQ(Lines.back(), "line " + std::to_string(TCommControl::MaxLogLines + 99));
}

TEST_F(CommControlTest, EnterClicksOkAndEscCancel) {
  // Each key, pressed with the focus in the address field, on the window as the user sees it.
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
    Comm->EditIP->setFocus();
    Comm->EditIP->setText("10.9.8.7");
    QKeyEvent Press(QEvent::KeyPress, C.Key, C.Mods);
    QApplication::sendEvent(Comm->EditIP, &Press);
    EXPECT_FALSE(Comm->isVisible()) << C.Key;
    EXPECT_EQ(TIniFile(Ini()).ReadString("Comm", "ipAddress", "") == "10.9.8.7", C.Saved) << C.Key;
  }
}

TEST_F(CommControlTest, OpensCentredOnTheWorkArea) {
  Create("[Comm]\nMode=-1\n");
  Comm->show();
  ASSERT_TRUE(WaitFor([&] { return Comm->isVisible(); }));
  const QRect Work = Comm->screen()->availableGeometry();
  EXPECT_LE(std::abs(Comm->frameGeometry().center().x() - Work.center().x()), 1);
  EXPECT_LE(std::abs(Comm->frameGeometry().center().y() - Work.center().y()), 1);
}

TEST_F(CommControlTest, LogShowsItsNewestLine) {
  // Lines added while the window is hidden (as the link test lines are) and while it shows.
  Create("[Comm]\nMode=-1\n");
  for (int I = 0; I < 200; ++I) Comm->LogBytes("hidden " + std::to_string(I));
  Comm->show();
  ASSERT_TRUE(WaitFor([&] { return Comm->isVisible(); }));
  QWidget* View = Comm->Memo1->viewport();
  auto LastVisibleLine = [&] {
    QCoreApplication::processEvents();
    return Comm->Memo1->cursorForPosition(QPoint(4, View->height() - 6)).block().text().toStdString();
  };
  EXPECT_EQ(LastVisibleLine(), "hidden 199");
  for (int I = 0; I < 50; ++I) Comm->LogBytes("shown " + std::to_string(I));
  EXPECT_EQ(LastVisibleLine(), "shown 49");
  EXPECT_FALSE(Comm->Memo1->verticalScrollBar()->isVisible());
}

// The edit raises a screen reader event on every line it takes, so a hidden window keeps its
// lines aside (they are in the log all the same) and the edit takes them when it shows.
TEST_F(CommControlTest, HiddenLogLinesWaitForTheWindowToShow) {
  Create("[Comm]\nMode=-1\n");
  const QString Before = Comm->Memo1->toPlainText();
  Comm->LogBytes("while hidden");
  EXPECT_EQ(Comm->Memo1->toPlainText(), Before);
  EXPECT_EQ(Comm->LogLines().back(), "while hidden");
  for (int I = 0; I < TCommControl::MaxLogLines + 10; ++I) Comm->LogBytes("line " + std::to_string(I));
  const std::vector<std::string> Kept = Comm->LogLines();
  EXPECT_EQ(Kept.size(), std::size_t(TCommControl::MaxLogLines));
  Comm->show();
  ASSERT_TRUE(WaitFor([&] { return Comm->isVisible(); }));
  EXPECT_EQ(Comm->LogLines(), Kept);
  EXPECT_TRUE(Comm->Memo1->toPlainText().endsWith("line " + QString::number(TCommControl::MaxLogLines + 9)));
}

TEST_F(CommControlTest, SerialOpenErrorsCarryTheSystemsReason) {
  // A folder is no serial device: the system's reason follows the window's own text.
  RegisterSerialLayer();
  setenv("QUILL_COM_MAP", ("COM7=" + Dir.Path()).c_str(), 1);
  Create("[Comm]\nMode=1\nPort=7\n", {"Disable", "COM7"});
  unsetenv("QUILL_COM_MAP");
  ASSERT_EQ(Script->Errors.size(), 1u);
  EXPECT_EQ(Script->Errors[0], "Error opening COM port: Is a directory\nPort: COM7 (" + Dir.Path() + ")");
}

TEST_F(CommControlTest, AStoredPortThatIsNoDeviceIsSaidSoAtStartUp) {
  // The port layer only knows the port does not exist; the box says what is there instead.
  RegisterSerialLayer();
  WriteFile(Dir.File("plain"), "x");
  setenv("QUILL_COM_MAP", ("COM7=" + Dir.File("plain")).c_str(), 1);
  Create("[Comm]\nMode=1\nPort=7\n", {"Disable", "COM7"});
  unsetenv("QUILL_COM_MAP");
  ASSERT_EQ(Script->Errors.size(), 1u);
  EXPECT_EQ(Script->Errors[0], "Error opening COM port\nCOM7: " + Dir.File("plain") + " is not a serial device (a regular file)");
}

// Observers of the link (the session bus service) hear of every setup, switch and teardown of
// the port, also when the setup fails.
TEST_F(CommControlTest, LinkObserversHearOfEverySetupSwitchAndTeardown) {
  Create(LanSettings());
  EXPECT_GE(LinkChanges, 1);
  Comm->Timer1Timer();  // fills the port list
  struct Step {
    const char* What;
    std::function<void()> Do;
  };
  const std::vector<Step> Steps = {
      {"OK", [&] { Comm->OkBtnClick(); }},
      {"a failing setup", [&] {
         Comm->EditIP->setText("");
         Comm->SetupPort();
       }},
      {"the mode", [&] { Comm->ComMode->SetItemIndex(1); }},
      {"the port list", [&] {
         Comm->ComListBox->setCurrentRow(0);
         Comm->ComPortBtnClick();
       }},
      {"a failed write", [&] { Comm->HandleCommFailure(); }},
  };
  for (const Step& S : Steps) {
    const int Before = LinkChanges;
    GuardedCall(S.Do);
    EXPECT_GT(LinkChanges, Before) << S.What;
  }
}

TEST_F(CommControlTest, OpenErrorsNameTheDeviceAndTheWayIn) {
  Facts = TDeviceAccessFacts{};
  Facts->NodeGroup = [](const std::string&, unsigned& Gid) {
    Gid = 20;
    return true;
  };
  Facts->ProcessGroups = [] { return std::vector<unsigned>{1000}; };
  Facts->GroupName = [](unsigned Gid) { return Gid == 20 ? std::string("dialout") : std::string(); };
  Facts->ListedInGroup = [](unsigned) { return false; };
  Facts->Holders = [](const std::string&) { return std::vector<TDeviceHolder>{{812, "ModemManager"}}; };
  const std::string Join = "It belongs to the group dialout, which you are not in. Join it with\n"
                           "    sudo usermod -aG dialout $USER\n"
                           "then log out and in again: a new login is needed for the group to count.";

  // Denied, at the stored port's setup and at a pick from the list: the first line as ever.
  TQpCustomComPort::RegisterDeviceLayer(dlWin32, [](TQpCustomComPort* Owner) {
    return std::make_shared<TDeniedDispatcher>(Owner);
  });
  Sources = TSerialMapSources{};
  Sources->SysRoot = Dir.File("nosys");
  Sources->EnvironmentMap = "COM7=" + Dir.File("ttyUSB0");
  Create("[Comm]\nMode=1\nPort=7\n", {"Disable", "COM7"});
  ASSERT_EQ(Script->Errors.size(), 1u);
  EXPECT_EQ(Script->Errors[0], "Error opening COM port: Permission denied\nPort: COM7\nDevice: " + Dir.File("ttyUSB0") + "\n" + Join);
  Comm->Timer1Timer();
  Comm->ComListBox->setCurrentRow(1);
  Comm->ComPortBtnClick();
  EXPECT_EQ(Script->Errors.back(), "Error opening COM7: Permission denied\nDevice: " + Dir.File("ttyUSB0") + "\n" + Join);
  // The window's boxes are its own (shown on it while it is shown).
  EXPECT_EQ(Script->Owners, (std::vector<QWidget*>{Comm.get(), Comm.get()}));

  // Busy: a real terminal another holder has locked.
  RegisterSerialLayer();
  TPtyMaster Far;
  ASSERT_FALSE(Far.Path.empty());
  const std::string Pty = Far.Path;
  const int Holder = ::open(Pty.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_EQ(::flock(Holder, LOCK_EX | LOCK_NB), 0);
  setenv("QUILL_COM_MAP", ("COM7=" + Pty).c_str(), 1);
  Sources.reset();
  Create("[Comm]\nMode=1\n", {"Disable", "COM7"});
  Comm->Timer1Timer();
  Comm->ComListBox->setCurrentRow(1);
  Comm->ComPortBtnClick();
  unsetenv("QUILL_COM_MAP");
  const std::string Busy = Script->Errors.back();
  EXPECT_EQ(Busy.substr(0, Busy.find('\n')), "Error opening COM7");
  EXPECT_EQ(Busy.rfind("Error opening COM7\nDevice: " + Pty + "\nHeld by ModemManager (pid 812).\n", 0), 0u) << Busy;
  ::close(Holder);
}
