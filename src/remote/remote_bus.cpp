#include "remote_bus.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QEventLoop>

#include <vector>

#include "platform/translations.h"
#include "remote/remote_directory.h"
#include "remote/remote_names.h"
#include "remote/remote_service.h"

namespace {

QString Q(const std::string& S) { return QString::fromStdString(S); }

}  // namespace

TRemoteBus::TRemoteBus(std::string BusName, std::string SettingsFile, std::function<void(const std::string&)> Say,
                       QObject* Parent)
    : QObject(Parent), FBusName(std::move(BusName)), FSettingsFile(std::move(SettingsFile)), FSay(std::move(Say)) {
  FRetry.setInterval(RetryMs);
  connect(&FRetry, &QTimer::timeout, this, [this] { Retry(); });
  std::string Ignored;
  Connect(Ignored);
}

TRemoteBus::~TRemoteBus() {
  Withdraw();
  Close();
}

bool TRemoteBus::Connect(std::string& Why) {
  if (!FConnectionName.isEmpty()) return true;
  // Looked up at every try (not once per process, as the toolkit's own session bus is): a
  // bus that comes back may come back elsewhere.
  const std::string Address = SessionBusAddress();
  if (Address.empty()) {
    Why = TrText("Remote", "no session bus (DBUS_SESSION_BUS_ADDRESS is not set)");
    return false;
  }
  const QString Name = QStringLiteral("quill-remote-%1").arg(++FConnections);
  QDBusConnection C = QDBusConnection::connectToBus(QString::fromStdString(Address), Name);
  if (!C.isConnected() || !C.interface()) {
    //: %1 is the bus library's reason.
    Why = QCoreApplication::translate("Remote", "the session bus cannot be reached (%1)")
              .arg(C.lastError().message())
              .toStdString();
    QDBusConnection::disconnectFromBus(Name);
    return false;
  }
  // The connection's own notice that the bus has gone (it comes from the bus library, not the
  // bus): the only sign of a lost bus, which otherwise fails silently.
  C.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"), QStringLiteral("org.freedesktop.DBus.Local"),
            QStringLiteral("Disconnected"), this, SLOT(Disconnected()));
  FConnectionName = Name;
  return true;
}

void TRemoteBus::Close() {
  if (FConnectionName.isEmpty()) return;
  QDBusConnection C(FConnectionName);
  C.disconnect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"), QStringLiteral("org.freedesktop.DBus.Local"),
               QStringLiteral("Disconnected"), this, SLOT(Disconnected()));
  QDBusConnection::disconnectFromBus(FConnectionName);
  FConnectionName.clear();
}

void TRemoteBus::TakeStartLock() {
  QDBusConnection C(FConnectionName);
  const QString Lock = QString::fromStdString(RemoteStartLockName(FSettingsFile));
  // Told when the name comes to us from the queue; listened to before asking, so the notice
  // cannot come first.
  QEventLoop Wait;
  const QMetaObject::Connection Granted =
      connect(C.interface(), &QDBusConnectionInterface::serviceRegistered, &Wait, [&](const QString& Name) {
        if (Name == Lock) Wait.quit();
      });
  const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> Reply =
      C.interface()->registerService(Lock, QDBusConnectionInterface::QueueService, QDBusConnectionInterface::DontAllowReplacement);
  if (Reply.isValid() && Reply.value() == QDBusConnectionInterface::ServiceQueued) {
    // Another start of this file is looking or building its windows: its claim comes first.
    QTimer::singleShot(StartWaitMs, &Wait, &QEventLoop::quit);
    Wait.exec(QEventLoop::ExcludeUserInputEvents);
  }
  disconnect(Granted);
  const QDBusReply<QString> Owner = C.interface()->serviceOwner(Lock);
  if (Owner.isValid() && Owner.value() == C.baseService()) {
    FStartLock = Lock;
  } else if (Reply.isValid()) {
    C.interface()->unregisterService(Lock);  // leaves the queue: go on without it
  }
}

void TRemoteBus::ReleaseStartLock() {
  if (FStartLock.isEmpty()) return;
  if (!FConnectionName.isEmpty()) QDBusConnection(FConnectionName).interface()->unregisterService(FStartLock);
  FStartLock.clear();
}

TRemoteClaim TRemoteBus::Look(std::string& Holder, std::string& Why) {
  if (!Connect(Why)) return TRemoteClaim::rcOff;
  QDBusConnection C(FConnectionName);
  TakeStartLock();
  const QDBusReply<bool> Held = C.interface()->isServiceRegistered(QString::fromStdString(FBusName));
  if (!Held.isValid()) {
    Why = QCoreApplication::translate("Remote", "the session bus does not answer (%1)").arg(Held.error().message()).toStdString();
    return TRemoteClaim::rcOff;
  }
  if (Held.value()) {
    Holder = FBusName;
    return TRemoteClaim::rcTaken;
  }
  // The same file through another path (a hard link) has a name of its own: its controller
  // says which file it uses.
  std::string ListWhy;
  const std::vector<TRunningController> Running = ListControllers(C, ListWhy);
  if (const TRunningController* Same = ControllerOfFile(Running, FSettingsFile)) {
    Holder = Same->BusName;
    return TRemoteClaim::rcTaken;
  }
  return TRemoteClaim::rcFree;
}

TRemoteClaim TRemoteBus::Register(std::string& Why) {
  if (!Connect(Why)) return TRemoteClaim::rcOff;
  QDBusConnection C(FConnectionName);
  if (!FService->Attach(C)) {
    Why = TrText("Remote", "the session bus refused the controller object");
    return TRemoteClaim::rcOff;
  }
  const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> Reply = C.interface()->registerService(
      QString::fromStdString(FBusName), QDBusConnectionInterface::DontQueueService,
      QDBusConnectionInterface::DontAllowReplacement);
  if (!Reply.isValid()) {
    FService->Detach();
    Why = QCoreApplication::translate("Remote", "the bus name %1 cannot be claimed (%2)")
              .arg(Q(FBusName), Reply.error().message())
              .toStdString();
    return TRemoteClaim::rcOff;
  }
  if (Reply.value() != QDBusConnectionInterface::ServiceRegistered) {
    FService->Detach();
    return TRemoteClaim::rcTaken;
  }
  FOnBus = true;
  return TRemoteClaim::rcClaimed;
}

TRemoteClaim TRemoteBus::Serve(TRemoteService& Service, std::string& Why) {
  FService = &Service;
  const TRemoteClaim Claim = Register(Why);
  // Settled: the next start of the file finds this one (or the one that got the name).
  ReleaseStartLock();
  if (Claim == TRemoteClaim::rcTaken) {
    FService = nullptr;
  } else if (Claim == TRemoteClaim::rcOff) {
    Close();
    if (SessionBusConfigured()) {
      FLost = true;  // said by the caller
      FRetry.start();
    }
  }
  return Claim;
}

void TRemoteBus::Withdraw() {
  FRetry.stop();
  ReleaseStartLock();
  if (FService) FService->Detach();
  FService = nullptr;
  if (FOnBus && !FConnectionName.isEmpty())
    QDBusConnection(FConnectionName).interface()->unregisterService(QString::fromStdString(FBusName));
  FOnBus = false;
}

bool TRemoteBus::ShowOther(const std::string& Name, int TimeoutMs) {
  if (FConnectionName.isEmpty()) return false;
  QDBusMessage Call = QDBusMessage::createMethodCall(QString::fromStdString(Name), QString::fromLatin1(RemoteObjectPath),
                                                     QString::fromLatin1(RemoteInterface), QStringLiteral("ShowWindow"));
  return QDBusConnection(FConnectionName).call(Call, QDBus::Block, TimeoutMs).type() == QDBusMessage::ReplyMessage;
}

void TRemoteBus::Disconnected() {
  FStartLock.clear();  // went with the bus
  if (FService) FService->Detach();
  Close();
  const bool WasOn = FOnBus;
  FOnBus = false;
  if (!FService) return;  // not serving (yet): Serve connects again
  if (WasOn && !FLost) FSay(TrText("Remote", "the session bus has gone; remote control is off until it comes back"));
  FLost = true;
  FRetry.start();
}

void TRemoteBus::Retry() {
  if (!FService) {
    FRetry.stop();
    return;
  }
  std::string Why;
  switch (Register(Why)) {
    case TRemoteClaim::rcClaimed:
      FRetry.stop();
      FLost = false;
      //: %1 is the bus name the controller is found by.
      FSay(QCoreApplication::translate("Remote", "the session bus is back; remote control is on (%1)")
               .arg(Q(FBusName))
               .toStdString());
      break;
    case TRemoteClaim::rcTaken:
      // Another controller of this file started while the bus was away and got the name.
      FRetry.stop();
      FService = nullptr;
      Close();
      FSay(QCoreApplication::translate("Remote", "another controller holds %1; remote control stays off")
               .arg(Q(FBusName))
               .toStdString());
      break;
    default:
      Close();  // not there yet: the next try starts afresh
      break;
  }
}
