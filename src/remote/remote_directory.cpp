#include "remote_directory.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <QDBusSignature>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QVariantMap>

#include <algorithm>

#include "remote/remote_names.h"

std::vector<TRunningController> ListControllers(const QDBusConnection& Bus, std::string& Why, int TimeoutMs) {
  std::vector<TRunningController> Running;
  if (!Bus.isConnected() || !Bus.interface()) {
    Why = "the session bus cannot be reached";
    return Running;
  }
  const QDBusReply<QStringList> Names = Bus.interface()->registeredServiceNames();
  if (!Names.isValid()) {
    Why = "the session bus does not list its names (" + Names.error().message().toStdString() + ")";
    return Running;
  }
  std::vector<QDBusPendingCall> Calls;
  for (const QString& Name : Names.value()) {
    if (!IsControllerBusName(Name.toStdString())) continue;
    Running.push_back({Name.toStdString(), {}, {}});
    QDBusMessage M = QDBusMessage::createMethodCall(Name, QString::fromLatin1(RemoteObjectPath),
                                                    QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
    M << QString::fromLatin1(RemoteInterface);
    // All asked at once: one slow controller does not add its wait to the others'.
    Calls.push_back(Bus.asyncCall(M, TimeoutMs));
  }
  for (size_t I = 0; I < Calls.size(); ++I) {
    Calls[I].waitForFinished();
    const QDBusMessage Answer = Calls[I].reply();
    if (Answer.type() != QDBusMessage::ReplyMessage) continue;
    const QVariantMap Props = qdbus_cast<QVariantMap>(Answer.arguments().value(0));
    Running[I].SettingsFile = Props.value(QStringLiteral("SettingsFile")).toString().toStdString();
    Running[I].LinkState = Props.value(QStringLiteral("LinkState")).toString().toStdString();
  }
  std::sort(Running.begin(), Running.end(), [](const auto& A, const auto& B) { return A.BusName < B.BusName; });
  return Running;
}

const TRunningController* ControllerOfFile(const std::vector<TRunningController>& Running, const std::string& SettingsFile) {
  for (const TRunningController& C : Running)
    if (!C.SettingsFile.empty() && SameSettingsFile(C.SettingsFile, SettingsFile)) return &C;
  return nullptr;
}

void RegisterRemoteTypes() {
  qRegisterMetaType<QDBusArgument>();
  qRegisterMetaType<QDBusVariant>();
  qRegisterMetaType<QDBusObjectPath>();
  qRegisterMetaType<QDBusSignature>();
  qRegisterMetaType<QDBusError>();
  qRegisterMetaType<QDBusMessage>();
  qRegisterMetaType<QDBusUnixFileDescriptor>();
  // Asking for a signature registers the D-Bus layer's own marshalling of the container types.
  QDBusMetaType::typeToSignature(QMetaType::fromType<QVariantMap>());
}
