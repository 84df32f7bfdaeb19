#include <gtest/gtest.h>

#include <QProcess>

#include <csignal>
#include <cstdlib>

#include "e2e_support.h"
#include "platform/ini_file.h"

namespace {

QString QuillPath() { return QString::fromLocal8Bit(std::getenv("QUILL_BIN_DIR")) + "/quill"; }

}  // namespace

TEST(Program, VersionAndHelp) {
  QProcess P;
  P.start(QuillPath(), {"--version"});
  ASSERT_TRUE(P.waitForFinished(60000));
  EXPECT_EQ(P.exitCode(), 0);
  EXPECT_TRUE(P.readAllStandardOutput().contains("1.0"));
  P.start(QuillPath(), {"--help"});
  ASSERT_TRUE(P.waitForFinished(60000));
  EXPECT_EQ(P.exitCode(), 0);
  EXPECT_TRUE(P.readAllStandardOutput().contains("--settings"));
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
