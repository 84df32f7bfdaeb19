// The three windows as the program makes them, against the simulated device on loopback: the
// status on display, and antenna and Auto clicks going through the device and back.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QKeyEvent>
#include <QMouseEvent>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/program.h"
#include "app/program_remote.h"
#include "app/quill_main_u.h"
#include "e2e_support.h"
#include "link/comm_control_u.h"
#include "platform/dialogs.h"
#include "remote/remote_service.h"
#include "terminal/terminal_control.h"

namespace {

void Click(QWidget* W) {
  const QPointF At(W->width() / 2.0, W->height() / 2.0);
  const QPointF Global = W->mapToGlobal(At);
  QMouseEvent Press(QEvent::MouseButtonPress, At, Global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(W, &Press);
  QMouseEvent Release(QEvent::MouseButtonRelease, At, Global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(W, &Release);
}

}  // namespace

TEST(ProgramWithSimulator, StatusShownAndClicksGoThroughTheDevice) {
  TempDir Dir;
  ScopedScriptedDialogs Script;
  TSim Sim({"--port", "0"});
  const int Port = ListenPort(Sim);
  ASSERT_GT(Port, 0);
  WriteFile(Dir.File("q.ini"), "[Comm]\nMode=0\nipAddress=127.0.0.1\nipPort=" + std::to_string(Port) + "\n");
  TProgram Program(Dir.File("q.ini"));
  TQuillMain& Main = *Program.QuillMain;
  Main.show();

  // The simulator starts radio 1 on 40 m, in Auto, on antenna 3.
  ASSERT_TRUE(WaitFor([&] { return Main.CommLed->text() == "Connected"; }, 30000));
  ASSERT_TRUE(WaitFor([&] { return Main.AntBtn3->Brush().Color() == BandColor; }, 30000));
  EXPECT_EQ(Main.EditBand->text(), "40");
  EXPECT_EQ(Main.AutoBtn->Brush().Color(), clOrange);
  EXPECT_EQ(Program.CommControl->LinkLed->text(), "Connected");

  // A manual pick leaves Auto on the device: the button turns aqua, Auto silver.
  Click(Main.AntBtn5);
  ASSERT_TRUE(WaitFor([&] { return Main.AntBtn5->Brush().Color() == AntennaColor; }, 30000));
  EXPECT_EQ(Main.AntBtn3->Brush().Color(), clSilver);
  EXPECT_EQ(Main.AutoBtn->Brush().Color(), clSilver);
  EXPECT_EQ(Main.Antenna, 5);

  Click(Main.AutoBtn);
  ASSERT_TRUE(WaitFor([&] { return Main.AutoBtn->Brush().Color() == clOrange; }, 30000));

  // Following radio 2 shows radio 2's status (band 20 m, manual, antenna 1).
  Main.RadioNumber->setCurrentIndex(1);
  Main.RadioNumberClick();
  EXPECT_EQ(NetAddress, 0xC2);
  ASSERT_TRUE(WaitFor([&] { return Main.EditBand->text() == "20"; }, 30000));
  EXPECT_TRUE(Script->Errors.empty());
  Main.close();
  EXPECT_EQ(Program.CommControl->LinkLed->text(), "Disconnected");
}

// The device's raw text scrolls by in the Communications window's pane, and a line typed there
// reaches the device.
TEST(ProgramWithSimulator, ThePaneShowsTheDeviceTextAndSendsWhatIsTyped) {
  TempDir Dir;
  ScopedScriptedDialogs Script;
  TSim Sim({"--port", "0", "--text", "20", "--verbose"});
  const int Port = ListenPort(Sim);
  ASSERT_GT(Port, 0);
  WriteFile(Dir.File("q.ini"), "[Comm]\nMode=0\nipAddress=127.0.0.1\nipPort=" + std::to_string(Port) + "\n");
  TProgram Program(Dir.File("q.ini"));
  Program.QuillMain->show();
  TCommControl& Comm = *Program.CommControl;
  Comm.show();
  TQpTerminal& Pane = *Comm.QpTerminal1;
  const auto PaneHas = [&](const std::string& S) {
    for (int R = 1; R <= Pane.Rows(); ++R)
      if (Pane.Line(R).find(S) != std::string::npos) return true;
    return false;
  };
  ASSERT_TRUE(WaitFor([&] { return PaneHas("TEXT 00000005 The quick brown fox"); }, 30000));
  Pane.setFocus();
  for (const char C : std::string("hello")) {
    QKeyEvent Key(QEvent::KeyPress, Qt::Key_A + (C - 'a'), Qt::NoModifier, QString(QChar(C)));
    QCoreApplication::sendEvent(&Pane, &Key);
  }
  QKeyEvent CtrlM(QEvent::KeyPress, Qt::Key_M, Qt::ControlModifier, QStringLiteral("m"));
  QCoreApplication::sendEvent(&Pane, &CtrlM);
  EXPECT_TRUE(WaitFor([&] {
    Sim.Collect();
    return Sim.Err.find("< hello\n") != std::string::npos;
  }, 30000)) << Sim.Err;
  EXPECT_TRUE(Script->Errors.empty());
  Comm.grab().toImage().save(QString::fromStdString(ScreenshotPath("program-pane.png")));
}

// A call from the bus takes the click's own path: the same line on the wire and the same log
// lines as a click on the button, and the state it reports is the window's.
TEST(ProgramWithSimulator, RemoteCallsDoWhatTheClicksDo) {
  TempDir Dir;
  ScopedScriptedDialogs Script;
  TSim Sim({"--port", "0", "--verbose"});
  const int Port = ListenPort(Sim);
  ASSERT_GT(Port, 0);
  WriteFile(Dir.File("q.ini"), "[Comm]\nMode=0\nipAddress=127.0.0.1\nipPort=" + std::to_string(Port) + "\n");
  TProgram Program(Dir.File("q.ini"));
  TQuillMain& Main = *Program.QuillMain;
  TProgramRemote Remote(Program);
  TRemoteService Service(Remote);
  Main.show();
  ASSERT_TRUE(WaitFor([&] {
    const TRemoteState S = Remote.State();
    return S.LinkState == "Connected" && S.Radios[1].Band == "20" && Main.Antenna == 3;
  }, 30000));
  const TRemoteState Start = Remote.State();
  EXPECT_EQ(Start.LinkState, "Connected");
  EXPECT_EQ(Start.Mode, "LAN");
  EXPECT_EQ(Start.Port, "127.0.0.1:" + std::to_string(Port));
  EXPECT_EQ(Start.FollowedRadio, 1);
  EXPECT_EQ(Start.Radios[0].Band, "40");
  EXPECT_TRUE(Start.Radios[0].Auto);
  EXPECT_EQ(Start.Radios[0].Antenna, 3);
  EXPECT_EQ(Start.Radios[1].Antenna, 1);

  // What one action puts on the wire (as the simulator received it) and in the log.
  const auto Effect = [&](const std::function<void()>& Act) {
    Sim.Collect();
    const size_t WireFrom = Sim.Err.size();
    const size_t LogFrom = Program.CommControl->LogLines().size();
    Act();
    EXPECT_TRUE(WaitFor([&] {
      Sim.Collect();
      return Sim.Err.find("< [C10535", WireFrom) != std::string::npos;
    }, 30000));
    std::vector<std::string> Got;
    std::string Wire = Sim.Err.substr(WireFrom);
    for (size_t At = Wire.find("< [C10535"); At != std::string::npos; At = Wire.find("< [C10535", At + 1))
      Got.push_back("wire " + Wire.substr(At, Wire.find('\n', At) - At));
    const auto Log = Program.CommControl->LogLines();
    for (size_t I = LogFrom; I < Log.size(); ++I)
      if (Log[I].rfind("Tries:", 0) != 0 && Log[I].find("[C10503]") == std::string::npos) Got.push_back("log " + Log[I]);
    return Got;
  };
  const auto Clicked = Effect([&] { Click(Main.AntBtn5); });
  ASSERT_TRUE(WaitFor([&] { return Remote.State().Radios[0].Antenna == 5; }, 30000));
  std::optional<TRemoteService::TError> Answer;
  const auto Called = Effect([&] {
    Service.Submit({TRemoteService::ckSelectAntenna, 1, 5, [&](const TRemoteService::TError& E) { Answer = E; }});
  });
  EXPECT_EQ(Clicked, (std::vector<std::string>{"wire < [C105350105]", "log Try 1 C3", "log Sent: [C105350105]"}));
  EXPECT_EQ(Called, Clicked);
  ASSERT_TRUE(Answer);
  EXPECT_EQ(Answer->Name, "");
  EXPECT_FALSE(Remote.State().Radios[0].Auto);

  // Following radio 2 is the list's choice; then commands go to C2.
  Answer.reset();
  Service.Submit({TRemoteService::ckFollowRadio, 2, 0, [&](const TRemoteService::TError& E) { Answer = E; }});
  ASSERT_TRUE(Answer);
  EXPECT_EQ(Main.RadioNumber->currentText(), "Radio #2");
  EXPECT_EQ(NetAddress, 0xC2);
  EXPECT_EQ(Remote.State().FollowedRadio, 2);

  // Brought to the front from a minimized window.
  Main.showMinimized();
  Service.ShowWindow();
  EXPECT_FALSE(Main.isMinimized());
  EXPECT_TRUE(Main.isVisible());
  EXPECT_TRUE(Script->Errors.empty());
}
