// Opening a terminal device as another user: refused without permission, and refused while
// this process holds it exclusively. Apart from serial_layer_test.cpp because it needs no line
// settings, so it runs under the user-mode emulator too.
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <string>

#include "devices/serial_linux.h"
#include "port/port_errors.h"
#include "pty_pair.h"

namespace {

// Opens Path as an unprivileged user in a child process; the result of SerialOpen (0 when it
// opened).
int OpenAsNobody(const std::string& Path) {
  const pid_t Child = fork();
  if (Child == 0) {
    // Only system calls from here on: the parent has threads.
    if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(100);
    const int R = SerialOpen(Path);
    _exit(R >= 0 ? 0 : (-R > 99 ? 99 : -R));
  }
  int Status = 0;
  waitpid(Child, &Status, 0);
  return WIFEXITED(Status) ? -WEXITSTATUS(Status) : -1000;
}

TEST(SerialOpen, UnprivilegedOpensAreRefusedPlainly) {
  TPty Pty;
  ASSERT_FALSE(Pty.Path.empty());
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  // Not allowed (not in the device's group): the text says so.
  ASSERT_EQ(::chmod(Pty.Path.c_str(), 0600), 0);
  EXPECT_EQ(OpenAsNobody(Pty.Path), -EACCES);
  try {
    CheckException(nullptr, -EACCES);
    ADD_FAILURE() << "no exception";
  } catch (const std::exception& E) {
    EXPECT_NE(std::string(E.what()).find("Permission denied"), std::string::npos) << E.what();
  }
  // Allowed, but this process holds it: the terminal's exclusive flag refuses the open.
  ASSERT_EQ(::chmod(Pty.Path.c_str(), 0666), 0);
  EXPECT_EQ(OpenAsNobody(Pty.Path), 0);
  const int Held = SerialOpen(Pty.Path);
  ASSERT_GE(Held, 0);
  EXPECT_EQ(OpenAsNobody(Pty.Path), -EBUSY);
  SerialClose(Held);
  EXPECT_EQ(OpenAsNobody(Pty.Path), 0) << "the flag went with the close";
}

}  // namespace
