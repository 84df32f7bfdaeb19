// quill-ctl: drives a running QUILL-2 Controller over the session bus.
// Exit status: 0 done, 1 refused by the controller (or several running and none named, or a
// wrong command line), 2 no controller running.
// Messages, help and the plain status line are in the language of the targeted settings file's
// [Main] Language, else the locale's; what programs read stays English.

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
#include "platform/translations.h"
#include "remote/remote_directory.h"
#include "remote/remote_names.h"

namespace {

// The context of the texts a person reads; what programs read (JSON, Name=Value and
// tab-separated lines, property values) stays as the controller gives it.
class QuillCtl {
  Q_DECLARE_TR_FUNCTIONS(QuillCtl)
};

constexpr int ExitDone = 0, ExitRefused = 1, ExitNoController = 2;
// Longer than the controller lets a call wait for its turn.
constexpr int CallTimeoutMs = 10000;

//: The command names, options and exit numbers stay as they are.
const char* const Usage = QT_TRANSLATE_NOOP("QuillCtl", R"(Commands:
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
wrong command line, 2 no controller running.)");

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
      //: %1 is the bus name that was called, or why none can be.
      Say(QuillCtl::tr("no controller running (%1)").arg(FName));
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

// The link states the controller reports, in the words a person reads.
const char* const LinkStates[] = {QT_TRANSLATE_NOOP("QuillCtl", "Connected"), QT_TRANSLATE_NOOP("QuillCtl", "Disconnected")};

QString ShownLinkState(const QString& State) {
  for (const char* Known : LinkStates)
    if (State == QLatin1String(Known)) return QuillCtl::tr(Known);
  return State;
}

// status without --json: for a person, in the program's language.
QString StatusLine(const QVariantMap& P) {
  const auto Or = [](const QString& Value, const QString& None) { return Value.isEmpty() ? None : Value; };
  const QString Dash = Str("-");
  //: %1 is the link state, %2 the mode (LAN, COM/USB), %3 the address or port, %4 the radio's number.
  QString Line = QuillCtl::tr("%1, %2 %3, following radio %4")
                     .arg(ShownLinkState(P.value(Str("LinkState")).toString()),
                          Or(P.value(Str("Mode")).toString(), QuillCtl::tr("no mode")),
                          Or(P.value(Str("Port")).toString(), Dash), QString::number(P.value(Str("FollowedRadio")).toInt()));
  const QStringList Names = P.value(Str("AntennaNames")).toStringList();
  for (int R = 1; R <= 2; ++R) {
    const QString N = QString::number(R);
    const int Antenna = P.value(Str("Antenna") + N).toInt();
    const QString Band = Or(P.value(Str("Band") + N).toString(), Dash);
    const QString How = P.value(Str("Auto") + N).toBool() ? QuillCtl::tr("Auto") : QuillCtl::tr("manual");
    //: An antenna's number and its name.
    const QString Shown = Antenna >= 1 ? QuillCtl::tr("%1 (%2)").arg(QString::number(Antenna), Names.value(Antenna - 1)) : Dash;
    //: %1 is the radio's number, %2 its band, %3 "Auto" or "manual", %4 the antenna.
    Line += Str("; ") + QuillCtl::tr("radio %1: band %2, %3, antenna %4").arg(N, Band, How, Shown);
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
    Say(QuillCtl::tr("cannot watch: %1").arg(Client.FBus.lastError().message()));
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
    Say(QuillCtl::tr("the controller has ended"));
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
    Say(QuillCtl::tr("no controller running"));
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
    Say(QuillCtl::tr("no controller running (%1)").arg(Qs(Why)));
    Exit = ExitNoController;
    return {};
  }
  if (File) {
    if (const TRunningController* Same = ControllerOfFile(Running, *File)) return Qs(Same->BusName);
    //: %1 is the settings file, %2 the bus name its controller would have.
    Say(QuillCtl::tr("no controller running for %1 (%2)").arg(Qs(*File), Qs(RemoteBusName(*File, DefaultFile))));
    Exit = ExitNoController;
    return {};
  }
  if (Running.size() == 1) return Qs(Running.front().BusName);
  if (Running.empty()) {
    Say(QuillCtl::tr("no controller running"));
    Exit = ExitNoController;
    return {};
  }
  //: Followed by one line per controller: its settings file and bus name.
  QString Text = QuillCtl::tr("%n controllers are running; name one with --settings FILE:", nullptr, int(Running.size()));
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

const QString SettingsName = Str("settings"), RadioName = Str("radio"), JsonName = Str("json");

// A parser keeps its texts as they were when the options were added: the one that answers is
// described after the translations are installed.
void DescribeOptions(QCommandLineParser& Parser) {
  Parser.setApplicationDescription(QuillCtl::tr("Drives a running QUILL-2 Controller over the session bus.") + Str("\n\n") +
                                   QuillCtl::tr(Usage));
  Parser.addHelpOption();
  Parser.addVersionOption();
  //: The value of --settings, also named in the help and in messages.
  const QString File = QuillCtl::tr("FILE");
  //: The value of --radio, also named in the help.
  const QString Radio = QuillCtl::tr("R");
  Parser.addOptions({{SettingsName, QuillCtl::tr("Reach the controller that uses FILE as its settings file."), File},
                     {RadioName, QuillCtl::tr("The radio (1 or 2) for select and auto."), Radio},
                     {JsonName, QuillCtl::tr("Print JSON (list, status and watch).")}});
  //: The name of the command argument in the usage line.
  Parser.addPositionalArgument(QuillCtl::tr("command"), QuillCtl::tr("list, status, select, auto, follow, watch or show"));
}

// The language the targeted controller's settings file names, else the locale's; before the
// first text is made. --settings is looked for with a parser of its own (its texts are never
// shown); reading never creates the file.
void ChooseLanguage(const QStringList& Arguments, const std::string& DefaultFile) {
  QCommandLineParser Look;
  DescribeOptions(Look);
  Look.parse(Arguments);
  const std::string File = Look.isSet(SettingsName) ? Look.value(SettingsName).toStdString() : DefaultFile;
  InstallTranslationsFor(File);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication App(argc, argv);
  // Before any bus traffic: the bus thread must find the D-Bus types registered.
  RegisterRemoteTypes();
  QCoreApplication::setApplicationName(Str("quill-ctl"));
  QCoreApplication::setApplicationVersion(Str("1.0"));
  // The same name the controller claimed for the same settings file.
  const std::string QuillPath = (QCoreApplication::applicationDirPath() + Str("/quill")).toStdString();
  const std::string DefaultFile = DefaultSettingsPath(QuillPath, QUILL_INSTALLED_MARKER);
  ChooseLanguage(App.arguments(), DefaultFile);
  QCommandLineParser Parser;
  DescribeOptions(Parser);
  Parser.process(App);

  const QStringList Args = Parser.positionalArguments();
  const QString Command = Args.value(0);
  const auto Wrong = [](const QString& Why) {
    //: %1 says what is wrong with the command line.
    Say(QuillCtl::tr("%1 (see --help)").arg(Why));
    return ExitRefused;
  };
  const int Expected = Command == QLatin1String("select") || Command == QLatin1String("follow") ? 2 : 1;
  if (Command.isEmpty()) return Wrong(QuillCtl::tr("no command"));
  if (!QStringList{Str("list"), Str("status"), Str("select"), Str("auto"), Str("follow"), Str("watch"), Str("show")}.contains(Command))
    return Wrong(QuillCtl::tr("unknown command %1").arg(Command));
  if (Args.size() != Expected) return Wrong(QuillCtl::tr("%1: wrong number of arguments").arg(Command));
  int Radio = 0;
  if (Parser.isSet(RadioName) && !Number(Parser.value(RadioName), Radio)) return Wrong(QuillCtl::tr("--radio takes a number"));

  const std::string File = Parser.value(SettingsName).toStdString();
  if (!SessionBusConfigured()) {
    Say(QuillCtl::tr("no controller running (no session bus)"));
    return ExitNoController;
  }
  QDBusConnection Bus = QDBusConnection::sessionBus();
  if (!Bus.isConnected() || !Bus.interface()) {
    Say(QuillCtl::tr("no controller running (the session bus cannot be reached)"));
    return ExitNoController;
  }
  int Exit = ExitDone;
  if (Command == QLatin1String("list")) {
    std::string Why;
    const std::vector<TRunningController> Running = ListControllers(Bus, Why);
    if (!Why.empty()) {
      Say(QuillCtl::tr("no controller running (%1)").arg(Qs(Why)));
      return ExitNoController;
    }
    return List(Running, Parser.isSet(JsonName));
  }
  const QString Name = Choose(Bus, Parser.isSet(SettingsName) ? &File : nullptr, DefaultFile, Exit);
  if (Name.isEmpty()) return Exit;
  TClient Client(Bus, Name);
  const QString Interface = Str(RemoteInterface);
  QDBusMessage Answer;

  if (Command == QLatin1String("status")) {
    QVariantMap Props;
    if (!Client.GetAll(Props, Exit)) return Exit;
    PrintLine(Parser.isSet(JsonName)
                  ? QString::fromUtf8(QJsonDocument(QJsonObject::fromVariantMap(Props)).toJson(QJsonDocument::Compact))
                  : StatusLine(Props));
    return ExitDone;
  }
  if (Command == QLatin1String("watch")) return Watch(Client, Parser.isSet(JsonName));
  if (Command == QLatin1String("show")) return Client.Call(Interface, Str("ShowWindow"), {}, Answer, Exit) ? ExitDone : Exit;
  if (Command == QLatin1String("follow")) {
    if (!Number(Args[1], Radio)) return Wrong(QuillCtl::tr("follow takes a radio number"));
    return Client.Call(Interface, Str("FollowRadio"), {Radio}, Answer, Exit) ? ExitDone : Exit;
  }
  // select and auto: the followed radio unless one is named.
  if (!Parser.isSet(RadioName)) {
    QVariantMap Props;
    if (!Client.GetAll(Props, Exit)) return Exit;
    Radio = Props.value(Str("FollowedRadio")).toInt();
  }
  if (Command == QLatin1String("auto")) return Client.Call(Interface, Str("SetAuto"), {Radio}, Answer, Exit) ? ExitDone : Exit;
  int Antenna = 0;
  if (!Number(Args[1], Antenna)) return Wrong(QuillCtl::tr("select takes an antenna number"));
  return Client.Call(Interface, Str("SelectAntenna"), {Radio, Antenna}, Answer, Exit) ? ExitDone : Exit;
}

#include "main.moc"
