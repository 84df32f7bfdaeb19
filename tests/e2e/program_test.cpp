#include <gtest/gtest.h>

#include <QProcess>

#include <csignal>
#include <cstdlib>

#include "test_support.h"

namespace {

QString QuillPath() { return QString::fromLocal8Bit(std::getenv("QUILL_BIN_DIR")) + "/quill"; }

// True once the process catches Signal (its handler is installed).
bool Catches(qint64 Pid, int Signal) {
  const std::string Status = ReadFile("/proc/" + std::to_string(Pid) + "/status");
  auto At = Status.find("SigCgt:");
  if (At == std::string::npos) return false;
  const unsigned long long Mask = std::stoull(Status.substr(At + 7), nullptr, 16);
  return (Mask >> (Signal - 1)) & 1;
}

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
    QProcess P;
    P.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    P.start(QuillPath(), {"--settings", QString::fromStdString(Dir.File("q.ini"))});
    ASSERT_TRUE(P.waitForStarted(60000));
    ASSERT_TRUE(WaitFor([&] { return Catches(P.processId(), Signal); }, 60000));
    ::kill(pid_t(P.processId()), Signal);
    ASSERT_TRUE(P.waitForFinished(60000));
    EXPECT_EQ(P.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(P.exitCode(), 0);
  }
}
