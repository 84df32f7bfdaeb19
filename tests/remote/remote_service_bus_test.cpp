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

#include "remote_service_bus_test.moc"
