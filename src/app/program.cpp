#include "program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <QApplication>
#include <QDBusConnection>
#include <QCommandLineParser>
#include <QLibraryInfo>
#include <QDir>
#include <QIcon>
#include <QSocketNotifier>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "comm_link.h"
#include "devices/serial_layer.h"
#include "link/comm_control_u.h"
#include "link/get_com_ports_u.h"
#include "platform/dialogs.h"
#include "platform/error_handler.h"
#include "platform/ini_file.h"
#include "platform/qt_dialogs.h"
#include "platform/serial_device_map.h"
#include "platform/serial_port_info.h"
#include "platform/translations.h"
#include "remote/remote_bus.h"
#include "remote/remote_directory.h"
#include "remote/remote_names.h"
#include "remote/remote_service.h"
#include "port/port_select.h"
#include "program_remote.h"
#include "quill_main_u.h"

namespace {

int SignalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char B = 1;
  // Nothing else is safe in a signal handler; the loop picks the byte up.
  [[maybe_unused]] auto N = write(SignalPipe[1], &B, 1);
}

void InstallSignalHandlers() {
  if (pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  struct sigaction Action {};
  Action.sa_handler = OnSignal;
  sigemptyset(&Action.sa_mask);
  Action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &Action, nullptr);
  sigaction(SIGINT, &Action, nullptr);
}

// The main window's view of the Communications window.
class TCommControlLink : public TCommLink {
 public:
  explicit TCommControlLink(TCommControl& Comm) : FComm(Comm) {}
  bool SendCommand(std::uint8_t Cmd, const std::string& Data, std::uint8_t Resp) override {
    return FComm.SendCommand(Cmd, Data, Resp);
  }
  TNetPacket GetPacket() const override { return FComm.GetPacket(); }
  void Shutdown() override { FComm.Shutdown(); }
  void ShowWindow() override {
    FComm.show();
    FComm.raise();
    FComm.activateWindow();
  }

 private:
  TCommControl& FComm;
};

}  // namespace

TProgram::TProgram(const std::string& SettingsFile, const std::function<bool(TProgram&)>& BeforeCreate) {
  SetSerialMapSettingsFile(SettingsFile);
  // Registered here, not by a static object: the linker may drop those from a static library.
  RegisterSerialLayer();
  InstallPortSelectDialog();
  QuillMain = std::make_unique<TQuillMain>(SettingsFile);
  GetComPorts = std::make_unique<TGetComPorts>();
  TCommControl::TLinks Links;
  Links.SettingsFile = SettingsFile;
  Links.ExecuteAction = [this](TBasicAction& Action) { return QuillMain->ExecuteAction(Action); };
  Links.GetPortList = [this] { return GetComPorts->GetPortList(); };
  Links.ExtractPortNumber = &TGetComPorts::ExtractPortNumber;
  Links.LinkChanged = [this] {
    if (OnLinkChanged) OnLinkChanged();
  };
  Links.DescribePort = [this](std::int32_t N) { return GetComPorts->PortDescription(N); };
  CommControl = std::make_unique<TCommControl>(std::move(Links));
  FLink = std::make_unique<TCommControlLink>(*CommControl);
  QuillMain->SetCommLink(FLink.get());
  if (BeforeCreate && !BeforeCreate(*this)) return;
  // An error here (the port cannot be opened, say) is shown, the rest of the creation step is
  // skipped, and start-up goes on.
  GuardedCall([this] { CommControl->FormCreate(); });
}

TProgram::~TProgram() {
  QuillMain->SetCommLink(nullptr);
  CommControl.reset();
  FLink.reset();
  GetComPorts.reset();
  QuillMain.reset();
}

namespace {

const QString SettingsName = QStringLiteral("settings"), ListPortsName = QStringLiteral("list-ports");

// A parser keeps its texts as they were when the options were added: one that shows them is
// described after the translations are installed.
void DescribeOptions(QCommandLineParser& Parser) {
  Parser.setApplicationDescription(QCoreApplication::translate("Program", "QUILL-2 Controller: drives a remote antenna selector."));
  Parser.addHelpOption();
  Parser.addVersionOption();
  //: The value of --settings; its description and the help text name it too.
  const QString File = QCoreApplication::translate("Program", "FILE");
  Parser.addOption({SettingsName, QCoreApplication::translate("Program", "Use FILE as the settings file."), File});
  Parser.addOption({ListPortsName, QCoreApplication::translate(
                                       "Program", "List the serial ports with their COM numbers and devices, then exit.")});
}

// One line per serial port the program can open, by COM number, with the settings' [ComMap]
// and QUILL_COM_MAP applied as the windows would.
int ListPorts(const std::string& SettingsFile) {
  SetSerialMapSettingsFile(SettingsFile);
  const TSerialDeviceMap Map;
  const auto Entries = Map.Entries();
  if (Entries.empty()) std::printf("%s\n", TrText("Program", "No serial ports found.").c_str());
  for (const auto& E : Entries) std::printf("%s\n", SerialPortLine(E, Map.Sources()).c_str());
  std::fflush(stdout);
  return 0;
}

// What --help says beyond the options: where the settings are, how serial devices get their
// numbers, what the windows need, and where the rest is.
QString HelpDescription(const std::string& SettingsFile) {
  return QCoreApplication::translate(
             "Program",
             "QUILL-2 Controller: drives a remote antenna selector.\n"
             "\n"
             "Settings file: %1\n"
             "  (quill.ini beside the executable when that file exists or its folder is writable,\n"
             "  otherwise $XDG_CONFIG_HOME/quill/quill.ini, by default ~/.config/quill/quill.ini;\n"
             "  an installed program always uses the latter; --settings FILE names another one)\n"
             "Serial ports are chosen by COM number: /dev/ttyS<n> is COM<n+1>, /dev/ttyUSB<n>\n"
             "  COM<n+33>, /dev/ttyACM<n> COM<n+65>; other devices get one in the settings file's\n"
             "  [ComMap] section or in the QUILL_COM_MAP environment variable\n"
             "  (COM5=/dev/pts/3;COM6=/dev/ttyV1).\n"
             "The windows need a display (DISPLAY or WAYLAND_DISPLAY); without one, run it as\n"
             "  \"xvfb-run quill\".\n"
             "More in \"man quill\".")
      .arg(QString::fromStdString(SettingsFile));
}

// The arguments with the program's name in place of the path it was started by, for the
// Usage line of --help (the executable's own path comes from the system, not from here).
std::vector<char*> NamedArguments(int argc, char** argv) {
  static char Name[] = "quill";
  std::vector<char*> Args(argv, argv + argc);
  if (!Args.empty()) Args[0] = Name;
  return Args;
}

std::string DefaultSettingsFile() {
  return DefaultSettingsPath(QCoreApplication::applicationFilePath().toStdString(), QUILL_INSTALLED_MARKER);
}

// --settings as the command line gives it, before the application object exists; the file
// itself is then that one or the default.
std::optional<std::string> NamedSettings;

std::string SettingsFileInUse() { return NamedSettings ? *NamedSettings : DefaultSettingsFile(); }

// ---- Is there a display? ----
// Without one the toolkit aborts with an advice to reinstall. A local X or Wayland display is
// a socket: one connect attempt tells, at no cost to a normal start. A display over TCP is left
// to the toolkit (a check could wait on a name lookup or a far host); if that fails, the
// fatal message handler below says the same thing instead of the toolkit's abort.

std::string Env(const char* Name) {
  const char* V = std::getenv(Name);
  return V ? V : "";
}

// True when a stream socket at Path takes a connection; "@" first names an abstract one.
bool SocketAnswers(const std::string& Path) {
  sockaddr_un A{};
  if (Path.empty() || Path.size() > sizeof A.sun_path) return false;
  A.sun_family = AF_UNIX;
  std::memcpy(A.sun_path, Path.data(), Path.size());
  if (Path[0] == '@') A.sun_path[0] = '\0';
  const int Fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (Fd < 0) return false;
  const int Rc = connect(Fd, reinterpret_cast<const sockaddr*>(&A), socklen_t(offsetof(sockaddr_un, sun_path) + Path.size()));
  // A full backlog (EAGAIN) still means a server is there.
  const bool Answers = Rc == 0 || errno == EAGAIN || errno == EINPROGRESS;
  close(Fd);
  return Answers;
}

enum class TDisplayCheck { Answers, Silent, LeftToToolkit };

// "[unix]:N[.screen]" is the local socket of display N (abstract first, as the X library tries
// it); any other host is reached over TCP.
TDisplayCheck CheckXDisplay(const std::string& Display) {
  const auto Colon = Display.rfind(':');
  if (Colon == std::string::npos) return TDisplayCheck::LeftToToolkit;
  const std::string Host = Display.substr(0, Colon);
  const std::string Number = Display.substr(Colon + 1, Display.find('.', Colon) - Colon - 1);
  if ((!Host.empty() && Host != "unix") || Number.empty() || Number.find_first_not_of("0123456789") != std::string::npos)
    return TDisplayCheck::LeftToToolkit;
  const std::string Path = "/tmp/.X11-unix/X" + Number;
  return SocketAnswers("@" + Path) || SocketAnswers(Path) ? TDisplayCheck::Answers : TDisplayCheck::Silent;
}

// The Wayland socket the client library would use: WAYLAND_DISPLAY (a name in the runtime
// folder, or a path), "wayland-0" when unset.
bool WaylandAnswers() {
  std::string Name = Env("WAYLAND_DISPLAY");
  if (Name.empty()) Name = "wayland-0";
  if (Name[0] != '/') {
    const std::string Runtime = Env("XDG_RUNTIME_DIR");
    if (Runtime.empty()) return false;
    Name = Runtime + "/" + Name;
  }
  return SocketAnswers(Name);
}

// Whether the toolkit has its Wayland plugin, where it would look for it: the folder
// QT_QPA_PLATFORM_PLUGIN_PATH names, the platforms folders under QT_PLUGIN_PATH's entries and
// under its own plugin folder.
bool WaylandPluginInstalled() {
  QStringList Folders;
  if (const std::string Own = Env("QT_QPA_PLATFORM_PLUGIN_PATH"); !Own.empty()) Folders << QString::fromStdString(Own);
  for (const QString& Root : QString::fromStdString(Env("QT_PLUGIN_PATH")).split(':', Qt::SkipEmptyParts))
    Folders << Root + QStringLiteral("/platforms");
  Folders << QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms");
  for (const QString& Folder : Folders)
    if (!QDir(Folder).entryList({QStringLiteral("libqwayland-*.so")}, QDir::Files).isEmpty()) return true;
  return false;
}

// What stands in the way of the windows, or nothing (None) when a display answers or the
// platform is chosen (QT_QPA_PLATFORM, -platform): no display at all (Unset, Silent), or a
// Wayland display that runs while no X display answers and the toolkit lacks its Wayland
// plugin, where a package is missing, not a display. Each socket is tried once; the words
// come later (DisplayProblemText), once the language is known.
struct TDisplayProblem {
  enum TKind { None, Unset, Silent, NoWaylandPlugin } Kind = None;
  std::string Display, Wayland;  // as given
  bool NoDisplay() const { return Kind == Unset || Kind == Silent; }
};

TDisplayProblem DisplayProblem(int argc, char** argv) {
  const std::string Platform = Env("QT_QPA_PLATFORM");
  if (!Platform.empty() && Platform.rfind("wayland", 0) != 0) return {};
  std::string Display = Env("DISPLAY");
  for (int I = 1; I < argc; ++I) {
    const std::string A = argv[I];
    if (A == "-platform" || A == "--platform") return {};
    if ((A == "-display" || A == "--display") && I + 1 < argc) Display = argv[I + 1];
  }
  if (!Display.empty() && CheckXDisplay(Display) != TDisplayCheck::Silent) return {};
  const std::string Wayland = Env("WAYLAND_DISPLAY");
  if (WaylandAnswers())
    return WaylandPluginInstalled() ? TDisplayProblem{} : TDisplayProblem{TDisplayProblem::NoWaylandPlugin, Display, Wayland};
  if (!Platform.empty()) return {};  // Wayland chosen: the toolkit says what it finds
  return {Display.empty() && Wayland.empty() ? TDisplayProblem::Unset : TDisplayProblem::Silent, Display, Wayland};
}

std::string DisplayProblemText(const TDisplayProblem& P) {
  const QString Display = QString::fromStdString(P.Display), Wayland = QString::fromStdString(P.Wayland);
  switch (P.Kind) {
    case TDisplayProblem::None:
      return {};
    case TDisplayProblem::NoWaylandPlugin:
      return WaylandPluginAdvice(P.Wayland, false, true, false);
    case TDisplayProblem::Unset:
      return TrText("Program", "DISPLAY and WAYLAND_DISPLAY are not set");
    case TDisplayProblem::Silent:
      break;
  }
  if (P.Wayland.empty())
    return QCoreApplication::translate("Program", "nothing answers at DISPLAY=%1").arg(Display).toStdString();
  if (P.Display.empty())
    return QCoreApplication::translate("Program", "nothing answers at WAYLAND_DISPLAY=%1, and DISPLAY is not set")
        .arg(Wayland)
        .toStdString();
  return QCoreApplication::translate("Program", "nothing answers at DISPLAY=%1 or WAYLAND_DISPLAY=%2")
      .arg(Display, Wayland)
      .toStdString();
}

void SayNoDisplay(const std::string& Why) {
  //: %1 says what was looked at and found silent.
  const QString Line = QCoreApplication::translate("Program", "no display found (%1); set DISPLAY or WAYLAND_DISPLAY to a "
                                                              "running display, or start it as \"xvfb-run quill\"")
                           .arg(QString::fromStdString(Why));
  std::fprintf(stderr, "quill: %s\n", Line.toStdString().c_str());
  std::fflush(stderr);
}

QtMessageHandler ToolkitMessages = nullptr;

// While the application object starts: the toolkit's fatal "no platform plugin" ends the program
// with the same line and exit status as the check above, not with an abort.
void StartMessages(QtMsgType Type, const QMessageLogContext& Context, const QString& Text) {
  if (Type == QtFatalMsg && Text.contains(QLatin1String("platform plugin"))) {
    // The application object is half made, enough for the translations (the windows' side never
    // started) and for the path its default settings file is found by.
    InstallTranslationsFor(SettingsFileInUse());
    const QString Display = qEnvironmentVariable("DISPLAY"), Wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
    const QString Why =
        !Display.isEmpty() ? QCoreApplication::translate("Program", "the window system did not start on DISPLAY=%1").arg(Display)
        : !Wayland.isEmpty()
            ? QCoreApplication::translate(
                  "Program", "the window system did not start on WAYLAND_DISPLAY=%1; its plugin comes with qt6-wayland")
                  .arg(Wayland)
            : QCoreApplication::translate("Program", "the window system did not start");
    SayNoDisplay(Why.toStdString());
    _exit(1);
  }
  ToolkitMessages(Type, Context, Text);
}

void NameApplication() {
  QCoreApplication::setApplicationName(QStringLiteral("quill"));
  QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
}

}  // namespace

std::string WaylandPluginAdvice(const std::string& WaylandDisplay, bool XAnswers, bool WaylandAnswers,
                                bool PluginInstalled) {
  if (XAnswers || !WaylandAnswers || PluginInstalled) return {};
  return QCoreApplication::translate("Program",
                                     "the Wayland display (WAYLAND_DISPLAY=%1) runs, but the toolkit's Wayland plugin is "
                                     "not installed: install qt6-wayland (sudo apt install qt6-wayland), or run the "
                                     "program under X (DISPLAY)")
      .arg(QString::fromStdString(WaylandDisplay.empty() ? std::string("wayland-0") : WaylandDisplay))
      .toStdString();
}

QIcon ProgramIcon() {
  QIcon Icon;
  const QDir Icons(QStringLiteral(":/icons"));
  for (const QString& Name : Icons.entryList(QDir::Files)) Icon.addFile(Icons.filePath(Name));
  return Icon;
}

void SetUpApplication() {
  NameApplication();
  // Lets the desktop match the windows to the menu entry (its name and icon).
  QGuiApplication::setDesktopFileName(QStringLiteral(QUILL_APP_ID));
  QApplication::setWindowIcon(ProgramIcon());
}

void GiveLargeBlocksBack() {
#ifdef __GLIBC__
  // A fixed threshold also switches off the allocator's own raising of it.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
}

int RunProgram(int argc, char** argv) {
  GiveLargeBlocksBack();
  // Writes to a socket whose peer has gone must come back as errors, not end the program.
  signal(SIGPIPE, SIG_IGN);
  {
    // Help, version and a mistyped option need no display: they are answered before the
    // windowing system is reached, by a plain application object. This parser only finds the
    // way; the one that answers is described once the language is known.
    QStringList Args;
    for (int I = 0; I < argc; ++I) Args << QString::fromLocal8Bit(argv[I]);
    QCommandLineParser Early;
    DescribeOptions(Early);
    const bool Parsed = Early.parse(Args);
    if (Early.isSet(SettingsName)) NamedSettings = Early.value(SettingsName).toStdString();
    const auto Answer = [&](QCoreApplication& App) {
      NameApplication();
      InstallTranslationsFor(SettingsFileInUse());
      QCommandLineParser Parser;
      DescribeOptions(Parser);
      Parser.setApplicationDescription(HelpDescription(DefaultSettingsFile()));
      Parser.process(App);  // prints, then exits: 0 for help and version, 1 for an error
    };
    if (!Parsed || Early.isSet(QStringLiteral("help")) || Early.isSet(QStringLiteral("version"))) {
      std::vector<char*> Named = NamedArguments(argc, argv);
      int NamedCount = int(Named.size());
      Named.push_back(nullptr);
      QCoreApplication App(NamedCount, Named.data());
      Answer(App);
      return 1;
    }
    if (Early.isSet(ListPortsName)) {
      QCoreApplication App(argc, argv);  // for the executable's path: no display needed
      NameApplication();
      const std::string SettingsFile = SettingsFileInUse();
      InstallTranslationsFor(SettingsFile);
      return ListPorts(SettingsFile);
    }
    if (Early.isSet(QStringLiteral("help-all"))) {
      // The toolkit's own options are listed by its GUI application object, which needs a
      // window system: the offscreen one, as the last -platform given wins.
      std::vector<char*> OffscreenArgs = NamedArguments(argc, argv);
      char Platform[] = "-platform", Offscreen[] = "offscreen";
      OffscreenArgs.push_back(Platform);
      OffscreenArgs.push_back(Offscreen);
      int OffscreenCount = int(OffscreenArgs.size());
      OffscreenArgs.push_back(nullptr);
      QApplication App(OffscreenCount, OffscreenArgs.data());
      Answer(App);  // prints the options and exits 0
      return 1;
    }
  }

  if (const TDisplayProblem Problem = DisplayProblem(argc, argv); Problem.Kind != TDisplayProblem::None) {
    QCoreApplication App(argc, argv);  // for the language's sake: no display needed
    InstallTranslationsFor(SettingsFileInUse());
    if (Problem.NoDisplay()) SayNoDisplay(DisplayProblemText(Problem));
    else std::fprintf(stderr, "quill: %s\n", DisplayProblemText(Problem).c_str());
    return 1;
  }
  ToolkitMessages = qInstallMessageHandler(StartMessages);
  QApplication App(argc, argv);
  qInstallMessageHandler(ToolkitMessages);
  SetUpApplication();
  const std::string DefaultFile = DefaultSettingsFile();
  const std::string SettingsFile = NamedSettings ? *NamedSettings : DefaultFile;
  // Before the first window and the first text a person reads.
  InstallTranslationsFor(SettingsFile);
  QCommandLineParser Parser;
  DescribeOptions(Parser);
  Parser.process(App);

  // One instance per settings file, settled before any window is built: a second one brings
  // the first to the front and ends.
  const std::string BusName = RemoteBusName(SettingsFile, DefaultFile);
  // Before any bus traffic: the bus thread must find the D-Bus types registered.
  RegisterRemoteTypes();
  const auto SayRemote = [](const std::string& Text) {
    std::fprintf(stderr, "quill: %s\n", Text.c_str());
    std::fflush(stderr);
  };
  // Declared in the order they may go: the bus before the service, the service before the
  // program side it talks to, that before the program.
  std::unique_ptr<TProgram> Program;
  std::unique_ptr<TProgramRemote> Remote;
  std::unique_ptr<TRemoteService> Service;
  auto Bus = std::make_unique<TRemoteBus>(BusName, AbsoluteSettingsPath(SettingsFile), SayRemote);
  const auto EndRemote = [&] {
    Bus.reset();
    Service.reset();
    Remote.reset();
  };
  std::string NoRemote, Holder;
  const auto HandOver = [&] {
    const bool Shown = Bus->ShowOther(Holder, 1500);
    EndRemote();
    if (Shown) return 0;
    const QString Line = QCoreApplication::translate("Program", "another instance uses %1 but does not answer")
                             .arg(QString::fromStdString(SettingsFile));
    std::fprintf(stderr, "quill: %s\n", Line.toStdString().c_str());
    return 1;
  };
  TRemoteClaim Claim = Bus->Look(Holder, NoRemote);
  if (Claim == TRemoteClaim::rcTaken) return HandOver();
  const auto RemoteOff = [&] {
    const QString Why = QString::fromStdString(NoRemote);
    //: %1 says why the session bus cannot be used.
    SayRemote(QCoreApplication::translate("Program", "%1; remote control is off").arg(Why).toStdString());
  };
  if (Claim == TRemoteClaim::rcOff) RemoteOff();
  SetDialogs(std::make_shared<QtDialogs>());

  InstallSignalHandlers();
  // The signal watch comes before the windows: start-up may already show a modal error box.
  bool TerminateRequested = false;
  std::unique_ptr<QSocketNotifier> SignalNotifier;
  if (SignalPipe[0] >= 0) {
    SignalNotifier = std::make_unique<QSocketNotifier>(SignalPipe[0], QSocketNotifier::Read);
    QObject::connect(SignalNotifier.get(), &QSocketNotifier::activated, [&] {
      char Buf[16];
      while (read(SignalPipe[0], Buf, sizeof Buf) > 0) {
      }
      TerminateRequested = true;
      // A box waiting for the user would hold the close up.
      QtDialogs::SetEnding();
      // The same path as the close box: shutdown and the settings save run.
      if (Program && Program->QuillMain->isVisible()) Program->QuillMain->close();
    });
  }

  // The controller is on the bus before the windows' creation step, whose first-start error
  // box may wait for the user: status answers meanwhile, and clicks wait as behind any box.
  // A bus that is configured but did not answer is tried again until it does.
  const auto ServeBeforeCreate = [&](TProgram& Built) {
    if (Claim == TRemoteClaim::rcOff && !SessionBusConfigured()) return true;
    const bool SaidOff = Claim == TRemoteClaim::rcOff;
    Remote = std::make_unique<TProgramRemote>(Built, AbsoluteSettingsPath(SettingsFile));
    Remote->SetStarting(true);
    Service = std::make_unique<TRemoteService>(*Remote);
    Claim = Bus->Serve(*Service, NoRemote);
    if (Claim == TRemoteClaim::rcOff && !SaidOff) RemoteOff();
    if (Claim == TRemoteClaim::rcTaken) {
      // Started at the same moment as another instance, which got the name first: this one
      // goes without a trace (no port opened, no settings written).
      Holder = BusName;
      Service.reset();
      Remote.reset();
      return false;
    }
    return true;
  };
  Program = std::make_unique<TProgram>(SettingsFile, ServeBeforeCreate);
  if (Claim == TRemoteClaim::rcTaken) {
    SignalNotifier.reset();
    Program.reset();
    SetDialogs(nullptr);
    return HandOver();
  }
  if (Remote) Remote->SetStarting(false);
  TQuillMain* QuillMain = Program->QuillMain.get();
  // Boxes raised while none of the windows is active (a port lost in the background) belong
  // to the main window, not to the screen's corner.
  QtDialogs::SetMainWindow(QuillMain);
  // Closing the main window ends the program, even with the Communications window showing.
  QuillMain->OnFormClose = [] { QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection); };
  if (TerminateRequested) {
    // Asked to end while the windows were being made: close as the close box would.
    EndRemote();
    QuillMain->close();
    SignalNotifier.reset();
    Program.reset();
    SetDialogs(nullptr);
    return 0;
  }
  QuillMain->OnFormClose = [&Remote] {
    if (Remote) Remote->SetClosing();
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
  };
  QuillMain->show();
  int Code = App.exec();
  EndRemote();
  SignalNotifier.reset();
  QtDialogs::SetMainWindow(nullptr);
  Program.reset();
  SetDialogs(nullptr);
  return Code;
}
