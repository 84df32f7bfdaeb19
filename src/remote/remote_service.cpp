#include "remote_service.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include <algorithm>

#include "controller_adaptor.h"
#include "platform/clock.h"
#include "platform/translations.h"
#include "remote/remote_names.h"

namespace {

QString Text(const std::string& S) { return QString::fromStdString(S); }

// The error names are the interface's and stay as they are; the messages are for the person
// behind the client, in the controller's language.
std::string Tr(const char* Source, int N) { return QCoreApplication::translate("Remote", Source).arg(N).toStdString(); }

// A call refused as busy; Why: what the first waiting call waits for, when known.
std::string TooManyWaiting(int N, const std::string& Why) {
  if (Why.empty()) return QCoreApplication::translate("Remote", "Busy: %n calls are waiting already", nullptr, N).toStdString();
  //: %1 is why the first waiting call waits.
  return QCoreApplication::translate("Remote", "Busy: %n calls are waiting already (%1)", nullptr, N)
      .arg(Text(Why))
      .toStdString();
}

std::string WaitedTooLong(int Seconds, const std::string& Why) {
  const QString S = QString::number(Seconds);
  if (Why.empty()) return QCoreApplication::translate("Remote", "Busy: waited %1 s for its turn").arg(S).toStdString();
  //: %2 is why the first waiting call waits.
  return QCoreApplication::translate("Remote", "Busy: waited %1 s for its turn (%2)").arg(S, Text(Why)).toStdString();
}

bool IsCommand(TRemoteService::TKind Kind) { return Kind != TRemoteService::ckFollowRadio; }

// The properties that differ between two states, by their interface names.
QVariantMap Changes(const TRemoteState& Old, const TRemoteState& New) {
  QVariantMap M;
  if (Old.LinkState != New.LinkState) M.insert(QStringLiteral("LinkState"), Text(New.LinkState));
  if (Old.Mode != New.Mode) M.insert(QStringLiteral("Mode"), Text(New.Mode));
  if (Old.Port != New.Port) M.insert(QStringLiteral("Port"), Text(New.Port));
  if (Old.FollowedRadio != New.FollowedRadio) M.insert(QStringLiteral("FollowedRadio"), New.FollowedRadio);
  for (int R = 1; R <= 2; ++R) {
    const TRemoteRadio& A = Old.Radios[size_t(R - 1)];
    const TRemoteRadio& B = New.Radios[size_t(R - 1)];
    const QString N = QString::number(R);
    if (A.Band != B.Band) M.insert(QStringLiteral("Band") + N, Text(B.Band));
    if (A.Auto != B.Auto) M.insert(QStringLiteral("Auto") + N, B.Auto);
    if (A.Antenna != B.Antenna) M.insert(QStringLiteral("Antenna") + N, B.Antenna);
  }
  if (Old.AntennaNames != New.AntennaNames) {
    QStringList Names;
    for (const auto& Name : New.AntennaNames) Names << Text(Name);
    M.insert(QStringLiteral("AntennaNames"), Names);
  }
  if (Old.SettingsFile != New.SettingsFile) M.insert(QStringLiteral("SettingsFile"), Text(New.SettingsFile));
  return M;
}

}  // namespace

TRemoteService::TRemoteService(TRemoteControl& Control, std::function<std::uint64_t()> Clock, QObject* Parent)
    : QObject(Parent), FControl(Control), FClock(Clock ? std::move(Clock) : std::function<std::uint64_t()>(GetTickCount64)) {
  new TControllerAdaptor(this);
  FLast = FControl.State();
  FTimer.setSingleShot(true);
  connect(&FTimer, &QTimer::timeout, this, [this] { Pump(); });
  FControl.OnChanged = [this] { StateChanged(); };
  FClients.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
  connect(&FClients, &QDBusServiceWatcher::serviceUnregistered, this,
          [this](const QString& Client) { DropClient(Client.toStdString()); });
}

TRemoteService::~TRemoteService() {
  FControl.OnChanged = nullptr;
  FTimer.stop();
  std::deque<TWaitingCall> Left;
  Left.swap(FWaiting);
  for (auto& W : Left) W.Call.Reply({RemoteErrorBusy, TrText("Remote", "The controller is closing")});
  Detach();
}

bool TRemoteService::Attach(const QDBusConnection& Connection) {
  if (!Connection.isConnected()) return false;
  QDBusConnection C = Connection;
  if (!C.registerObject(QString::fromLatin1(RemoteObjectPath), this, QDBusConnection::ExportAdaptors)) return false;
  FConnection = C;
  FClients.setConnection(C);
  return true;
}

void TRemoteService::Detach() {
  if (!FConnection) return;
  FConnection->unregisterObject(QString::fromLatin1(RemoteObjectPath));
  FClients.setWatchedServices({});
  FClients.setConnection(QDBusConnection(QString()));
  FConnection.reset();
  // Their clients are as gone as the bus: nothing they asked for is sent.
  FWaiting.erase(std::remove_if(FWaiting.begin(), FWaiting.end(), [](const TWaitingCall& W) { return !W.Client.empty(); }),
                 FWaiting.end());
}

// ---- clients ----

void TRemoteService::WatchClient(const std::string& Client) {
  if (Client.empty() || !FConnection) return;
  const QString Name = Text(Client);
  if (FClients.watchedServices().contains(Name)) return;
  FClients.addWatchedService(Name);
  // A client gone before the watch was in place is never announced. The bus takes this
  // connection's messages in order: asked after the watch, it says whether the client had
  // already gone.
  const QDBusPendingCall Has = FConnection->interface()->asyncCall(QStringLiteral("NameHasOwner"), Name);
  auto* Answer = new QDBusPendingCallWatcher(Has, this);
  connect(Answer, &QDBusPendingCallWatcher::finished, this, [this, Client](QDBusPendingCallWatcher* W) {
    W->deleteLater();
    const QDBusPendingReply<bool> Reply = *W;
    if (Reply.isValid() && !Reply.value()) DropClient(Client);
  });
}

void TRemoteService::ForgetClient(const std::string& Client) {
  if (Client.empty()) return;
  if (std::none_of(FWaiting.begin(), FWaiting.end(), [&](const TWaitingCall& W) { return W.Client == Client; }))
    FClients.removeWatchedService(Text(Client));
}

void TRemoteService::DropClient(const std::string& Client) {
  if (Client.empty()) return;
  FWaiting.erase(std::remove_if(FWaiting.begin(), FWaiting.end(),
                                [&](const TWaitingCall& W) { return W.Client == Client; }),
                 FWaiting.end());
  ForgetClient(Client);
}

// ---- calls ----

TRemoteService::TError TRemoteService::Check(const TCall& Call) const {
  if (Call.Radio < 1 || Call.Radio > 2)
    return {RemoteErrorInvalidArgs, Tr(QT_TRANSLATE_NOOP("Remote", "Radio %1 is out of range (1 to 2)"), Call.Radio)};
  if (Call.Kind == ckSelectAntenna && (Call.Antenna < 1 || Call.Antenna > 8))
    return {RemoteErrorInvalidArgs, Tr(QT_TRANSLATE_NOOP("Remote", "Antenna %1 is out of range (1 to 8)"), Call.Antenna)};
  return {};
}

bool TRemoteService::Ready(const TCall& Call, std::string& Why) const {
  Why = FControl.Busy();
  if (!Why.empty()) return false;
  if (IsCommand(Call.Kind) && FAnswer.Pending && FClock() - FAnswer.SentAt < AnswerWaitMs &&
      FControl.State().Radios[size_t(FAnswer.Radio - 1)].Reports == FAnswer.Reports) {
    Why = TrText("Remote", "The device has not answered the previous command yet");
    return false;
  }
  return true;
}

TRemoteService::TError TRemoteService::Run(const TCall& Call) {
  if (Call.Kind == ckFollowRadio) {
    FControl.ChooseRadio(Call.Radio);
    return {};
  }
  const TRemoteState S = FControl.State();
  // The window sends to the radio it follows; a call meant for the other one must not reach
  // the wrong radio.
  if (S.FollowedRadio != Call.Radio)
    return {RemoteErrorNotFollowed,
            Tr(QT_TRANSLATE_NOOP("Remote", "Radio %1 is not the followed radio; follow it first"), Call.Radio)};
  const std::string Cannot = FControl.CannotSend();
  if (!Cannot.empty()) return {RemoteErrorNoPort, Cannot};
  FAnswer = {true, Call.Radio, S.Radios[size_t(Call.Radio - 1)].Reports, FClock()};
  const std::string Error = Call.Kind == ckSelectAntenna ? FControl.ClickAntenna(Call.Antenna) : FControl.ClickAuto();
  if (!Error.empty()) return {RemoteErrorFailed, Error};
  return {};
}

void TRemoteService::Submit(TCall Call, const std::string& Client) {
  const TError Bad = Check(Call);
  if (!Bad.Name.empty()) {
    Call.Reply(Bad);
    return;
  }
  std::string Why;
  if (FWaiting.empty() && !FRunning && Ready(Call, Why)) {
    FRunning = true;
    const TError Result = Run(Call);
    FRunning = false;
    Call.Reply(Result);
    if (!FWaiting.empty()) FTimer.start(0);  // calls that came in while this one ran
    return;
  }
  if (FWaiting.size() >= MaxWaiting) {
    Call.Reply({RemoteErrorBusy, TooManyWaiting(int(MaxWaiting), FWhy)});
    return;
  }
  if (FWaiting.empty()) FWhy = Why;
  FWaiting.push_back({std::move(Call), FClock() + MaxWaitMs, Client});
  WatchClient(Client);
  if (!FTimer.isActive()) FTimer.start(RecheckMs);
}

void TRemoteService::Pump() {
  if (FRunning) return;  // the call under way picks the others up when it ends
  while (!FWaiting.empty()) {
    std::string Why;
    if (!Ready(FWaiting.front().Call, Why)) {
      FWhy = Why;
      break;
    }
    TCall Call = std::move(FWaiting.front().Call);
    const std::string Client = FWaiting.front().Client;
    FWaiting.pop_front();
    ForgetClient(Client);
    FRunning = true;
    const TError Result = Run(Call);
    FRunning = false;
    Call.Reply(Result);
  }
  const std::uint64_t Now = FClock();
  for (auto It = FWaiting.begin(); It != FWaiting.end();) {
    if (Now >= It->Deadline) {
      It->Call.Reply({RemoteErrorBusy, WaitedTooLong(int(MaxWaitMs / 1000), FWhy)});
      const std::string Client = It->Client;
      It = FWaiting.erase(It);
      ForgetClient(Client);
    } else {
      ++It;
    }
  }
  if (!FWaiting.empty() && !FTimer.isActive()) FTimer.start(RecheckMs);
}

void TRemoteService::SubmitFromBus(TCall Call) {
  if (calledFromDBus()) {
    setDelayedReply(true);
    Call.Reply = [Connection = connection(), Message = message()](const TError& E) {
      Connection.send(E.Name.empty() ? Message.createReply()
                                     : Message.createErrorReply(Text(E.Name), Text(E.Text)));
    };
    Submit(std::move(Call), message().service().toStdString());
    return;
  }
  Call.Reply = [](const TError&) {};
  Submit(std::move(Call));
}

void TRemoteService::SelectAntenna(int Radio, int Antenna) { SubmitFromBus({ckSelectAntenna, Radio, Antenna, {}}); }
void TRemoteService::SetAuto(int Radio) { SubmitFromBus({ckSetAuto, Radio, 0, {}}); }
void TRemoteService::FollowRadio(int Radio) { SubmitFromBus({ckFollowRadio, Radio, 0, {}}); }
void TRemoteService::ShowWindow() { FControl.ShowWindow(); }

// ---- properties ----

void TRemoteService::StateChanged() {
  const TRemoteState S = FControl.State();
  if (!(S == FLast)) {
    const QVariantMap Changed = Changes(FLast, S);
    FLast = S;
    if (FConnection && !Changed.isEmpty()) {
      QDBusMessage Signal = QDBusMessage::createSignal(QString::fromLatin1(RemoteObjectPath),
                                                       QStringLiteral("org.freedesktop.DBus.Properties"),
                                                       QStringLiteral("PropertiesChanged"));
      Signal << QString::fromLatin1(RemoteInterface) << Changed << QStringList();
      FConnection->send(Signal);
    }
  }
  // Waiting calls look again from the loop, not from inside the window's update.
  if (!FWaiting.empty()) FTimer.start(0);
}

QString TRemoteService::LinkState() const { return Text(FControl.State().LinkState); }
QString TRemoteService::Mode() const { return Text(FControl.State().Mode); }
QString TRemoteService::Port() const { return Text(FControl.State().Port); }
int TRemoteService::FollowedRadio() const { return FControl.State().FollowedRadio; }
QString TRemoteService::Band(int Radio) const { return Text(FControl.State().Radios[size_t(Radio - 1)].Band); }
bool TRemoteService::Auto(int Radio) const { return FControl.State().Radios[size_t(Radio - 1)].Auto; }
int TRemoteService::Antenna(int Radio) const { return FControl.State().Radios[size_t(Radio - 1)].Antenna; }
QStringList TRemoteService::AntennaNames() const {
  QStringList Names;
  for (const auto& Name : FControl.State().AntennaNames) Names << Text(Name);
  return Names;
}
QString TRemoteService::SettingsFile() const { return Text(FControl.State().SettingsFile); }
