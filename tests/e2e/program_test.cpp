#include <gtest/gtest.h>

#include <QProcess>

#include <csignal>
#include <cstdlib>

#include "e2e_support.h"
#include "platform/ini_file.h"

namespace {

QString QuillPath() { return QString::fromLocal8Bit(std::getenv("QUILL_BIN_DIR")) + "/quill"; }

}  // namespace

TEST(Program, VersionHelpAndBadOptionsNeedNoDisplay) {
  struct Case {
    const char* Option;
    int Code;
    const char* Says;
  };
  for (const Case& C : {Case{"--version", 0, "1.0"}, Case{"--help", 0, "--settings"}, Case{"--bogus", 1, "bogus"}}) {
    QProcess P;
    // No display of any kind, and no platform chosen: the windowing system must not be reached.
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    for (const char* Name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) Env.remove(Name);
    P.setProcessEnvironment(Env);
    P.start(QuillPath(), {C.Option});
    ASSERT_TRUE(P.waitForFinished(60000)) << C.Option;
    EXPECT_EQ(P.exitStatus(), QProcess::NormalExit) << C.Option;
    EXPECT_EQ(P.exitCode(), C.Code) << C.Option;
    EXPECT_TRUE((P.readAllStandardOutput() + P.readAllStandardError()).contains(C.Says)) << C.Option;
  }
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
