// The program over a serial line: COM/USB mode against the simulated device on a
// pseudo-terminal, mapped as COM5 through a link the test points at the device (as a udev
// link follows an adapter). Link up, status, a command, the device vanishing (the link torn
// down once, with the read error and "Communications failed"), and recovery when the user
// picks the port again after it has come back.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "app/program.h"
#include "app/quill_main_u.h"
#include "devices/net_port.h"
#include "e2e_support.h"
#include "link/comm_control_u.h"
#include "link/port_recovery.h"
#include "platform/dialogs.h"
#include "platform/qt_dialogs.h"
#include "pseudo_terminal.h"

namespace {

void Click(QWidget* W) {
  const QPointF At(W->width() / 2.0, W->height() / 2.0);
  const QPointF Global = W->mapToGlobal(At);
  QMouseEvent Press(QEvent::MouseButtonPress, At, Global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(W, &Press);
  QMouseEvent Release(QEvent::MouseButtonRelease, At, Global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(W, &Release);
}

// Points Link at Target in one step, as a device manager replaces a link.
void PointLink(const std::string& Link, const std::string& Target) {
  const std::string Tmp = Link + ".new";
  ::unlink(Tmp.c_str());
  ASSERT_EQ(::symlink(Target.c_str(), Tmp.c_str()), 0);
  ASSERT_EQ(std::rename(Tmp.c_str(), Link.c_str()), 0);
}

// The simulator on a new pseudo-terminal, with Link pointed at it.
std::unique_ptr<TSim> StartPtySim(const std::string& Link) {
  auto Sim = std::make_unique<TSim>(QStringList{"--pty"});
  const std::string Pty = Sim->WaitLine("PTY ");
  EXPECT_FALSE(Pty.empty());
  if (!Pty.empty()) PointLink(Link, Pty);
  return Sim;
}

QListWidgetItem* FindItem(QListWidget* List, const QString& Text) {
  for (int I = 0; I < List->count(); ++I)
    if (List->item(I)->text() == Text) return List->item(I);
  return nullptr;
}

}  // namespace

TEST(ProgramOverSerial, LinkStatusCommandsLossAndRecovery) {
  TempDir Dir;
  ScopedScriptedDialogs Script;
  const std::string Link = Dir.File("ttyQuill");
  const auto SimHolder = StartPtySim(Link);
  ASSERT_FALSE(::testing::Test::HasFailure());
  TSim& Sim = *SimHolder;
  // Reconnect is not set: the specified behaviour, the link stays down until the port is picked.
  WriteFile(Dir.File("q.ini"), "[Comm]\nMode=1\nPort=5\n[ComMap]\nCOM5=" + Link + "\n");
  TProgram Program(Dir.File("q.ini"));
  TQuillMain& Main = *Program.QuillMain;
  TCommControl& Comm = *Program.CommControl;
  Main.show();

  EXPECT_EQ(Comm.ComLabel->text(), "Using COM5");
  ASSERT_TRUE(WaitFor([&] { return Main.CommLed->text() == "Connected"; }, 30000));
  ASSERT_TRUE(WaitFor([&] { return Main.EditBand->text() == "40"; }, 30000));
  Click(Main.AntBtn5);
  ASSERT_TRUE(WaitFor([&] { return Main.AntBtn5->Brush().Color() == AntennaColor; }, 30000));
  ASSERT_TRUE(Script->Errors.empty());
  Comm.show();
  EXPECT_TRUE(Comm.grab().save(QString::fromStdString(ScreenshotPath("serial-comm-window.png"))));
  EXPECT_TRUE(Main.grab().save(QString::fromStdString(ScreenshotPath("serial-main-window.png"))));

  // The device vanishes (a new terminal replaces it, as a re-plugged adapter would).
  const size_t Mark = Sim.Out.size();
  ASSERT_TRUE(Sim.Control("drop"));
  const std::string Second = Sim.WaitLine("PTY ", Mark);
  ASSERT_FALSE(Second.empty());
  ASSERT_TRUE(WaitFor([&] { return Comm.ComLabel->text() == "Disabled"; }, 30000));
  EXPECT_EQ(Comm.LinkLed->text(), "Disconnected");
  EXPECT_FALSE(Comm.Port->Open());
  EXPECT_EQ(Comm.Port->ComNumber(), 0);
  ASSERT_TRUE(WaitFor([&] { return Script->Errors.size() >= 2; }));
  EXPECT_TRUE(std::count(Script->Errors.begin(), Script->Errors.end(), "Device read error") == 1);
  EXPECT_TRUE(std::count(Script->Errors.begin(), Script->Errors.end(), "Communications failed") == 1);
  EXPECT_FALSE(Comm.Reconnect());
  EXPECT_FALSE(Comm.Recovery->Waiting());

  // It comes back; the list shows it again and the user picks it.
  PointLink(Link, Second);
  QListWidgetItem* Item = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (Item = FindItem(Comm.ComListBox, "COM5")) != nullptr; }, 30000));
  Comm.ComListBox->setCurrentItem(Item);
  Comm.ComPortBtnClick();
  EXPECT_EQ(Comm.ComLabel->text(), "Using COM5");
  ASSERT_TRUE(WaitFor([&] { return Main.CommLed->text() == "Connected"; }, 30000));
  Click(Main.AntBtn2);
  ASSERT_TRUE(WaitFor([&] { return Main.AntBtn2->Brush().Color() == AntennaColor; }, 30000));
  EXPECT_EQ(Script->Errors.size(), 2u);
  Main.close();
  EXPECT_FALSE(Comm.Port->Open());
}

TEST(ProgramOverSerial, TheProgramItselfTalksToASerialDevice) {
  TempDir Dir;
  TSim Sim({"--pty", "--verbose"});
  const std::string Path = Sim.WaitLine("PTY ");
  ASSERT_FALSE(Path.empty());
  WriteFile(Dir.File("q.ini"), "[Comm]\nMode=1\nPort=7\n[ComMap]\nCOM7=" + Path + "\n");
  TQuill Quill(Dir.File("q.ini"));
  // Link tests arrive at the device over the terminal.
  EXPECT_TRUE(WaitFor([&] {
    Sim.Collect();
    return Sim.Err.find(" < [C") != std::string::npos;
  }, 60000)) << Sim.Err;
  EXPECT_TRUE(Quill.Stop(SIGTERM));
}

namespace {

int CountEntries(const char* Folder) {
  int N = 0;
  for ([[maybe_unused]] const auto& E : std::filesystem::directory_iterator(Folder)) ++N;
  return N;
}

}  // namespace

// Boxes that stay open, as a user away from the desk leaves them, while Progress() moves on by
// two (or until a deadline: recorded as false).
struct TOpenBoxes : ScriptedDialogs {
  void ErrorBox(const std::string& Text) override {
    ScriptedDialogs::ErrorBox(Text);
    if (!Progress) return;
    const long Start = Progress();
    Dismissed.push_back(WaitFor([&] { return Progress() >= Start + 2; }, 10000));
  }
  std::function<long()> Progress;
  std::vector<bool> Dismissed;
};

// With Reconnect=1 the same losses bring the link back without the user: the simulator is
// killed and started again on a new terminal, and the link follows it each time. On the first
// loss the boxes stay open until the link tests have gone on (they must not stop them).
TEST(ProgramOverSerial, WithReconnectTheLinkComesBackByItselfAfterEachLoss) {
  TempDir Dir;
  auto Boxes = std::make_shared<TOpenBoxes>();
  ScopedScriptedDialogs Script(Boxes);
  const std::string Link = Dir.File("ttyQuill");
  auto Sim = StartPtySim(Link);
  ASSERT_FALSE(::testing::Test::HasFailure());
  WriteFile(Dir.File("q.ini"), "[Comm]\nMode=1\nPort=5\nReconnect=1\n[ComMap]\nCOM5=" + Link + "\n");
  TProgram Program(Dir.File("q.ini"));
  TQuillMain& Main = *Program.QuillMain;
  TCommControl& Comm = *Program.CommControl;
  Main.show();
  EXPECT_TRUE(Comm.Reconnect());
  EXPECT_TRUE(Comm.ReconnectAction->isChecked());
  ASSERT_TRUE(WaitFor([&] { return Main.CommLed->text() == "Connected"; }, 30000));
  const int Fds = CountEntries("/proc/self/fd"), Threads = CountEntries("/proc/self/task");

  auto TestsLogged = [&] {
    const auto Lines = Comm.LogLines();
    return std::count_if(Lines.begin(), Lines.end(), [](const std::string& L) { return L.rfind("Tries: ", 0) == 0; });
  };
  constexpr int Losses = 20;
  std::vector<double> Took;
  for (int I = 0; I < Losses; ++I) {
    SCOPED_TRACE("loss " + std::to_string(I + 1));
    Boxes->Progress = I == 0 ? std::function<long()>(TestsLogged) : nullptr;
    Sim->P.kill();
    Sim->P.waitForFinished(10000);
    Sim.reset();
    // The link goes with its device, as udev's do: left behind, it could lead to another
    // program's terminal that took the freed number.
    ::unlink(Link.c_str());
    ASSERT_TRUE(WaitFor([&] { return Comm.Recovery->Waiting(); }, 30000));
    EXPECT_EQ(Main.CommLed->text(), "Disconnected");
    Sim = std::make_unique<TSim>(QStringList{"--pty"});
    const std::string Next = Sim->WaitLine("PTY ");
    ASSERT_FALSE(Next.empty());
    const auto Back = std::chrono::steady_clock::now();
    PointLink(Link, Next);
    ASSERT_TRUE(WaitFor([&] { return Main.CommLed->text() == "Connected"; }, 30000));
    Took.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - Back).count());
    EXPECT_EQ(Comm.ComLabel->text(), "Using COM5");
  }
  EXPECT_EQ(Boxes->Dismissed, std::vector<bool>(2, true));
  // The specified reports for each loss, and nothing beyond them.
  EXPECT_EQ(std::count(Script->Errors.begin(), Script->Errors.end(), "Device read error"), Losses);
  EXPECT_EQ(std::count(Script->Errors.begin(), Script->Errors.end(), "Communications failed"), Losses);
  EXPECT_EQ(Script->Errors.size(), 2u * Losses);
  EXPECT_EQ(CountEntries("/proc/self/fd"), Fds);
  EXPECT_EQ(CountEntries("/proc/self/task"), Threads);
  std::sort(Took.begin(), Took.end());
  std::printf("link back after the device's return: median %.2f s, worst %.2f s over %d losses\n",
              Took[Took.size() / 2], Took.back(), Losses);
  // A click still reaches the device.
  Click(Main.AntBtn3);
  ASSERT_TRUE(WaitFor([&] { return Main.AntBtn3->Brush().Color() == AntennaColor; }, 30000));
  Main.close();
}

namespace {

bool Logged(const TCommControl& Comm, const std::string& Part) {
  const auto Lines = Comm.LogLines();
  return std::any_of(Lines.begin(), Lines.end(), [&](const std::string& L) { return L.find(Part) != std::string::npos; });
}

// A program over COM5 with Reconnect=1, the port mapped to Path.
struct TRecoveringProgram {
  TRecoveringProgram(const TempDir& Dir, const std::string& Path) {
    WriteFile(Dir.File("q.ini"), "[Comm]\nMode=1\nPort=5\nReconnect=1\n[ComMap]\nCOM5=" + Path + "\n");
    Program = std::make_unique<TProgram>(Dir.File("q.ini"));
  }
  TCommControl& Comm() { return *Program->CommControl; }
  ScopedScriptedDialogs Script;
  std::unique_ptr<TProgram> Program;
};

// Opens terminals until one takes Number, as the next program to open a terminal would.
std::unique_ptr<TPtyMaster> TakeNumber(const std::string& Number, std::vector<std::unique_ptr<TPtyMaster>>& Others) {
  for (int I = 0; I < 64; ++I) {
    auto Pty = std::make_unique<TPtyMaster>(O_NONBLOCK);
    if (Pty->Path == Number) return Pty;
    Others.push_back(std::move(Pty));
  }
  return nullptr;
}

}  // namespace

// When the program on a terminal ends, its number goes to the next terminal anyone opens (a
// shell window): the program must not write its link tests there. Through a bare number it is
// never reopened; through a link only once the link has been made again.
TEST(ProgramOverSerial, ATerminalNumberTakenByAnotherProgramIsNeverWrittenTo) {
  for (const bool ThroughLink : {true, false}) {
    SCOPED_TRACE(ThroughLink ? "through a link" : "through its bare number");
    TempDir Dir;
    auto Device = std::make_unique<TPtyMaster>(O_NONBLOCK);
    ASSERT_FALSE(Device->Path.empty());
    const std::string Number = Device->Path;
    const std::string Link = Dir.File("ttyQuill");
    if (ThroughLink) PointLink(Link, Number);
    TRecoveringProgram P(Dir, ThroughLink ? Link : Number);
    TCommControl& Comm = P.Comm();
    std::string Got;
    ASSERT_TRUE(WaitFor([&] { return (Got += Drain(Device->Master)).find("[C") != std::string::npos; }, 30000));
    Device->Close();
    ASSERT_TRUE(WaitFor([&] { return Comm.ComLabel->text() == "Disabled"; }, 30000));
    std::vector<std::unique_ptr<TPtyMaster>> Others;
    const auto Holder = TakeNumber(Number, Others);
    ASSERT_TRUE(Holder) << Number << " was not given out again";
    if (ThroughLink) {
      ASSERT_TRUE(WaitFor([&] { return Logged(Comm, "still leads where it did before the loss"); }, 30000));
      EXPECT_TRUE(Comm.Recovery->Waiting());
    } else {
      EXPECT_TRUE(Logged(Comm, "is a pseudo-terminal's number"));
      EXPECT_FALSE(Comm.Recovery->Waiting());
    }
    // The device comes back on a new terminal behind a link made again: that one is followed.
    const auto Back = std::make_unique<TPtyMaster>(O_NONBLOCK);
    if (ThroughLink) {
      PointLink(Link, Back->Path);
      ASSERT_TRUE(WaitFor([&] { return !Comm.Recovery->Waiting(); }, 30000));
      EXPECT_EQ(Comm.ComLabel->text(), "Using COM5");
      Got.clear();
      EXPECT_TRUE(WaitFor([&] { return (Got += Drain(Back->Master)).find("[C") != std::string::npos; }, 30000));
    }
    EXPECT_EQ(Drain(Holder->Master), "");
  }
}

// The open that follows a link's appearance comes before the terminal is unlocked; no further
// change comes to say it is ready, so it is tried again until it is.
TEST(ProgramOverSerial, AnOpenThatCameBeforeTheTerminalWasReadyIsTriedAgain) {
  TempDir Dir;
  const std::string Link = Dir.File("ttyQuill");
  auto First = std::make_unique<TPtyMaster>(O_NONBLOCK);
  PointLink(Link, First->Path);
  TRecoveringProgram P(Dir, Link);
  TCommControl& Comm = P.Comm();
  ASSERT_EQ(Comm.ComLabel->text(), "Using COM5");
  First.reset();
  std::unique_ptr<TPtyMaster> Device;
  for (int Round = 0; Round < 20; ++Round) {
    SCOPED_TRACE("round " + std::to_string(Round + 1));
    ASSERT_TRUE(WaitFor([&] { return Comm.Recovery->Waiting(); }, 30000));
    Device = std::make_unique<TPtyMaster>(O_NONBLOCK, /*Locked=*/true);
    ASSERT_FALSE(Device->Path.empty());
    PointLink(Link, Device->Path);
    ASSERT_TRUE(WaitFor([&] { return Comm.Recovery->RetryPending() || !Comm.Recovery->Waiting(); }, 30000));
    ASSERT_TRUE(Comm.Recovery->Waiting()) << "opened before the terminal was unlocked";
    ASSERT_TRUE(Device->Unlock());
    ASSERT_TRUE(WaitFor([&] { return !Comm.Recovery->Waiting(); }, 30000));
    EXPECT_EQ(Comm.ComLabel->text(), "Using COM5");
    std::string Got;
    ASSERT_TRUE(WaitFor([&] { return (Got += Drain(Device->Master)).find("[C") != std::string::npos; }, 30000));
    Device->Close();  // hangs up: the next loss
  }
  EXPECT_FALSE(Logged(Comm, "cannot be opened"));
}

namespace {

// The texts of the error boxes showing now.
std::vector<std::string> ShownBoxes() {
  std::vector<std::string> Texts;
  for (QWidget* W : QApplication::topLevelWidgets())
    if (auto* Box = qobject_cast<QMessageBox*>(W); Box && Box->isVisible()) Texts.push_back(Box->text().toStdString());
  std::sort(Texts.begin(), Texts.end());
  return Texts;
}

}  // namespace

// A loss raises its two boxes in either case. With Reconnect=1 they close themselves when the
// port is back, and the log keeps the loss and the return; with 0 they wait for the user.
// The boxes are the real ones: the test acts from a timer, inside their loops.
TEST(ProgramOverSerial, TheBoxesOfALossCloseThemselvesOnlyWhenThePortComesBackByItself) {
  for (const bool Reconnect : {true, false}) {
    SCOPED_TRACE(Reconnect ? "Reconnect=1" : "Reconnect=0");
    TempDir Dir;
    const auto Old = SetDialogs(std::make_shared<QtDialogs>());
    const std::string Link = Dir.File("ttyQuill");
    auto Sim = StartPtySim(Link);
    ASSERT_FALSE(::testing::Test::HasFailure());
    WriteFile(Dir.File("q.ini"), "[Comm]\nMode=1\nPort=5\nReconnect=" + std::string(Reconnect ? "1" : "0") +
                                     "\n[ComMap]\nCOM5=" + Link + "\n");
    TProgram Program(Dir.File("q.ini"));
    TQuillMain& Main = *Program.QuillMain;
    TCommControl& Comm = *Program.CommControl;
    QtDialogs::SetMainWindow(&Main);
    Main.show();
    ASSERT_TRUE(WaitFor([&] { return Main.CommLed->text() == "Connected"; }, 30000));

    const std::vector<std::string> Both{"Communications failed", "Device read error"};
    std::vector<std::string> WhileLost, AfterReturn;
    bool Returned = false, Done = false;
    QTimer Watch;
    const auto Start = std::chrono::steady_clock::now();
    QObject::connect(&Watch, &QTimer::timeout, [&] {
      // Boxes that never close would hold the test inside their loops: past the deadline they
      // are closed, and the checks below fail instead.
      if (std::chrono::steady_clock::now() - Start > std::chrono::seconds(60)) {
        while (QWidget* Modal = QApplication::activeModalWidget()) Modal->close();
        return;
      }
      if (!Returned && ShownBoxes() == Both) {
        WhileLost = ShownBoxes();
        Returned = true;
        Sim = StartPtySim(Link);  // the device is back, behind a link made again
        return;
      }
      // Without recovery the port is back in the list but stays closed, its boxes open.
      if (Returned && !Reconnect && !Done && FindItem(Comm.ComListBox, "COM5")) {
        AfterReturn = ShownBoxes();
        Done = true;
        while (QWidget* Modal = QApplication::activeModalWidget()) Modal->close();
      }
    });
    Watch.start(20);
    Sim->P.kill();
    Sim->P.waitForFinished(10000);
    ::unlink(Link.c_str());
    if (Reconnect) {
      ASSERT_TRUE(WaitFor([&] { return Returned && Main.CommLed->text() == "Connected" && ShownBoxes().empty(); }, 60000));
      EXPECT_TRUE(Logged(Comm, "COM5 lost at "));
      EXPECT_TRUE(Logged(Comm, "s after the loss; its error boxes were closed"));
    } else {
      ASSERT_TRUE(WaitFor([&] { return Done && ShownBoxes().empty(); }, 60000));
      EXPECT_EQ(AfterReturn, Both);
      EXPECT_EQ(Comm.ComLabel->text(), "Disabled");
      EXPECT_FALSE(Logged(Comm, "COM5 lost at "));
    }
    EXPECT_EQ(WhileLost, Both);
    Watch.stop();
    Main.close();
    SetDialogs(Old);
  }
}
