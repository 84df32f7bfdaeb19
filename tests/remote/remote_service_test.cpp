// The session bus service against a recording stand-in for the program: which calls reach the
// program, in what order and when, what the refused ones answer, and what the bus sees.
#include <gtest/gtest.h>

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingReply>

#include <string>
#include <utility>
#include <vector>

#include "dbus_test_support.h"
#include "remote/remote_names.h"
#include "remote/remote_service.h"

namespace {

using TService = TRemoteService;

class FakeProgram : public TRemoteControl {
 public:
  FakeProgram() {
    S.LinkState = "Connected";
    S.Mode = "LAN";
    S.Port = "127.0.0.1:5495";
    S.FollowedRadio = 1;
    for (int N = 1; N <= 8; ++N) S.AntennaNames[size_t(N - 1)] = "Antenna " + std::to_string(N);
  }
  TRemoteState State() const override { return S; }
  std::string CannotSend() const override { return NoSend; }
  std::string Busy() const override { return BusyWhy; }
  std::string ClickAntenna(int Antenna) override { return Click("antenna " + std::to_string(Antenna)); }
  std::string ClickAuto() override { return Click("auto"); }
  void ChooseRadio(int Radio) override {
    Calls.push_back("radio " + std::to_string(Radio));
    S.FollowedRadio = Radio;
  }
  void ShowWindow() override { Calls.push_back("show"); }
  // The device's status report for Radio arrives.
  void Report(int Radio) {
    ++S.Radios[size_t(Radio - 1)].Reports;
    Changed();
  }
  void Changed() {
    if (OnChanged) OnChanged();
  }

  TRemoteState S;
  std::string NoSend, BusyWhy, ClickError;
  std::vector<std::string> Calls;
  std::function<void()> DuringClick;  // runs inside the next click

 private:
  std::string Click(const std::string& What) {
    Calls.push_back(What);
    // Once: the next click is an ordinary one.
    if (auto During = std::exchange(DuringClick, nullptr)) During();
    return ClickError;
  }
};

struct RemoteServiceFixture : ::testing::Test {
  // Submits a call; its answer lands in Answers[returned index] (nullopt until answered).
  size_t Call(TService::TKind Kind, int Radio, int Antenna = 0) {
    const size_t At = Answers.size();
    Answers.emplace_back();
    Service.Submit({Kind, Radio, Antenna, [this, At](const TService::TError& E) {
                      ASSERT_FALSE(Answers[At]) << "answered twice";
                      Answers[At] = E;
                    }});
    return At;
  }
  bool Done(size_t At) const { return Answers[At] && Answers[At]->Name.empty(); }
  std::string Refusal(size_t At) const { return Answers[At] ? Answers[At]->Name : "(waiting)"; }

  FakeProgram Program;
  std::uint64_t Now = 100000;
  TService Service{Program, [this] { return Now; }};
  std::vector<std::optional<TService::TError>> Answers;
};

}  // namespace

TEST_F(RemoteServiceFixture, RefusedCallsNeverReachTheProgramAndSayWhy) {
  struct Case {
    TService::TKind Kind;
    int Radio, Antenna;
    std::function<void(FakeProgram&)> Setup;
    std::string Error, Says;
  };
  const auto Nothing = [](FakeProgram&) {};
  const std::vector<Case> Cases = {
      {TService::ckSelectAntenna, 1, 0, Nothing, RemoteErrorInvalidArgs, "Antenna 0 is out of range (1 to 8)"},
      {TService::ckSelectAntenna, 1, 9, Nothing, RemoteErrorInvalidArgs, "Antenna 9 is out of range"},
      {TService::ckSelectAntenna, 0, 5, Nothing, RemoteErrorInvalidArgs, "Radio 0 is out of range (1 to 2)"},
      {TService::ckSelectAntenna, 3, 5, Nothing, RemoteErrorInvalidArgs, "Radio 3"},
      {TService::ckSetAuto, -1, 0, Nothing, RemoteErrorInvalidArgs, "Radio -1"},
      {TService::ckFollowRadio, 3, 0, Nothing, RemoteErrorInvalidArgs, "Radio 3"},
      // The window sends to the radio it follows: a command for the other one is refused.
      {TService::ckSelectAntenna, 2, 5, Nothing, RemoteErrorNotFollowed, "Radio 2 is not the followed radio"},
      {TService::ckSetAuto, 2, 0, Nothing, RemoteErrorNotFollowed, "Radio 2"},
      {TService::ckSelectAntenna, 1, 5, [](FakeProgram& P) { P.NoSend = "No port is open"; }, RemoteErrorNoPort,
       "No port is open"},
      {TService::ckSetAuto, 1, 0, [](FakeProgram& P) { P.NoSend = "No port is open"; }, RemoteErrorNoPort, "No port"},
  };
  for (const Case& C : Cases) {
    FakeProgram P;
    C.Setup(P);
    TService S(P, [] { return std::uint64_t(0); });
    std::optional<TService::TError> Got;
    S.Submit({C.Kind, C.Radio, C.Antenna, [&](const TService::TError& E) { Got = E; }});
    ASSERT_TRUE(Got) << C.Says;
    EXPECT_EQ(Got->Name, C.Error) << C.Says;
    EXPECT_NE(Got->Text.find(C.Says), std::string::npos) << Got->Text;
    EXPECT_TRUE(P.Calls.empty()) << C.Says;
  }
}

TEST_F(RemoteServiceFixture, AClickThatWouldShowAnErrorBoxFailsWithItsText) {
  Program.ClickError = "Communications failed";
  const size_t A = Call(TService::ckSelectAntenna, 1, 5);
  ASSERT_TRUE(Answers[A]);
  EXPECT_EQ(Answers[A]->Name, RemoteErrorFailed);
  EXPECT_EQ(Answers[A]->Text, "Communications failed");
  EXPECT_EQ(Program.Calls, std::vector<std::string>{"antenna 5"});
}

TEST_F(RemoteServiceFixture, ACommandWaitsForTheDevicesAnswerToTheLastOneOrTheRetryDelay) {
  EXPECT_TRUE(Done(Call(TService::ckSelectAntenna, 1, 5)));
  const size_t Second = Call(TService::ckSelectAntenna, 1, 6);
  EXPECT_FALSE(Answers[Second]);
  Program.Report(2);  // the other radio's report is no answer
  Service.Pump();
  EXPECT_FALSE(Answers[Second]);
  Program.Report(1);
  Service.Pump();
  EXPECT_TRUE(Done(Second));

  // A device that does not answer holds the next command for the retry delay only.
  const size_t Third = Call(TService::ckSetAuto, 1);
  Now += TService::AnswerWaitMs - 1;
  Service.Pump();
  EXPECT_FALSE(Answers[Third]);
  Now += 1;
  Service.Pump();
  EXPECT_TRUE(Done(Third));
  // Following a radio sends nothing to the device, so it does not wait for an answer.
  EXPECT_TRUE(Done(Call(TService::ckFollowRadio, 2)));
  EXPECT_EQ(Program.Calls, (std::vector<std::string>{"antenna 5", "antenna 6", "auto", "radio 2"}));
}

TEST_F(RemoteServiceFixture, WhileTheProgramIsBusyCallsWaitInOrderUpToTheBounds) {
  Program.BusyWhy = "A message box is waiting for the user";
  std::vector<size_t> Waiting;
  for (size_t I = 0; I < TService::MaxWaiting; ++I) Waiting.push_back(Call(TService::ckSelectAntenna, 1, int(I % 8) + 1));
  EXPECT_EQ(Service.Waiting(), TService::MaxWaiting);
  // One more is refused at once, with the reason.
  const size_t Over = Call(TService::ckSelectAntenna, 1, 1);
  EXPECT_EQ(Refusal(Over), RemoteErrorBusy);
  EXPECT_NE(Answers[Over]->Text.find("A message box is waiting for the user"), std::string::npos) << Answers[Over]->Text;
  // The waiting ones give up at their deadline; none reached the program.
  Now += TService::MaxWaitMs;
  Service.Pump();
  for (size_t At : Waiting) EXPECT_EQ(Refusal(At), RemoteErrorBusy);
  EXPECT_EQ(Service.Waiting(), 0u);
  EXPECT_TRUE(Program.Calls.empty());

  // Once the program is free, waiting calls go in the order they came.
  const size_t A = Call(TService::ckSelectAntenna, 1, 3);
  const size_t B = Call(TService::ckFollowRadio, 2);
  const size_t C = Call(TService::ckSetAuto, 2);
  Program.BusyWhy.clear();
  Service.Pump();
  EXPECT_TRUE(Done(A));
  EXPECT_TRUE(Done(B));
  EXPECT_FALSE(Answers[C]);  // radio 1 has not answered the antenna command yet
  Program.Report(1);
  ASSERT_TRUE(WaitFor([&] { return Answers[C].has_value(); }));  // the change notice looks again
  EXPECT_TRUE(Done(C));
  EXPECT_EQ(Program.Calls, (std::vector<std::string>{"antenna 3", "radio 2", "auto"}));
}

TEST_F(RemoteServiceFixture, ACallArrivingDuringAClickWaitsUntilTheClickHasEnded) {
  // A click may run the event loop (closing a failed port), which can deliver another call.
  size_t Inner = 0;
  size_t CallsWhenInnerCame = 0;
  Program.DuringClick = [&] {
    CallsWhenInnerCame = Program.Calls.size();
    Inner = Call(TService::ckFollowRadio, 2);
    Service.Pump();
  };
  const size_t Outer = Call(TService::ckSelectAntenna, 1, 4);
  EXPECT_TRUE(Done(Outer));
  EXPECT_EQ(Program.Calls.size(), CallsWhenInnerCame);
  ASSERT_TRUE(WaitFor([&] { return Answers[Inner].has_value(); }));
  EXPECT_TRUE(Done(Inner));
  EXPECT_EQ(Program.Calls, (std::vector<std::string>{"antenna 4", "radio 2"}));
}

namespace {

// Collects the service's change announcements as a client sees them.
class TChangeListener : public QObject {
  Q_OBJECT
 public:
  std::vector<QVariantMap> Seen;
 public slots:
  void Changed(const QString& Interface, const QVariantMap& Props, const QStringList&) {
    if (Interface == QLatin1String(RemoteInterface)) Seen.push_back(Props);
  }
};

QDBusMessage Finished(QDBusPendingCall Call) {
  WaitFor([&] { return Call.isFinished(); }, 30000);
  return Call.reply();
}

}  // namespace

TEST(RemoteServiceOnTheBus, PropertiesChangesAndErrors) {
  FakeProgram Program;
  auto Service = std::make_unique<TService>(Program);
  TPrivateBus Bus;
  ASSERT_TRUE(Bus.Up());
  QDBusConnection Server = Bus.Connect(QStringLiteral("service"));
  QDBusConnection Client = Bus.Connect(QStringLiteral("client"));
  ASSERT_TRUE(Service->Attach(Server));
  const QString Dest = Server.baseService();
  const QString Path = QString::fromLatin1(RemoteObjectPath), Iface = QString::fromLatin1(RemoteInterface);
  const QString Props = QStringLiteral("org.freedesktop.DBus.Properties");
  TChangeListener Listener;
  ASSERT_TRUE(Client.connect(Dest, Path, Props, QStringLiteral("PropertiesChanged"), &Listener,
                             SLOT(Changed(QString, QVariantMap, QStringList))));

  auto Method = [&](const QString& Interface, const QString& Name, const QVariantList& Args) {
    QDBusMessage M = QDBusMessage::createMethodCall(Dest, Path, Interface, Name);
    M.setArguments(Args);
    return Finished(Client.asyncCall(M));
  };

  // The interface the adaptor publishes is the one in the installed file.
  const QDBusMessage Xml = Method(QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"), {});
  const std::string Expected = ReadFile(std::string(std::getenv("QUILL_SOURCE_DIR")) + "/packaging/local.quill.Controller1.xml");
  for (const char* Piece : {"SelectAntenna", "FollowRadio", "AntennaNames", "Antenna2"}) {
    EXPECT_TRUE(Xml.arguments().value(0).toString().contains(QLatin1String(Piece))) << Piece;
    EXPECT_NE(Expected.find(Piece), std::string::npos) << Piece;
  }

  Program.S.Radios[0] = {"40", true, 3, 1};
  Program.Changed();
  const QDBusMessage All = Method(Props, QStringLiteral("GetAll"), {Iface});
  ASSERT_EQ(All.type(), QDBusMessage::ReplyMessage) << All.errorMessage().toStdString();
  const QVariantMap Values = qdbus_cast<QVariantMap>(All.arguments().value(0));
  EXPECT_EQ(Values.value(QStringLiteral("LinkState")).toString(), "Connected");
  EXPECT_EQ(Values.value(QStringLiteral("Port")).toString(), "127.0.0.1:5495");
  EXPECT_EQ(Values.value(QStringLiteral("FollowedRadio")).toInt(), 1);
  EXPECT_EQ(Values.value(QStringLiteral("Band1")).toString(), "40");
  EXPECT_EQ(Values.value(QStringLiteral("Auto1")).toBool(), true);
  EXPECT_EQ(Values.value(QStringLiteral("Antenna1")).toInt(), 3);
  EXPECT_EQ(Values.value(QStringLiteral("Antenna2")).toInt(), 0);
  EXPECT_EQ(Values.value(QStringLiteral("AntennaNames")).toStringList().value(7), "Antenna 8");

  // Each announcement names exactly what changed; a notice without a change says nothing.
  ASSERT_TRUE(WaitFor([&] { return Listener.Seen.size() == 1; }, 30000));
  EXPECT_EQ(Listener.Seen[0].keys(), (QStringList{"Antenna1", "Auto1", "Band1"}));
  Program.Changed();
  Program.S.Radios[0].Antenna = 5;
  Program.S.AntennaNames[1] = "Beverage";
  Program.Changed();
  ASSERT_TRUE(WaitFor([&] { return Listener.Seen.size() >= 2; }, 30000));
  EXPECT_EQ(Listener.Seen[1].keys(), (QStringList{"Antenna1", "AntennaNames"}));
  EXPECT_EQ(Listener.Seen[1].value(QStringLiteral("AntennaNames")).toStringList().value(1), "Beverage");
  EXPECT_EQ(Listener.Seen.size(), 2u);

  // Methods: errors carry their name and reason; a good call reaches the program.
  const QDBusMessage Bad = Method(Iface, QStringLiteral("SelectAntenna"), {1, 9});
  EXPECT_EQ(Bad.errorName().toStdString(), RemoteErrorInvalidArgs);
  EXPECT_EQ(Bad.errorMessage(), "Antenna 9 is out of range (1 to 8)");
  const QDBusMessage Good = Method(Iface, QStringLiteral("SelectAntenna"), {1, 5});
  EXPECT_EQ(Good.type(), QDBusMessage::ReplyMessage) << Good.errorMessage().toStdString();
  const QDBusMessage Show = Method(Iface, QStringLiteral("ShowWindow"), {});
  EXPECT_EQ(Show.type(), QDBusMessage::ReplyMessage);
  EXPECT_EQ(Program.Calls, (std::vector<std::string>{"antenna 5", "show"}));

  // A call still waiting when the service ends is answered, not left hanging.
  Program.BusyWhy = "A message box is waiting for the user";
  QDBusMessage Held = QDBusMessage::createMethodCall(Dest, Path, Iface, QStringLiteral("FollowRadio"));
  Held.setArguments({2});
  QDBusPendingCall Pending = Client.asyncCall(Held);
  ASSERT_TRUE(WaitFor([&] { return Service->Waiting() == 1; }, 30000));
  Service.reset();
  const QDBusMessage Closing = Finished(Pending);
  EXPECT_EQ(Closing.errorName().toStdString(), RemoteErrorBusy);
  EXPECT_EQ(Closing.errorMessage(), "The controller is closing");
}

#include "remote_service_test.moc"
