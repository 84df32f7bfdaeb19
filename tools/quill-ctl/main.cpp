// quill-ctl: drives a running QUILL-2 Controller over the session bus.
// Exit status: 0 done, 1 refused by the controller (or several running and none named, or a
// wrong command line), 2 no controller running.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/ini_file.h"
#include "remote/remote_directory.h"
#include "remote/remote_names.h"

namespace {

constexpr int ExitDone = 0, ExitRefused = 1, ExitNoController = 2;
// Longer than the controller lets a call wait for its turn.
constexpr int CallTimeoutMs = 10000;

const char* Usage = R"(Commands:
  list                  each running controller: its settings file, bus name and link state
                        (--json: an array of objects)
  status                the controller's state in one line (--json: an object)
  select N [--radio R]  select antenna N (1-8) for radio R (default: the followed radio)
  auto [--radio R]      switch automatic mode on for radio R (default: the followed radio)
  follow R              follow radio R (1 or 2) in the main window
  watch                 print the state, then each change, one line per property, until
                        interrupted (--json: one object per change)
  show                  bring the main window to the front

Without --settings, the commands reach the one controller running; when several run, name
one with --settings.

Exit status: 0 done, 1 refused by the controller, several running without --settings, or a
wrong command line, 2 no controller running.)";

QString Str(const char* S) { return QString::fromLatin1(S); }

void Say(const QString& Text) {
  std::fprintf(stderr, "quill-ctl: %s\n", Text.toLocal8Bit().constData());
}

class TClient {
 public:
  TClient(QDBusConnection Bus, QString Name) : FBus(std::move(Bus)), FName(std::move(Name)) {}

  // The call's answer; on failure, says why and sets Exit.
  bool Call(const QString& Interface, const QString& Method, const QVariantList& Args, QDBusMessage& Answer, int& Exit) {
    QDBusMessage M = QDBusMessage::createMethodCall(FName, Str(RemoteObjectPath), Interface, Method);
    M.setArguments(Args);
    Answer = FBus.call(M, QDBus::Block, CallTimeoutMs);
    if (Answer.type() == QDBusMessage::ReplyMessage) return true;
    const QString Error = Answer.errorName();
    if (Error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        Error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")) {
      Say(QStringLiteral("no controller running (%1)").arg(FName));
      Exit = ExitNoController;
    } else {
      Say(Answer.errorMessage().isEmpty() ? Error : Answer.errorMessage());
      Exit = ExitRefused;
    }
    return false;
  }
  bool GetAll(QVariantMap& Props, int& Exit) {
    QDBusMessage Answer;
    if (!Call(Str("org.freedesktop.DBus.Properties"), Str("GetAll"), {Str(RemoteInterface)}, Answer, Exit)) return false;
    Props = qdbus_cast<QVariantMap>(Answer.arguments().value(0));
    return true;
  }
  QDBusConnection FBus;
  QString FName;
};

QString Value(const QVariant& V) {
  if (V.metaType().id() == QMetaType::Bool) return V.toBool() ? Str("true") : Str("false");
  if (V.metaType().id() == QMetaType::QStringList) return V.toStringList().join(Str(" | "));
  return V.toString();
}

QString StatusLine(const QVariantMap& P) {
  QString Line = P.value(Str("LinkState")).toString();
  const QString Mode = P.value(Str("Mode")).toString();
  Line += Str(", ") + (Mode.isEmpty() ? Str("no mode") : Mode);
  const QString Port = P.value(Str("Port")).toString();
  Line += Str(" ") + (Port.isEmpty() ? Str("-") : Port);
  Line += Str(", following radio ") + QString::number(P.value(Str("FollowedRadio")).toInt());
  const QStringList Names = P.value(Str("AntennaNames")).toStringList();
  for (int R = 1; R <= 2; ++R) {
    const QString N = QString::number(R);
    const QString Band = P.value(Str("Band") + N).toString();
    const int Antenna = P.value(Str("Antenna") + N).toInt();
    Line += Str("; radio ") + N + Str(": band ") + (Band.isEmpty() ? Str("-") : Band) +
            (P.value(Str("Auto") + N).toBool() ? Str(", Auto") : Str(", manual")) + Str(", antenna ");
    Line += Antenna >= 1 ? QString::number(Antenna) + Str(" (") + Names.value(Antenna - 1) + Str(")") : Str("-");
  }
  return Line;
}

void PrintLine(const QString& Line) {
  std::fputs((Line + QChar('\n')).toLocal8Bit().constData(), stdout);
  std::fflush(stdout);
}

void PrintChanges(const QVariantMap& Changed, bool Json) {
  if (Json) {
    PrintLine(QString::fromUtf8(QJsonDocument(QJsonObject::fromVariantMap(Changed)).toJson(QJsonDocument::Compact)));
    return;
  }
  for (auto It = Changed.begin(); It != Changed.end(); ++It) PrintLine(It.key() + QChar('=') + Value(It.value()));
}

int SignalPipe[2] = {-1, -1};
void OnSignal(int) {
  const char B = 1;
  [[maybe_unused]] auto N = write(SignalPipe[1], &B, 1);
}

// Receives the controller's change announcements for watch.
class TWatcher : public QObject {
  Q_OBJECT
 public:
  bool Json = false;
 public slots:
  void Changed(const QString& Interface, const QVariantMap& Props, const QStringList&) {
    if (Interface != QLatin1String(RemoteInterface) || Props.isEmpty()) return;
    PrintChanges(Props, Json);
  }
};

int Watch(TClient& Client, bool Json) {
  // Caught from the start: an interrupt right after the first lines must still end the watch
  // cleanly, not kill it.
  if (pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return ExitRefused;
  struct sigaction Action {};
  Action.sa_handler = OnSignal;
  sigemptyset(&Action.sa_mask);
  sigaction(SIGINT, &Action, nullptr);
  sigaction(SIGTERM, &Action, nullptr);
  const auto ClosePipe = [] {
    close(SignalPipe[0]);
    close(SignalPipe[1]);
  };
  TWatcher Watcher;
  Watcher.Json = Json;
  // Subscribed before the state is read, so no change falls between the two.
  if (!Client.FBus.connect(Client.FName, Str(RemoteObjectPath), Str("org.freedesktop.DBus.Properties"),
                           Str("PropertiesChanged"), &Watcher, SLOT(Changed(QString, QVariantMap, QStringList)))) {
    Say(QStringLiteral("cannot watch: %1").arg(Client.FBus.lastError().message()));
    ClosePipe();
    return ExitRefused;
  }
  int Exit = ExitDone;
  QVariantMap Props;
  if (!Client.GetAll(Props, Exit)) {
    ClosePipe();
    return Exit;
  }
  PrintChanges(Props, Json);

  QSocketNotifier Signals(SignalPipe[0], QSocketNotifier::Read);
  QObject::connect(&Signals, &QSocketNotifier::activated, [] { QCoreApplication::exit(ExitDone); });
  // The controller ending ends the watch.
  QDBusServiceWatcher Gone(Client.FName, Client.FBus, QDBusServiceWatcher::WatchForUnregistration);
  QObject::connect(&Gone, &QDBusServiceWatcher::serviceUnregistered, [] {
    Say(Str("the controller has ended"));
    QCoreApplication::exit(ExitNoController);
  });
  Exit = QCoreApplication::exec();
  ClosePipe();
  return Exit;
}

QString Qs(const std::string& S) { return QString::fromStdString(S); }

int List(const std::vector<TRunningController>& Running, bool Json) {
  if (Json) {
    QJsonArray All;
    for (const TRunningController& C : Running)
      All.append(QJsonObject{{Str("SettingsFile"), Qs(C.SettingsFile)},
                             {Str("BusName"), Qs(C.BusName)},
                             {Str("LinkState"), Qs(C.LinkState)}});
    PrintLine(QString::fromUtf8(QJsonDocument(All).toJson(QJsonDocument::Compact)));
  } else {
    // Tab-separated: a path may hold blanks.
    for (const TRunningController& C : Running)
      PrintLine(Qs(C.SettingsFile.empty() ? "?" : C.SettingsFile) + QChar('\t') + Qs(C.BusName) + QChar('\t') +
                Qs(C.LinkState.empty() ? "?" : C.LinkState));
  }
  if (Running.empty()) {
    Say(Str("no controller running"));
    return ExitNoController;
  }
  return ExitDone;
}

// The bus name of the controller to talk to: the one of the settings file when one is named
// (its own name, or the controller of the same file reached through another path), otherwise
// the only one running. Empty when there is none to choose, having said why and set Exit.
QString Choose(const QDBusConnection& Bus, const std::string* File, const std::string& DefaultFile, int& Exit) {
  if (File) {
    const QString Own = Qs(RemoteBusName(*File, DefaultFile));
    const QDBusReply<bool> Held = Bus.interface()->isServiceRegistered(Own);
    if (Held.isValid() && Held.value()) return Own;
  }
  std::string Why;
  const std::vector<TRunningController> Running = ListControllers(Bus, Why);
  if (!Why.empty()) {
    Say(Str("no controller running (%1)").arg(Qs(Why)));
    Exit = ExitNoController;
    return {};
  }
  if (File) {
    if (const TRunningController* Same = ControllerOfFile(Running, *File)) return Qs(Same->BusName);
    Say(Str("no controller running for %1 (%2)").arg(Qs(*File), Qs(RemoteBusName(*File, DefaultFile))));
    Exit = ExitNoController;
    return {};
  }
  if (Running.size() == 1) return Qs(Running.front().BusName);
  if (Running.empty()) {
    Say(Str("no controller running"));
    Exit = ExitNoController;
    return {};
  }
  QString Text = Str("%1 controllers are running; name one with --settings FILE:").arg(Running.size());
  for (const TRunningController& C : Running)
    Text += Str("\n  ") + Qs(C.SettingsFile.empty() ? "?" : C.SettingsFile) + Str(" (") + Qs(C.BusName) + Str(")");
  Say(Text);
  Exit = ExitRefused;
  return {};
}

bool Number(const QString& Text, int& Out) {
  bool Ok = false;
  Out = Text.toInt(&Ok);
  return Ok;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication App(argc, argv);
  // Before any bus traffic: the bus thread must find the D-Bus types registered.
  RegisterRemoteTypes();
  QCoreApplication::setApplicationName(Str("quill-ctl"));
  QCoreApplication::setApplicationVersion(Str("1.0"));
  QCommandLineParser Parser;
  Parser.setApplicationDescription(Str("Drives a running QUILL-2 Controller over the session bus.\n\n") + Str(Usage));
  Parser.addHelpOption();
  Parser.addVersionOption();
  const QCommandLineOption SettingsOption(Str("settings"), Str("Reach the controller that uses FILE as its settings file."), Str("FILE"));
  const QCommandLineOption RadioOption(Str("radio"), Str("The radio (1 or 2) for select and auto."), Str("R"));
  const QCommandLineOption JsonOption(Str("json"), Str("Print JSON (list, status and watch)."));
  Parser.addOptions({SettingsOption, RadioOption, JsonOption});
  Parser.addPositionalArgument(Str("command"), Str("list, status, select, auto, follow, watch or show"));
  Parser.process(App);

  const QStringList Args = Parser.positionalArguments();
  const QString Command = Args.value(0);
  const auto Wrong = [](const QString& Why) {
    Say(Why + Str(" (see --help)"));
    return ExitRefused;
  };
  const int Expected = Command == QLatin1String("select") || Command == QLatin1String("follow") ? 2 : 1;
  if (Command.isEmpty()) return Wrong(Str("no command"));
  if (!QStringList{Str("list"), Str("status"), Str("select"), Str("auto"), Str("follow"), Str("watch"), Str("show")}.contains(Command))
    return Wrong(Str("unknown command ") + Command);
  if (Args.size() != Expected) return Wrong(Command + Str(": wrong number of arguments"));
  int Radio = 0;
  if (Parser.isSet(RadioOption) && !Number(Parser.value(RadioOption), Radio)) return Wrong(Str("--radio takes a number"));

  // The same name the controller claimed for the same settings file.
  const std::string QuillPath = (QCoreApplication::applicationDirPath() + Str("/quill")).toStdString();
  const std::string DefaultFile = DefaultSettingsPath(QuillPath, QUILL_INSTALLED_MARKER);
  const std::string File = Parser.value(SettingsOption).toStdString();
  if (!SessionBusConfigured()) {
    Say(Str("no controller running (no session bus)"));
    return ExitNoController;
  }
  QDBusConnection Bus = QDBusConnection::sessionBus();
  if (!Bus.isConnected() || !Bus.interface()) {
    Say(Str("no controller running (the session bus cannot be reached)"));
    return ExitNoController;
  }
  int Exit = ExitDone;
  if (Command == QLatin1String("list")) {
    std::string Why;
    const std::vector<TRunningController> Running = ListControllers(Bus, Why);
    if (!Why.empty()) {
      Say(Str("no controller running (%1)").arg(Qs(Why)));
      return ExitNoController;
    }
    return List(Running, Parser.isSet(JsonOption));
  }
  const QString Name = Choose(Bus, Parser.isSet(SettingsOption) ? &File : nullptr, DefaultFile, Exit);
  if (Name.isEmpty()) return Exit;
  TClient Client(Bus, Name);
  const QString Interface = Str(RemoteInterface);
  QDBusMessage Answer;

  if (Command == QLatin1String("status")) {
    QVariantMap Props;
    if (!Client.GetAll(Props, Exit)) return Exit;
    PrintLine(Parser.isSet(JsonOption)
                  ? QString::fromUtf8(QJsonDocument(QJsonObject::fromVariantMap(Props)).toJson(QJsonDocument::Compact))
                  : StatusLine(Props));
    return ExitDone;
  }
  if (Command == QLatin1String("watch")) return Watch(Client, Parser.isSet(JsonOption));
  if (Command == QLatin1String("show")) return Client.Call(Interface, Str("ShowWindow"), {}, Answer, Exit) ? ExitDone : Exit;
  if (Command == QLatin1String("follow")) {
    if (!Number(Args[1], Radio)) return Wrong(Str("follow takes a radio number"));
    return Client.Call(Interface, Str("FollowRadio"), {Radio}, Answer, Exit) ? ExitDone : Exit;
  }
  // select and auto: the followed radio unless one is named.
  if (!Parser.isSet(RadioOption)) {
    QVariantMap Props;
    if (!Client.GetAll(Props, Exit)) return Exit;
    Radio = Props.value(Str("FollowedRadio")).toInt();
  }
  if (Command == QLatin1String("auto")) return Client.Call(Interface, Str("SetAuto"), {Radio}, Answer, Exit) ? ExitDone : Exit;
  int Antenna = 0;
  if (!Number(Args[1], Antenna)) return Wrong(Str("select takes an antenna number"));
  return Client.Call(Interface, Str("SelectAntenna"), {Radio, Antenna}, Answer, Exit) ? ExitDone : Exit;
}

#include "main.moc"
