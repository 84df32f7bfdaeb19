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
  // Listen: a fixed address ("unix:path=..."), for a bus that is stopped and started again
  // at the same place; by default the daemon picks one.
  explicit TPrivateBus(const QString& Listen = {}) : FListen(Listen) { Start(); }
  ~TPrivateBus() {
    for (const QString& Name : Connections) QDBusConnection::disconnectFromBus(Name);
    Stop();
  }
  TPrivateBus(const TPrivateBus&) = delete;
  TPrivateBus& operator=(const TPrivateBus&) = delete;

  // The daemon (again, after Stop); Address is where it listens, empty when it did not start.
  void Start() {
    Daemon.setProcessChannelMode(QProcess::SeparateChannels);
    QStringList Args{QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")};
    if (!FListen.isEmpty()) Args << QStringLiteral("--address=") + FListen;
    Daemon.start(QStringLiteral("dbus-daemon"), Args);
    WaitFor([&] { return Daemon.canReadLine() || Daemon.state() == QProcess::NotRunning; }, 20000);
    Address = QString::fromUtf8(Daemon.readLine()).trimmed();
  }
  // Ends the daemon: every connection to it is cut.
  void Stop() {
    if (Daemon.state() == QProcess::NotRunning) return;
    Daemon.terminate();
    if (!Daemon.waitForFinished(10000)) {
      Daemon.kill();
      Daemon.waitForFinished(10000);
    }
  }

  bool Up() const { return !Address.isEmpty(); }
  // A connection of this process to the bus, under a name of the test's choosing.
  QDBusConnection Connect(const QString& Name) {
    Connections << Name;
    return QDBusConnection::connectToBus(Address, Name);
  }
  // The address a client should be given: the fixed one when there is one (the daemon's
  // printed address names this run's bus id, which a bus started again does not have).
  QString ClientAddress() const { return FListen.isEmpty() ? Address : FListen; }
  // The environment of a child process that should find this bus as its session bus.
  QProcessEnvironment Environment() const {
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    Env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), ClientAddress());
    return Env;
  }

  QString Address;
  QProcess Daemon;
  QStringList Connections;

 private:
  QString FListen;
};
