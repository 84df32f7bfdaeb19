// The real program on a private session bus, driven by quill-ctl and by a client of the test's
// own, against the simulated device: what the calls put on the wire, what they refuse, one
// instance per settings file, a program without a bus, and a flood of calls.
#include <gtest/gtest.h>

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <map>
#include <numeric>
#include <string>
#include <vector>

#include "dbus_test_support.h"
#include "e2e_support.h"
#include "platform/ini_file.h"
#include "remote/remote_names.h"

namespace {

QString Bin(const char* Name) { return QString::fromLocal8Bit(std::getenv("QUILL_BIN_DIR")) + "/" + Name; }

struct TCtl {
  int Code = -1;
  std::string Out, Err;
};

// quill-ctl with Args, and --settings Ini unless Ini is empty.
TCtl Ctl(const TPrivateBus& Bus, const std::string& Ini, QStringList Args) {
  QProcess P;
  P.setProcessEnvironment(Bus.Environment());
  if (!Ini.empty()) Args = QStringList{"--settings", QString::fromStdString(Ini)} + Args;
  P.start(Bin("quill-ctl"), Args);
  TCtl R;
  if (!P.waitForFinished(60000)) {
    P.kill();
    P.waitForFinished(10000);
    return R;
  }
  R.Code = P.exitStatus() == QProcess::NormalExit ? P.exitCode() : -1;
  R.Out = P.readAllStandardOutput().toStdString();
  R.Err = P.readAllStandardError().toStdString();
  return R;
}

// Lines of the simulator's log (its standard error) from From on that carry Text.
std::vector<std::string> Received(TSim& Sim, const std::string& Text, size_t From = 0) {
  Sim.Collect();
  std::vector<std::string> Lines;
  for (size_t At = Sim.Err.find(Text, From); At != std::string::npos; At = Sim.Err.find(Text, At + 1))
    Lines.push_back(Sim.Err.substr(At, Sim.Err.find('\n', At) - At));
  return Lines;
}

std::string LanSettings(int Port) {
  return "[Comm]\nMode=0\nipAddress=127.0.0.1\nipPort=" + std::to_string(Port) + "\n";
}

// The program against the simulator on a private bus, up and connected.
struct RemoteFixture : ::testing::Test {
  void SetUp() override {
    ASSERT_TRUE(Bus.Up());
    Port = ListenPort(Sim);
    ASSERT_GT(Port, 0);
    WriteFile(Ini, LanSettings(Port));
    QProcessEnvironment Env = Bus.Environment();
    // Under AddressSanitizer freed memory is held back (256 MiB by default) before reuse, which
    // would hide whether the program's own memory stays flat under a flood of calls.
    if (Env.contains("ASAN_OPTIONS")) Env.insert("ASAN_OPTIONS", Env.value("ASAN_OPTIONS") + ":quarantine_size_mb=4");
    Quill = std::make_unique<TQuill>(Ini, Env);
    ASSERT_TRUE(WaitFor([&] {
      Status = Ctl(Bus, Ini, {"status"});
      return Status.Code == 0 && Status.Out.find("Connected") == 0 && Status.Out.find("radio 2: band 20") != std::string::npos;
    }, 60000)) << Status.Out << Status.Err;
  }
  void TearDown() override {
    if (Quill) {
      EXPECT_TRUE(Quill->Stop(SIGTERM));
    }
  }

  TPrivateBus Bus;
  TempDir Dir;
  std::string Ini = Dir.File("q.ini");
  TSim Sim{{"--port", "0", "--verbose"}};
  int Port = 0;
  std::unique_ptr<TQuill> Quill;
  TCtl Status;
};

}  // namespace

TEST_F(RemoteFixture, StatusSelectAndWatchFromTheCommandLine) {
  EXPECT_EQ(Status.Out, "Connected, LAN 127.0.0.1:" + std::to_string(Port) +
                            ", following radio 1; radio 1: band 40, Auto, antenna 3 (Antenna 3); "
                            "radio 2: band 20, manual, antenna 1 (Antenna 1)\n");

  // The line a click on Antenna 5 sends (see ProgramWithSimulator.RemoteCallsDoWhatTheClicksDo).
  const TCtl Select = Ctl(Bus, Ini, {"select", "5"});
  EXPECT_EQ(Select.Code, 0) << Select.Err;
  ASSERT_TRUE(WaitFor([&] { return !Received(Sim, "< [C10535").empty(); }, 30000));
  EXPECT_EQ(Received(Sim, "< [C10535"), std::vector<std::string>{"< [C105350105]"});
  TCtl Json;
  ASSERT_TRUE(WaitFor([&] {
    Json = Ctl(Bus, Ini, {"status", "--json"});
    return QJsonDocument::fromJson(QByteArray::fromStdString(Json.Out)).object().value("Antenna1").toInt() == 5;
  }, 30000)) << Json.Out;
  const QJsonObject State = QJsonDocument::fromJson(QByteArray::fromStdString(Json.Out)).object();
  EXPECT_EQ(State.value("Auto1").toBool(true), false);
  EXPECT_EQ(State.value("AntennaNames").toArray().size(), 8);

  // watch: the state first, then each change as the device reports it.
  QProcess Watch;
  Watch.setProcessEnvironment(Bus.Environment());
  Watch.start(Bin("quill-ctl"), {"--settings", QString::fromStdString(Ini), "watch"});
  std::string Seen;
  const auto Shows = [&](const std::string& Line) {
    return WaitFor([&] {
      Seen += Watch.readAllStandardOutput().toStdString();
      return Seen.find(Line + "\n") != std::string::npos;
    }, 30000);
  };
  ASSERT_TRUE(Shows("Antenna1=5")) << Seen;
  ASSERT_TRUE(Sim.Control("band 1 9"));
  EXPECT_TRUE(Shows("Band1=15")) << Seen;
  ASSERT_TRUE(Sim.Control("antenna 2 7"));
  EXPECT_TRUE(Shows("Antenna2=7")) << Seen;

  // Following radio 2, as the list's choice: the next command goes to C2.
  EXPECT_EQ(Ctl(Bus, Ini, {"follow", "2"}).Code, 0);
  EXPECT_TRUE(Shows("FollowedRadio=2")) << Seen;
  EXPECT_EQ(Ctl(Bus, Ini, {"select", "3"}).Code, 0);
  ASSERT_TRUE(WaitFor([&] { return !Received(Sim, "< [C20535").empty(); }, 30000));
  EXPECT_EQ(Received(Sim, "< [C20535"), std::vector<std::string>{"< [C205350103]"});
  EXPECT_TRUE(Shows("Antenna2=3")) << Seen;

  ::kill(pid_t(Watch.processId()), SIGINT);
  ASSERT_TRUE(Watch.waitForFinished(30000));
  EXPECT_EQ(Watch.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(Watch.exitCode(), 0);
}

TEST_F(RemoteFixture, RefusedCallsSayWhyAndSendNothing) {
  struct Case {
    QStringList Args;
    const char* Says;
  };
  const std::vector<Case> Cases = {
      {{"select", "9"}, "Antenna 9 is out of range (1 to 8)"},
      {{"select", "0"}, "Antenna 0 is out of range"},
      {{"select", "3", "--radio", "3"}, "Radio 3 is out of range (1 to 2)"},
      {{"follow", "0"}, "Radio 0 is out of range"},
      {{"auto", "--radio", "2"}, "Radio 2 is not the followed radio"},
      {{"select", "2", "--radio", "2"}, "Radio 2 is not the followed radio"},
      {{"select", "x"}, "select takes an antenna number"},
      {{"frobnicate"}, "unknown command"},
  };
  for (const Case& C : Cases) {
    const TCtl R = Ctl(Bus, Ini, C.Args);
    EXPECT_EQ(R.Code, 1) << C.Args.join(' ').toStdString();
    EXPECT_NE(R.Err.find(C.Says), std::string::npos) << R.Err;
  }
  // A good command behind them: the refused ones would have reached the wire before it.
  EXPECT_EQ(Ctl(Bus, Ini, {"auto"}).Code, 0);
  ASSERT_TRUE(WaitFor([&] { return !Received(Sim, "< [C1055301]").empty(); }, 30000));
  EXPECT_TRUE(Received(Sim, "< [C10535").empty());
  EXPECT_TRUE(Received(Sim, "< [C2").empty());
  EXPECT_EQ(Received(Sim, "< [C1055301]").size(), 1u);

  // Another settings file has no controller running.
  const TCtl None = Ctl(Bus, Dir.File("other.ini"), {"status"});
  EXPECT_EQ(None.Code, 2);
  EXPECT_NE(None.Err.find("no controller running"), std::string::npos) << None.Err;
}

TEST(RemoteControl, WithoutAPortACommandIsRefused) {
  TPrivateBus Bus;
  ASSERT_TRUE(Bus.Up());
  TempDir Dir;
  // COM/USB without a port chosen: nothing can be sent.
  WriteFile(Dir.File("q.ini"), "[Comm]\nMode=1\nPort=0\n");
  TQuill Quill(Dir.File("q.ini"), Bus.Environment());
  TCtl R;
  ASSERT_TRUE(WaitFor([&] {
    R = Ctl(Bus, Dir.File("q.ini"), {"select", "5"});
    return R.Code != 2;
  }, 60000));
  EXPECT_EQ(R.Code, 1);
  EXPECT_NE(R.Err.find("No port is open"), std::string::npos) << R.Err;
  const TCtl S = Ctl(Bus, Dir.File("q.ini"), {"status"});
  EXPECT_EQ(S.Out, "Disconnected, COM/USB -, following radio 1; radio 1: band -, manual, antenna -; "
                   "radio 2: band -, manual, antenna -\n");
  EXPECT_TRUE(Quill.Stop(SIGTERM));
}

TEST(RemoteControl, OneInstancePerSettingsFile) {
  TPrivateBus Bus;
  ASSERT_TRUE(Bus.Up());
  TempDir Dir;
  // A closed port on loopback: the link stays down quietly.
  for (const char* Name : {"a.ini", "b.ini"}) WriteFile(Dir.File(Name), LanSettings(1));
  TQuill First(Dir.File("a.ini"), Bus.Environment());
  ASSERT_TRUE(WaitFor([&] { return Ctl(Bus, Dir.File("a.ini"), {"status"}).Code == 0; }, 60000));

  // A second one with the same file brings the first to the front (its ShowWindow answered)
  // and ends.
  QElapsedTimer Clock;
  Clock.start();
  TQuill Second(Dir.File("a.ini"), Bus.Environment());
  ASSERT_TRUE(Second.P.waitForFinished(2000)) << "still running after " << Clock.elapsed() << " ms";
  EXPECT_EQ(Second.P.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(Second.P.exitCode(), 0);

  // Another settings file is another device: a controller of its own.
  TQuill Other(Dir.File("b.ini"), Bus.Environment());
  ASSERT_TRUE(WaitFor([&] { return Ctl(Bus, Dir.File("b.ini"), {"status"}).Code == 0; }, 60000));
  EXPECT_EQ(Other.P.state(), QProcess::Running);
  EXPECT_EQ(Ctl(Bus, Dir.File("a.ini"), {"show"}).Code, 0);
  EXPECT_TRUE(First.Stop(SIGTERM));
  EXPECT_TRUE(Other.Stop(SIGTERM));
}

TEST(RemoteControl, WithoutASessionBusTheProgramRunsAsBefore) {
  TempDir Dir;
  TSim Sim({"--port", "0", "--verbose"});
  const int Port = ListenPort(Sim);
  ASSERT_GT(Port, 0);
  WriteFile(Dir.File("q.ini"), LanSettings(Port));
  QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
  Env.remove("DBUS_SESSION_BUS_ADDRESS");
  // The tests' own runtime folder has no bus socket.
  TQuill Quill(Dir.File("q.ini"), Env, true);
  ASSERT_TRUE(WaitFor([&] { return Received(Sim, "< [C10503]").size() >= 2; }, 60000));
  EXPECT_TRUE(Quill.Stop(SIGTERM));
  const std::string Errors = Quill.ReadErrors();
  const std::string Off = "remote control is off";
  ASSERT_NE(Errors.find(Off), std::string::npos) << Errors;
  EXPECT_EQ(Errors.find(Off), Errors.rfind(Off)) << Errors;
}

TEST(RemoteControl, ListNamesEachControllerAndWithoutSettingsTheOnlyOneIsUsed) {
  TPrivateBus Bus;
  ASSERT_TRUE(Bus.Up());
  TempDir Dir;
  for (const char* Name : {"a.ini", "b.ini"}) WriteFile(Dir.File(Name), LanSettings(1));
  const std::string Default = DefaultSettingsPath(Bin("quill").toStdString());
  const std::string A = AbsoluteSettingsPath(Dir.File("a.ini")), B = AbsoluteSettingsPath(Dir.File("b.ini"));
  const std::string NameA = RemoteBusName(A, Default), NameB = RemoteBusName(B, Default);
  const std::string LineA = A + "\t" + NameA + "\tDisconnected\n", LineB = B + "\t" + NameB + "\tDisconnected\n";

  const TCtl None = Ctl(Bus, "", {"list"});
  EXPECT_EQ(None.Code, 2);
  EXPECT_EQ(None.Out, "");
  EXPECT_NE(None.Err.find("no controller running"), std::string::npos) << None.Err;

  TQuill First(Dir.File("a.ini"), Bus.Environment());
  ASSERT_TRUE(WaitFor([&] { return Ctl(Bus, Dir.File("a.ini"), {"status"}).Code == 0; }, 60000));
  TCtl R = Ctl(Bus, "", {"list"});
  EXPECT_EQ(R.Code, 0) << R.Err;
  EXPECT_EQ(R.Out, LineA);
  // Without --settings, the one controller running is the one meant.
  R = Ctl(Bus, "", {"status"});
  EXPECT_EQ(R.Code, 0) << R.Err;
  EXPECT_EQ(R.Out.rfind("Disconnected, LAN 127.0.0.1:1,", 0), 0u) << R.Out;

  TQuill Second(Dir.File("b.ini"), Bus.Environment());
  ASSERT_TRUE(WaitFor([&] { return Ctl(Bus, Dir.File("b.ini"), {"status"}).Code == 0; }, 60000));
  R = Ctl(Bus, "", {"list"});
  EXPECT_EQ(R.Code, 0) << R.Err;
  EXPECT_EQ(R.Out, NameA < NameB ? LineA + LineB : LineB + LineA);
  R = Ctl(Bus, "", {"list", "--json"});
  const QJsonArray All = QJsonDocument::fromJson(QByteArray::fromStdString(R.Out)).array();
  ASSERT_EQ(All.size(), 2) << R.Out;
  EXPECT_EQ(All[0].toObject().value("LinkState").toString(), "Disconnected");
  // Two running: a command without --settings names them instead of guessing.
  for (const QStringList& Args : {QStringList{"status"}, QStringList{"select", "5"}, QStringList{"watch"}}) {
    R = Ctl(Bus, "", Args);
    EXPECT_EQ(R.Code, 1) << Args.join(' ').toStdString();
    EXPECT_NE(R.Err.find("2 controllers are running"), std::string::npos) << R.Err;
    EXPECT_NE(R.Err.find(A + " (" + NameA + ")"), std::string::npos) << R.Err;
    EXPECT_NE(R.Err.find(B + " (" + NameB + ")"), std::string::npos) << R.Err;
    EXPECT_EQ(R.Out, "");
  }
  EXPECT_TRUE(First.Stop(SIGTERM));
  EXPECT_TRUE(Second.Stop(SIGTERM));
}

TEST(RemoteControl, AHardLinkReachesTheControllerOfItsFile) {
  TPrivateBus Bus;
  ASSERT_TRUE(Bus.Up());
  TempDir Dir;
  WriteFile(Dir.File("a.ini"), LanSettings(1));
  ASSERT_EQ(link(Dir.File("a.ini").c_str(), Dir.File("linked.ini").c_str()), 0);
  TQuill First(Dir.File("a.ini"), Bus.Environment());
  ASSERT_TRUE(WaitFor([&] { return Ctl(Bus, Dir.File("a.ini"), {"status"}).Code == 0; }, 60000));

  // Started through the link, the program brings the running one to the front and ends.
  TQuill Second(Dir.File("linked.ini"), Bus.Environment());
  ASSERT_TRUE(Second.P.waitForFinished(60000));
  EXPECT_EQ(Second.P.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(Second.P.exitCode(), 0);
  // quill-ctl finds it through the link too.
  const TCtl Status = Ctl(Bus, Dir.File("linked.ini"), {"status"});
  EXPECT_EQ(Status.Code, 0) << Status.Err;
  const TCtl List = Ctl(Bus, "", {"list"});
  EXPECT_EQ(std::count(List.Out.begin(), List.Out.end(), '\n'), 1) << List.Out;
  EXPECT_TRUE(First.Stop(SIGTERM));
}

TEST(RemoteControl, TwoStartsAtOnceThroughTwoPathsOfOneFileRunOneController) {
  TPrivateBus Bus;
  ASSERT_TRUE(Bus.Up());
  for (int Round = 1; Round <= 3; ++Round) {
    TempDir Dir;
    WriteFile(Dir.File("a.ini"), LanSettings(1));
    ASSERT_EQ(link(Dir.File("a.ini").c_str(), Dir.File("linked.ini").c_str()), 0);
    TQuill First(Dir.File("a.ini"), Bus.Environment());
    TQuill Second(Dir.File("linked.ini"), Bus.Environment());
    // One of them hands over to the other and ends.
    ASSERT_TRUE(WaitFor([&] {
      return First.P.state() == QProcess::NotRunning || Second.P.state() == QProcess::NotRunning;
    }, 60000)) << "round " << Round;
    TQuill& Ended = First.P.state() == QProcess::NotRunning ? First : Second;
    TQuill& Runs = &Ended == &First ? Second : First;
    EXPECT_EQ(Ended.P.exitStatus(), QProcess::NormalExit) << "round " << Round;
    EXPECT_EQ(Ended.P.exitCode(), 0) << "round " << Round;
    EXPECT_EQ(Runs.P.state(), QProcess::Running) << "round " << Round;
    const TCtl List = Ctl(Bus, "", {"list"});
    EXPECT_EQ(std::count(List.Out.begin(), List.Out.end(), '\n'), 1) << "round " << Round << ": " << List.Out;
    EXPECT_TRUE(Runs.Stop(SIGTERM)) << "round " << Round;
  }
}

TEST(RemoteControl, TheControllerAnswersWhileTheFirstStartBoxWaits) {
  TPrivateBus Bus;
  ASSERT_TRUE(Bus.Up());
  TempDir Dir;
  // No settings yet: start-up shows its error box and waits for the user.
  TQuill Quill(Dir.File("new.ini"), Bus.Environment());
  TCtl Status;
  ASSERT_TRUE(WaitFor([&] {
    Status = Ctl(Bus, Dir.File("new.ini"), {"status"});
    return Status.Code == 0;
  }, 60000)) << Status.Err;
  EXPECT_EQ(Status.Out.rfind("Disconnected, LAN", 0), 0u) << Status.Out;
  // A click waits behind the box, as a user's would, and gives up as busy.
  const TCtl Select = Ctl(Bus, Dir.File("new.ini"), {"select", "5"});
  EXPECT_EQ(Select.Code, 1);
  EXPECT_NE(Select.Err.find("A message box is waiting for the user"), std::string::npos) << Select.Err;
  // A second start on the file finds it: one controller, one box.
  TQuill Second(Dir.File("new.ini"), Bus.Environment());
  ASSERT_TRUE(Second.P.waitForFinished(60000));
  EXPECT_EQ(Second.P.exitCode(), 0);
  EXPECT_TRUE(Quill.Stop(SIGTERM));
}

TEST(RemoteControl, BackOnTheBusWhenTheBusComesBack) {
  TempDir Dir;
  // A fixed address: the bus comes back where it was, as a desktop's does.
  TPrivateBus Bus(QString::fromStdString("unix:path=" + Dir.File("bus")));
  ASSERT_TRUE(Bus.Up());
  WriteFile(Dir.File("q.ini"), LanSettings(1));
  TQuill Quill(Dir.File("q.ini"), Bus.Environment(), true);
  ASSERT_TRUE(WaitFor([&] { return Ctl(Bus, Dir.File("q.ini"), {"status"}).Code == 0; }, 60000));

  for (int Round = 1; Round <= 2; ++Round) {
    Bus.Stop();
    ASSERT_TRUE(WaitFor([&] { return Quill.ReadErrors().find("remote control is off") != std::string::npos; }, 60000))
        << Quill.Errors;
    Bus.Start();
    ASSERT_TRUE(Bus.Up());
    TCtl Status;
    ASSERT_TRUE(WaitFor([&] {
      Status = Ctl(Bus, Dir.File("q.ini"), {"status"});
      return Status.Code == 0;
    }, 60000)) << "round " << Round << ": " << Status.Err;
    // Back under its name: a second start on the file hands over instead of running beside it.
    TQuill Second(Dir.File("q.ini"), Bus.Environment());
    ASSERT_TRUE(Second.P.waitForFinished(60000));
    EXPECT_EQ(Second.P.exitCode(), 0) << "round " << Round;
    // Said once per loss and once per return.
    const auto Count = [&](const std::string& Text) {
      const std::string Errors = Quill.ReadErrors();
      int N = 0;
      for (size_t At = Errors.find(Text); At != std::string::npos; At = Errors.find(Text, At + 1)) ++N;
      return N;
    };
    EXPECT_TRUE(WaitFor([&] { return Count("remote control is on") == Round; }, 60000)) << Quill.Errors;
    EXPECT_EQ(Count("remote control is off"), Round) << Quill.Errors;
  }
  EXPECT_TRUE(Quill.Stop(SIGTERM));
}

namespace {

long ResidentKiB(qint64 Pid) {
  const std::string Status = ReadFile("/proc/" + std::to_string(Pid) + "/status");
  const auto At = Status.find("VmRSS:");
  return At == std::string::npos ? -1 : std::stol(Status.substr(At + 6));
}

}  // namespace

TEST_F(RemoteFixture, AFloodOfCallsSendsOnlyWhatWasAskedAndKeepsTheProgramResponsive) {
  QDBusConnection Client = Bus.Connect("flood");
  const std::string DefaultFile = DefaultSettingsPath(Bin("quill").toStdString());
  const QString Dest = QString::fromStdString(RemoteBusName(Ini, DefaultFile));
  const auto Message = [&](const char* Interface, const char* Name, QVariantList Args) {
    QDBusMessage M = QDBusMessage::createMethodCall(Dest, "/", Interface, Name);
    M.setArguments(Args);
    return M;
  };
  const auto Flood = [&](std::map<int, int>& Asked) {
    std::vector<std::pair<int, QDBusPendingCall>> Calls;
    for (int I = 0; I < 1000; ++I) {
      const int Antenna = I % 8 + 1;
      Calls.emplace_back(Antenna, Client.asyncCall(Message(RemoteInterface, "SelectAntenna", {1, Antenna})));
    }
    // Behind all of them, a read of the state is still answered.
    QDBusPendingCall Read = Client.asyncCall(Message("org.freedesktop.DBus.Properties", "GetAll", {RemoteInterface}));
    EXPECT_TRUE(WaitFor([&] {
      return Read.isFinished() && std::all_of(Calls.begin(), Calls.end(), [](auto& C) { return C.second.isFinished(); });
    }, 120000));
    EXPECT_FALSE(Read.isError()) << Read.error().message().toStdString();
    for (auto& [Antenna, Call] : Calls) {
      if (!Call.isError()) {
        ++Asked[Antenna];
      } else {
        EXPECT_EQ(Call.error().name().toStdString(), RemoteErrorBusy) << Call.error().message().toStdString();
      }
    }
  };
  // Every successful call's line reached the device, and nothing else: a last command marks
  // the end of the stream.
  const auto Wire = [&](size_t From) {
    QDBusPendingCall Mark = Client.asyncCall(Message(RemoteInterface, "SetAuto", {1}));
    EXPECT_TRUE(WaitFor([&] { return Mark.isFinished(); }, 60000));
    EXPECT_FALSE(Mark.isError()) << Mark.error().message().toStdString();
    EXPECT_TRUE(WaitFor([&] { return !Received(Sim, "< [C1055301]", From).empty(); }, 60000));
    std::map<int, int> Sent;
    for (const std::string& Line : Received(Sim, "< [C10535", From)) ++Sent[std::stoi(Line.substr(11, 2), nullptr, 16)];
    return Sent;
  };

  Sim.Collect();
  std::map<int, int> Asked;
  Flood(Asked);
  EXPECT_EQ(Wire(0), Asked);
  int Done = 0;
  for (auto& [Antenna, N] : Asked) Done += N;
  EXPECT_GE(Done, 1);
  EXPECT_LE(Done, 1000);

  // A second flood leaves memory where the first left it.
  const long After1 = ResidentKiB(Quill->P.processId());
  Sim.Collect();
  const size_t From = Sim.Err.size();
  std::map<int, int> Again;
  Flood(Again);
  EXPECT_EQ(Wire(From), Again);
  const long After2 = ResidentKiB(Quill->P.processId());
  EXPECT_LT(After2 - After1, 8 * 1024) << After1 << " KiB, then " << After2 << " KiB";
  std::printf("flood: %d then %d of 1000 calls done, resident %ld KiB then %ld KiB\n", Done,
              int(std::accumulate(Again.begin(), Again.end(), 0, [](int S, auto& P) { return S + P.second; })), After1,
              After2);
}

TEST_F(RemoteFixture, WatchStartedManyTimesEndsCleanlyAndSaysNothingOfInvalidTypes) {
  for (int Run = 1; Run <= 25; ++Run) {
    QProcess Watch;
    Watch.setProcessEnvironment(Bus.Environment());
    Watch.start(Bin("quill-ctl"), {"--settings", QString::fromStdString(Ini), "watch"});
    std::string Out;
    ASSERT_TRUE(WaitFor([&] {
      Out += Watch.readAllStandardOutput().toStdString();
      return Out.find("\nPort=") != std::string::npos;
    }, 30000)) << "run " << Run << ": " << Out;
    ::kill(pid_t(Watch.processId()), SIGINT);
    ASSERT_TRUE(Watch.waitForFinished(30000));
    // An interrupt right after the first lines ends it cleanly too.
    EXPECT_EQ(Watch.exitStatus(), QProcess::NormalExit) << "run " << Run;
    EXPECT_EQ(Watch.exitCode(), 0) << "run " << Run;
    const std::string Err = Watch.readAllStandardError().toStdString();
    EXPECT_EQ(Err, "") << "run " << Run;
  }
}
