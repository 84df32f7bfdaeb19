#include "program.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <QApplication>
#include <QDBusConnection>
#include <QCommandLineParser>
#include <QDir>
#include <QIcon>
#include <QSocketNotifier>

#include <cstdio>
#include <memory>

#include "comm_link.h"
#include "devices/serial_layer.h"
#include "link/comm_control_u.h"
#include "link/get_com_ports_u.h"
#include "platform/dialogs.h"
#include "platform/error_handler.h"
#include "platform/ini_file.h"
#include "platform/qt_dialogs.h"
#include "platform/serial_device_map.h"
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

TProgram::TProgram(const std::string& SettingsFile) {
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
  CommControl = std::make_unique<TCommControl>(std::move(Links));
  FLink = std::make_unique<TCommControlLink>(*CommControl);
  QuillMain->SetCommLink(FLink.get());
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

void DescribeOptions(QCommandLineParser& Parser, const QCommandLineOption& SettingsOption) {
  Parser.setApplicationDescription(QStringLiteral("QUILL-2 Controller: drives a remote antenna selector."));
  Parser.addHelpOption();
  Parser.addVersionOption();
  Parser.addOption(SettingsOption);
}

void NameApplication() {
  QCoreApplication::setApplicationName(QStringLiteral("quill"));
  QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
}

}  // namespace

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
  const QCommandLineOption SettingsOption(QStringLiteral("settings"),
                                          QStringLiteral("Use FILE as the settings file."),
                                          QStringLiteral("FILE"));
  {
    // Help, version and a mistyped option need no display: they are answered before the
    // windowing system is reached, by a plain application object.
    QStringList Args;
    for (int I = 0; I < argc; ++I) Args << QString::fromLocal8Bit(argv[I]);
    QCommandLineParser Early;
    DescribeOptions(Early, SettingsOption);
    if (!Early.parse(Args) || Early.isSet(QStringLiteral("help")) || Early.isSet(QStringLiteral("version"))) {
      QCoreApplication App(argc, argv);
      NameApplication();
      Early.process(App);  // prints, then exits: 0 for help and version, 1 for an error
      return 1;
    }
  }

  QApplication App(argc, argv);
  SetUpApplication();
  QCommandLineParser Parser;
  DescribeOptions(Parser, SettingsOption);
  Parser.process(App);

  const std::string DefaultFile =
      DefaultSettingsPath(QCoreApplication::applicationFilePath().toStdString(), QUILL_INSTALLED_MARKER);
  const std::string SettingsFile =
      Parser.isSet(SettingsOption) ? Parser.value(SettingsOption).toStdString() : DefaultFile;

  // One instance per settings file, settled before any window is built: a second one brings
  // the first to the front and ends.
  const std::string BusName = RemoteBusName(SettingsFile, DefaultFile);
  std::string NoRemote;
  const auto HandOver = [&] {
    if (ShowOtherInstance(BusName, 1500)) return 0;
    std::fprintf(stderr, "quill: another instance uses %s but does not answer\n", SettingsFile.c_str());
    return 1;
  };
  TRemoteClaim Claim = LookForInstance(BusName, NoRemote);
  if (Claim == TRemoteClaim::rcTaken) return HandOver();
  if (Claim == TRemoteClaim::rcOff) std::fprintf(stderr, "quill: %s; remote control is off\n", NoRemote.c_str());
  SetDialogs(std::make_shared<QtDialogs>());

  InstallSignalHandlers();
  // The signal watch comes before the windows: start-up may already show a modal error box.
  std::unique_ptr<TProgram> Program;
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

  Program = std::make_unique<TProgram>(SettingsFile);
  TQuillMain* QuillMain = Program->QuillMain.get();
  // Closing the main window ends the program, even with the Communications window showing.
  QuillMain->OnFormClose = [] { QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection); };
  if (TerminateRequested) {
    // Asked to end while the windows were being made: close as the close box would.
    QuillMain->close();
    SignalNotifier.reset();
    Program.reset();
    SetDialogs(nullptr);
    return 0;
  }
  // The service goes before the program it talks to.
  std::unique_ptr<TProgramRemote> Remote;
  std::unique_ptr<TRemoteService> Service;
  if (Claim == TRemoteClaim::rcFree) {
    Remote = std::make_unique<TProgramRemote>(*Program);
    Service = std::make_unique<TRemoteService>(*Remote);
    if (!Service->Attach(QDBusConnection::sessionBus())) {
      NoRemote = "the session bus refused the controller object";
      Claim = TRemoteClaim::rcOff;
    } else {
      Claim = ClaimRemoteName(BusName, NoRemote);
    }
    if (Claim != TRemoteClaim::rcClaimed) {
      Service.reset();
      Remote.reset();
    }
    if (Claim == TRemoteClaim::rcOff) std::fprintf(stderr, "quill: %s; remote control is off\n", NoRemote.c_str());
    if (Claim == TRemoteClaim::rcTaken) {
      // Started at the same moment as another instance, which got the name first: this one
      // goes without a trace (no settings written).
      SignalNotifier.reset();
      Program.reset();
      SetDialogs(nullptr);
      return HandOver();
    }
  }
  QuillMain->OnFormClose = [&Remote] {
    if (Remote) Remote->SetClosing();
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
  };
  QuillMain->show();
  int Code = App.exec();
  Service.reset();
  Remote.reset();
  SignalNotifier.reset();
  Program.reset();
  SetDialogs(nullptr);
  return Code;
}
