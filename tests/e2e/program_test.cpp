#include <gtest/gtest.h>

#include <QProcess>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "e2e_support.h"
#include "platform/ini_file.h"
#include "pseudo_terminal.h"

namespace {

QString QuillPath() { return QString::fromLocal8Bit(std::getenv("QUILL_BIN_DIR")) + "/quill"; }

// The test's environment without any display, platform choice or session type: the program
// must find out by itself that it has nowhere to draw. The runtime folder is an empty one, so
// no Wayland socket is found there either.
QProcessEnvironment NoDisplayEnvironment(const TempDir& Runtime) {
  QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
  for (const char* Name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"}) Env.remove(Name);
  Env.insert("XDG_RUNTIME_DIR", QString::fromStdString(Runtime.Path()));
  return Env;
}

// An X display number nobody serves, on the local sockets and on TCP.
int UnservedDisplay() {
  const std::string Sockets = ReadFile("/proc/net/unix");
  for (int N = 99;; ++N) {
    const std::string Path = "/tmp/.X11-unix/X" + std::to_string(N);
    if (std::filesystem::exists(Path) || Sockets.find(Path) != std::string::npos) continue;
    const int Fd = Connect(6000 + N);
    if (Fd >= 0) {
      close(Fd);
      continue;
    }
    return N;
  }
}

}  // namespace

TEST(Program, VersionHelpAndBadOptionsNeedNoDisplay) {
  struct Case {
    const char* Option;
    int Code;
    std::vector<const char*> Says;
  };
  // --help tells where the settings live and where to read more; --help-all adds the toolkit's
  // own options, which it knows without a display too.
  for (const Case& C : {Case{"--version", 0, {"1.0"}},
                        Case{"--help", 0, {"Usage: quill [options]", "--settings", "quill.ini",
                                           "$XDG_CONFIG_HOME/quill/quill.ini", "QUILL_COM_MAP", "man quill"}},
                        Case{"--help-all", 0, {"Usage: quill [options]", "--settings", "-platform"}},
                        Case{"--bogus", 1, {"bogus"}}}) {
    QProcess P;
    // No display of any kind, and no platform chosen: the windowing system must not be reached.
    TempDir Runtime;
    P.setProcessEnvironment(NoDisplayEnvironment(Runtime));
    P.start(QuillPath(), {C.Option});
    ASSERT_TRUE(P.waitForFinished(60000)) << C.Option;
    EXPECT_EQ(P.exitStatus(), QProcess::NormalExit) << C.Option;
    EXPECT_EQ(P.exitCode(), C.Code) << C.Option;
    const QByteArray Out = P.readAllStandardOutput() + P.readAllStandardError();
    for (const char* Word : C.Says) EXPECT_TRUE(Out.contains(Word)) << C.Option << ": " << Word << " in " << Out.toStdString();
    // The program's name, not the path it was started by (a build folder, say).
    const qsizetype Usage = Out.indexOf("Usage: ");
    if (Usage >= 0) {
      EXPECT_FALSE(Out.mid(Usage, Out.indexOf('\n', Usage) - Usage).contains('/')) << C.Option;
    }
  }
}

TEST(Program, ListPortsNeedsNoDisplayAndNamesEachPortsDevice) {
  TPtyMaster Far;
  ASSERT_FALSE(Far.Path.empty());
  const std::string Pty = Far.Path;
  TempDir Runtime;
  // COM7 from the environment, COM9 from the settings named on the command line; COM11 names
  // nothing that exists and is left out.
  const std::string Ini = Runtime.File("q.ini");
  WriteFile(Ini, "[ComMap]\nCOM9=" + Pty + "\nCOM11=" + Runtime.File("gone") + "\n");
  struct Case {
    QStringList Args;
    std::string Map;
    std::vector<std::string> Lines;  // expected among the output
  };
  const std::string Dash = " \u2014 ";
  for (const Case& C : {Case{{"--list-ports"}, "COM7=" + Pty, {"COM7" + Dash + Pty + Dash + "pseudo-terminal"}},
                        Case{{"--settings", QString::fromStdString(Ini), "--list-ports"}, "",
                             {"COM9" + Dash + Pty + Dash + "pseudo-terminal"}},
                        Case{{"--list-ports", "--settings", Runtime.File("none.ini").c_str()}, "", {}}}) {
    QProcess P;
    QProcessEnvironment Env = NoDisplayEnvironment(Runtime);
    if (C.Map.empty()) Env.remove("QUILL_COM_MAP");
    else Env.insert("QUILL_COM_MAP", QString::fromStdString(C.Map));
    P.setProcessEnvironment(Env);
    P.start(QuillPath(), C.Args);
    ASSERT_TRUE(P.waitForFinished(60000));
    EXPECT_EQ(P.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(P.exitCode(), 0);
    EXPECT_EQ(P.readAllStandardError().toStdString(), "");
    const QString Out = QString::fromUtf8(P.readAllStandardOutput());
    const QStringList Lines = Out.split('\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(Lines.isEmpty()) << "with no ports, says so";
    // The system's own ports may show as well; every line is one port, or the one line saying
    // there is none.
    for (const QString& L : Lines)
      EXPECT_TRUE(L.startsWith("COM") || (L == "No serial ports found." && Lines.size() == 1)) << L.toStdString();
    for (const auto& Want : C.Lines) EXPECT_TRUE(Lines.contains(QString::fromStdString(Want))) << Want << " in " << Out.toStdString();
    EXPECT_FALSE(Out.contains("COM11"));
  }
}

TEST(Program, WithoutADisplaySaysSoInOneLineAndExits1) {
  const QString Unserved = QStringLiteral(":%1").arg(UnservedDisplay());
  struct Case {
    QString Display;  // empty: not set
    const char* Says;
  };
  for (const Case& C : {Case{"", "DISPLAY and WAYLAND_DISPLAY are not set"},
                        Case{Unserved, "nothing answers at DISPLAY="},
                        Case{Unserved + ".0", "nothing answers at DISPLAY="}}) {
    TempDir Dir;
    QProcessEnvironment Env = NoDisplayEnvironment(Dir);
    if (!C.Display.isEmpty()) Env.insert("DISPLAY", C.Display);
    QProcess P;
    P.setProcessEnvironment(Env);
    P.start(QuillPath(), {"--settings", QString::fromStdString(Dir.File("q.ini"))});
    ASSERT_TRUE(P.waitForFinished(60000)) << C.Display.toStdString();
    const std::string Err = P.readAllStandardError().toStdString();
    EXPECT_EQ(P.exitStatus(), QProcess::NormalExit) << Err;
    EXPECT_EQ(P.exitCode(), 1) << Err;
    EXPECT_TRUE(P.readAllStandardOutput().isEmpty());
    // One line, saying what is missing and how to give it.
    ASSERT_FALSE(Err.empty());
    EXPECT_EQ(Err.find('\n'), Err.size() - 1) << Err;
    for (const char* Word : {"no display found", C.Says, "xvfb-run"})
      EXPECT_NE(Err.find(Word), std::string::npos) << Word << " in " << Err;
    if (!C.Display.isEmpty()) {
      EXPECT_NE(Err.find(C.Display.toStdString()), std::string::npos) << Err;
    }
    // Nothing was started: no settings were written.
    EXPECT_FALSE(std::filesystem::exists(Dir.File("q.ini")));
  }
  // A display over TCP is the toolkit's to try; when it fails, the program ends the same way
  // (after the toolkit's own warnings) rather than aborting.
  TempDir Dir;
  QProcessEnvironment Env = NoDisplayEnvironment(Dir);
  Env.insert("DISPLAY", "127.0.0.1" + Unserved);
  QProcess P;
  P.setProcessEnvironment(Env);
  P.start(QuillPath(), {"--settings", QString::fromStdString(Dir.File("q.ini"))});
  ASSERT_TRUE(P.waitForFinished(60000));
  const std::string Err = P.readAllStandardError().toStdString();
  EXPECT_EQ(P.exitStatus(), QProcess::NormalExit) << Err;
  EXPECT_EQ(P.exitCode(), 1) << Err;
  const std::string Last = Err.substr(Err.rfind('\n', Err.size() - 2) + 1);
  EXPECT_EQ(Last.rfind("quill: no display found (", 0), 0u) << Err;
  EXPECT_NE(Last.find("DISPLAY=127.0.0.1" + Unserved.toStdString()), std::string::npos) << Err;
}

TEST(Program, TerminationSignalsCloseTheWindowAndExitCleanly) {
  for (int Signal : {SIGTERM, SIGINT}) {
    TempDir Dir;
    TQuill Quill(Dir.File("q.ini"));
    EXPECT_TRUE(Quill.Stop(Signal)) << Signal;
    // The close ran its settings save.
    EXPECT_TRUE(TIniFile(Dir.File("q.ini")).ValueExists("Antennas", "Name8"));
  }
}
