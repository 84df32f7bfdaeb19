#include "program.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QSocketNotifier>

#include <cstdio>
#include <memory>

#include "platform/dialogs.h"
#include "platform/ini_file.h"
#include "platform/qt_dialogs.h"
#include "quill_main_u.h"

namespace {

std::string CurrentSettings;
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

}  // namespace

const std::string& SettingsFileName() { return CurrentSettings; }
void SetSettingsFileName(std::string FileName) { CurrentSettings = std::move(FileName); }

int RunProgram(int argc, char** argv) {
  // Writes to a socket whose peer has gone must come back as errors, not end the program.
  signal(SIGPIPE, SIG_IGN);
  QApplication App(argc, argv);
  QApplication::setApplicationName(QStringLiteral("quill"));
  QApplication::setApplicationVersion(QStringLiteral("1.0"));

  QCommandLineParser Parser;
  Parser.setApplicationDescription(QStringLiteral("QUILL-2 Controller: drives a remote antenna selector."));
  Parser.addHelpOption();
  Parser.addVersionOption();
  QCommandLineOption SettingsOption(QStringLiteral("settings"),
                                    QStringLiteral("Use FILE as the settings file."),
                                    QStringLiteral("FILE"));
  Parser.addOption(SettingsOption);
  Parser.process(App);

  SetSettingsFileName(Parser.isSet(SettingsOption)
                          ? Parser.value(SettingsOption).toStdString()
                          : DefaultSettingsPath(QCoreApplication::applicationFilePath().toStdString()));
  SetDialogs(std::make_shared<QtDialogs>());

  InstallSignalHandlers();
  auto QuillMain = std::make_unique<TQuillMain>();
  std::unique_ptr<QSocketNotifier> SignalNotifier;
  if (SignalPipe[0] >= 0) {
    SignalNotifier = std::make_unique<QSocketNotifier>(SignalPipe[0], QSocketNotifier::Read);
    QObject::connect(SignalNotifier.get(), &QSocketNotifier::activated, [&] {
      char Buf[16];
      while (read(SignalPipe[0], Buf, sizeof Buf) > 0) {
      }
      // The same path as the close box: shutdown and the settings save run.
      QuillMain->close();
    });
  }

  QuillMain->show();
  int Code = App.exec();
  SignalNotifier.reset();
  QuillMain.reset();
  SetDialogs(nullptr);
  return Code;
}
