// Who holds a device, from the real /proc: a child started on a pseudo-terminal. Apart from
// device_access_test.cpp because starting the child needs the native kernel (label
// needs-native): the user-mode emulator rejects the clone flags Qt starts processes with.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <QProcess>

#include <string>
#include <vector>

#include "platform/device_access.h"
#include "pseudo_terminal.h"

TEST(DeviceAccess, TheSystemsFactsFindAChildHoldingATerminal) {
  TPtyMaster Far;
  ASSERT_FALSE(Far.Path.empty());
  const std::string Pty = Far.Path;
  QProcess Child;
  Child.setStandardInputFile(QString::fromStdString(Pty));
  Child.start("sleep", {"60"});
  ASSERT_TRUE(Child.waitForStarted(30000));
  const TDeviceAccessFacts F = SystemDeviceAccessFacts();
  const std::vector<TDeviceHolder> Expected = {{int(Child.processId()), "sleep"}};
  EXPECT_EQ(F.Holders(Pty), Expected);
  unsigned Gid = 99999;
  ASSERT_TRUE(F.NodeGroup(Pty, Gid));
  EXPECT_FALSE(F.GroupName(Gid).empty()) << "a terminal's group (tty) has a name";
  const auto Groups = F.ProcessGroups();
  ASSERT_FALSE(Groups.empty());
  EXPECT_EQ(Groups[0], unsigned(getegid()));
  Child.kill();
  Child.waitForFinished(30000);
}
