// The session bus service on a private bus, as a client sees it: its properties, change
// announcements and errors. Apart from remote_service_test.cpp because the private bus is a
// dbus-daemon the test starts, which needs the native kernel (label needs-native): the
// user-mode emulator rejects the clone flags Qt starts processes with.
#include <gtest/gtest.h>

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingReply>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "dbus_test_support.h"
#include "fake_program.h"
#include "remote/remote_bus.h"
#include "remote/remote_names.h"
#include "remote/remote_service.h"

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

QDBusMessage Call(const QString& Dest, const QString& Interface, const QString& Name, const QVariantList& Args) {
  QDBusMessage M = QDBusMessage::createMethodCall(Dest, QString::fromLatin1(RemoteObjectPath), Interface, Name);
  M.setArguments(Args);
  return M;
}

// The session bus of this process (for TRemoteBus, which finds it as the program does) is
// the test's private one while the object lives.
class TSessionBusAt {
 public:
  explicit TSessionBusAt(const QString& Address) : FOld(qgetenv("DBUS_SESSION_BUS_ADDRESS")) {
    qputenv("DBUS_SESSION_BUS_ADDRESS", Address.toUtf8());
  }
  ~TSessionBusAt() { qputenv("DBUS_SESSION_BUS_ADDRESS", FOld); }
  TSessionBusAt(const TSessionBusAt&) = delete;
  TSessionBusAt& operator=(const TSessionBusAt&) = delete;

 private:
  QByteArray FOld;
};

}  // namespace

TEST(RemoteServiceOnTheBus, PropertiesChangesAndErrors) {
  FakeProgram Program;
  auto Service = std::make_unique<TRemoteService>(Program);
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

TEST(RemoteServiceOnTheBus, AWaitingCallWhoseClientLeavesIsDroppedNotSent) {
  FakeProgram Program;
  // The clock stands still: no waiting call gives up on its own.
  TRemoteService Service(Program, [] { return std::uint64_t(1000); });
  TPrivateBus Bus;
  ASSERT_TRUE(Bus.Up());
  QDBusConnection Server = Bus.Connect(QStringLiteral("service"));
  ASSERT_TRUE(Service.Attach(Server));
  const QString Dest = Server.baseService(), Iface = QString::fromLatin1(RemoteInterface);
  Program.BusyWhy = "A message box is waiting for the user";
  {
    // Held only here: the connection closes when the last reference to it goes.
    QDBusConnection Leaver = Bus.Connect(QStringLiteral("leaver"));
    Leaver.asyncCall(Call(Dest, Iface, QStringLiteral("SelectAntenna"), {1, 5}));
    Leaver.asyncCall(Call(Dest, Iface, QStringLiteral("SetAuto"), {1}));
  }
  ASSERT_TRUE(WaitFor([&] { return Service.Waiting() == 2; }, 30000));
  QDBusConnection Stayer = Bus.Connect(QStringLiteral("stayer"));
  QDBusPendingCall Stays = Stayer.asyncCall(Call(Dest, Iface, QStringLiteral("FollowRadio"), {2}));
  ASSERT_TRUE(WaitFor([&] { return Service.Waiting() == 3; }, 30000));

  QDBusConnection::disconnectFromBus(QStringLiteral("leaver"));
  ASSERT_TRUE(WaitFor([&] { return Service.Waiting() == 1; }, 30000)) << Service.Waiting();
  Program.BusyWhy.clear();
  const QDBusMessage Done = Finished(Stays);
  EXPECT_EQ(Done.type(), QDBusMessage::ReplyMessage) << Done.errorMessage().toStdString();
  EXPECT_EQ(Program.Calls, std::vector<std::string>{"radio 2"});
}

TEST(RemoteBus, TheControllerRegistersAgainWhenTheBusComesBack) {
  TempDir Dir;
  // A fixed address, so the bus can come back where it was.
  TPrivateBus Bus(QStringLiteral("unix:path=") + QString::fromStdString(Dir.File("bus")));
  ASSERT_TRUE(Bus.Up());
  const TSessionBusAt Session(Bus.ClientAddress());
  FakeProgram Program;
  TRemoteService Service(Program);
  std::vector<std::string> Said;
  const std::string Name = RemoteBusName(Dir.File("q.ini"), "");
  TRemoteBus Remote(Name, Dir.File("q.ini"), [&](const std::string& Text) { Said.push_back(Text); });
  std::string Holder, Why;
  ASSERT_EQ(Remote.Look(Holder, Why), TRemoteClaim::rcFree) << Why;
  ASSERT_EQ(Remote.Serve(Service, Why), TRemoteClaim::rcClaimed) << Why;

  int Clients = 0;
  const auto Answers = [&] {
    const QString Client = QStringLiteral("client%1").arg(++Clients);
    const QDBusMessage Reply = Finished(Bus.Connect(Client).asyncCall(
        Call(QString::fromStdString(Name), QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
             {QString::fromLatin1(RemoteInterface), QStringLiteral("LinkState")})));
    QDBusConnection::disconnectFromBus(Client);
    return Reply.type() == QDBusMessage::ReplyMessage;
  };
  ASSERT_TRUE(Answers());
  for (int Round = 1; Round <= 2; ++Round) {
    // A call waiting when the bus goes has lost its client with it: never sent.
    Program.BusyWhy = "A message box is waiting for the user";
    const QString Waiter = QStringLiteral("waiter%1").arg(Round);
    Bus.Connect(Waiter).asyncCall(Call(QString::fromStdString(Name), QString::fromLatin1(RemoteInterface),
                                       QStringLiteral("SelectAntenna"), {1, 5}));
    ASSERT_TRUE(WaitFor([&] { return Service.Waiting() == 1; }, 30000));
    Bus.Stop();
    ASSERT_TRUE(WaitFor([&] { return !Remote.OnBus(); }, 30000)) << "round " << Round;
    EXPECT_EQ(Service.Waiting(), 0u);
    Program.BusyWhy.clear();
    QDBusConnection::disconnectFromBus(Waiter);
    Bus.Start();
    ASSERT_TRUE(Bus.Up());
    ASSERT_TRUE(WaitFor([&] { return Remote.OnBus(); }, 30000)) << "round " << Round;
    EXPECT_TRUE(Answers()) << "round " << Round;
    // Said once per loss, however long the bus stays away, and once when it is back.
    ASSERT_EQ(Said.size(), size_t(2 * Round));
    EXPECT_NE(Said[size_t(2 * Round - 2)].find("remote control is off"), std::string::npos) << Said[0];
    EXPECT_NE(Said[size_t(2 * Round - 1)].find("remote control is on"), std::string::npos) << Said[1];
  }

  EXPECT_TRUE(Program.Calls.empty());
  // Back on the bus, the name is held again: a second controller of the file finds it.
  TRemoteBus Second(Name, Dir.File("q.ini"), [](const std::string&) {});
  EXPECT_EQ(Second.Look(Holder, Why), TRemoteClaim::rcTaken) << Why;
  Remote.Withdraw();
}

#include "remote_service_bus_test.moc"
