// The port selection dialog over a fake system (sysfs and /dev in a temporary folder, plus
// mapped pseudo-terminals): what it lists, what Cancel, the system menu and OK without a port
// do to an open without a port number (OK opening a port: port_select_open_test.cpp), and its
// look (a screenshot under the build tree).
#include <sys/file.h>

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include <chrono>
#include <cstdio>

#include "port_select_fixture.h"

namespace {

TEST_F(PortSelectTest, ListsExactlyTheKnownPortsHeldOrNotAndAbove50) {
  AddTty("ttyS0");
  AddTty("ttyS2");
  AddTty("ttyACM5");  // COM70
  Use("COM12=" + Pty + ";COM200=" + Pty);
  // Another program holds the terminal: still listed.
  const int Holder = ::open(Pty.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_EQ(::flock(Holder, LOCK_EX | LOCK_NB), 0);
  TComSelectForm F;
  const auto Start = std::chrono::steady_clock::now();
  F.FormCreate();
  const auto Ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - Start).count();
  std::printf("FormCreate over %d numbers: %lld ms\n", MaxComNumber, static_cast<long long>(Ms));
  EXPECT_EQ(Items(F), (QStringList{"COM1", "COM3", "COM12", "COM70", "COM200"}));
  EXPECT_EQ(F.SelectedCom(), "COM1");
  EXPECT_EQ(F.SelectedComNum(), 1);
  F.PortsComboBox->setCurrentIndex(2);
  EXPECT_EQ(F.SelectedComNum(), 12);
  EXPECT_FALSE(F.PortsComboBox->isEditable());
  EXPECT_FALSE(TComSelectForm::IsPortAvailable(0));
  EXPECT_FALSE(TComSelectForm::IsPortAvailable(2));
  // Without ports in use, a port counts only when it opens now.
  ShowPortsInUse = false;
  EXPECT_FALSE(TComSelectForm::IsPortAvailable(12)) << "held";
  ::close(Holder);
  EXPECT_TRUE(TComSelectForm::IsPortAvailable(12));
  EXPECT_FALSE(TComSelectForm::IsPortAvailable(1)) << "not a terminal";
  ShowPortsInUse = true;
  // A device the explicit map names leaves the numbering by kind.
  Use("COM12=" + Dir.File("dev/ttyS2"));
  F.FormCreate();
  EXPECT_EQ(Items(F), (QStringList{"COM1", "COM12", "COM70"}));
}

TEST_F(PortSelectTest, ItemsAreComNamesWithTheirDeviceAsTooltip) {
  FakeSerialTree T;
  T.AddPlatformTty("ttyS0", "serial8250", "serial8250");
  T.AddUsbTty("ttyUSB0", "1-1", "ftdi_sio", {"0403", "6001", "FTDI", "FT232R USB UART", "A50285BI"});
  TSerialMapSources S;
  S.SysRoot = T.Sys;
  S.DevRoot = T.Dev;
  S.EnvironmentMap = "COM12=" + Pty;
  Use(S);
  TComSelectForm F;
  F.FormCreate();
  ASSERT_EQ(Items(F), (QStringList{"COM1", "COM12", "COM33"}));
  const QString Dash = QString::fromUtf8(" \u2014 ");
  const QStringList Tips = {QString::fromStdString(T.Node("ttyS0")) + Dash + "serial8250 driver",
                            QString::fromStdString(Pty) + Dash + "pseudo-terminal",
                            QString::fromStdString(T.Node("ttyUSB0")) + Dash +
                                "FT232R USB UART (A50285BI), FTDI 0403:6001, ftdi_sio"};
  for (int I = 0; I < 3; ++I) {
    EXPECT_EQ(F.PortsComboBox->itemData(I, Qt::ToolTipRole).toString(), Tips[I]) << I;
    // The closed list tells the chosen one.
    F.PortsComboBox->setCurrentIndex(I);
    EXPECT_EQ(F.PortsComboBox->toolTip(), Tips[I]) << I;
  }
  EXPECT_EQ(F.SelectedComNum(), 33);
}

TEST_F(PortSelectTest, CancelCloseAndNothingToChooseSelectNone) {
  Use("COM12=" + Pty);
  const std::function<void(TComSelectForm&)> Refusals[] = {
      [](TComSelectForm& F) { F.AbortBtn->click(); },
      [](TComSelectForm& F) { F.reject(); },  // the system menu's Close
  };
  for (const auto& Refuse : Refusals) {
    TQpComPort P;
    WithDialog(Refuse, [&] { EXPECT_THROW(P.SetOpen(true), ENoPortSelected); });
    EXPECT_FALSE(P.Open());
    EXPECT_EQ(P.ComNumber(), 0);
  }
  // Nothing to choose from: OK selects nothing, and the open says so.
  Use("");
  TQpComPort P;
  WithDialog([](TComSelectForm& F) { F.OkBtn->click(); }, [&] { EXPECT_THROW(P.SetOpen(true), ENoPortSelected); });
  EXPECT_EQ(Seen, 0);
  EXPECT_FALSE(P.Open());
  EXPECT_EQ(P.ComNumber(), 0);
}

TEST_F(PortSelectTest, LayoutAndLook) {
  AddTty("ttyS0");
  AddTty("ttyS2");
  TComSelectForm F;
  F.FormCreate();
  EXPECT_EQ(F.windowTitle(), "Select Port");
  EXPECT_EQ(F.size(), QSize(220, 131));
  EXPECT_EQ(F.Label1->text(), "The configured serial port is not valid.");
  EXPECT_EQ(F.Label1->pos(), QPoint(18, 14));
  EXPECT_EQ(F.Label2->text(), "Please choose another port.");
  EXPECT_EQ(F.Label2->pos(), QPoint(18, 30));
  EXPECT_EQ(F.Bevel1->geometry(), QRect(8, 8, 201, 42));
  EXPECT_EQ(F.OkBtn->geometry(), QRect(8, 95, 85, 27));
  EXPECT_TRUE(F.OkBtn->isDefault());
  EXPECT_EQ(F.AbortBtn->text(), "Cancel");
  EXPECT_EQ(F.AbortBtn->geometry(), QRect(124, 95, 85, 27));
  EXPECT_EQ(F.PortsComboBox->geometry(), QRect(8, 64, 201, 21));
  EXPECT_FALSE(F.windowFlags() & Qt::WindowMinMaxButtonsHint);
  F.show();
  EXPECT_TRUE(F.grab().save(QString::fromStdString(ScreenshotPath("port-select.png"))));
}

}  // namespace
