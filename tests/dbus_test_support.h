#pragma once
// A private session bus for a test: its own dbus-daemon, so tests never meet a desktop's bus or
// each other. Ended (and its socket gone) when the object goes.

#include <QDBusConnection>
#include <QProcess>
#include <QProcessEnvironment>

#include <string>

#include "test_support.h"

class TPrivateBus {
 public:
  TPrivateBus() {
    Daemon.setProcessChannelMode(QProcess::SeparateChannels);
    Daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                 QStringLiteral("--print-address")});
    WaitFor([&] { return Daemon.canReadLine() || Daemon.state() == QProcess::NotRunning; }, 20000);
    Address = QString::fromUtf8(Daemon.readLine()).trimmed();
  }
  ~TPrivateBus() {
    for (const QString& Name : Connections) QDBusConnection::disconnectFromBus(Name);
    Daemon.terminate();
    if (!Daemon.waitForFinished(10000)) {
      Daemon.kill();
      Daemon.waitForFinished(10000);
    }
  }
  TPrivateBus(const TPrivateBus&) = delete;
  TPrivateBus& operator=(const TPrivateBus&) = delete;

  bool Up() const { return !Address.isEmpty(); }
  // A connection of this process to the bus, under a name of the test's choosing.
  QDBusConnection Connect(const QString& Name) {
    Connections << Name;
    return QDBusConnection::connectToBus(Address, Name);
  }
  // The environment of a child process that should find this bus as its session bus.
  QProcessEnvironment Environment() const {
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    Env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), Address);
    return Env;
  }

  QString Address;
  QProcess Daemon;
  QStringList Connections;
};
