// The network port where nothing can leave the machine: in a private network namespace this
// program runs its own tests again. Apart from net_port_test.cpp because the child is this
// program itself: under the user-mode emulator it starts only where binfmt_misc hands arm64
// programs to the emulator (label needs-binfmt).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "lan_port.h"
#include "test_support.h"

extern char** environ;

namespace {

// Runs this test binary's NetPortIsolated tests again inside a private network namespace,
// where nothing can leave the machine. True when the child passed; skips without unshare.
bool RunInPrivateNetwork(bool& Skipped) {
  Skipped = false;
  TempDir Dir;
  const std::string Output = Dir.File("child.txt");
  auto Spawn = [&](std::vector<std::string> Args) {
    std::vector<char*> Argv;
    for (auto& A : Args) Argv.push_back(A.data());
    Argv.push_back(nullptr);
    posix_spawn_file_actions_t Files;
    posix_spawn_file_actions_init(&Files);
    posix_spawn_file_actions_addopen(&Files, 1, Output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&Files, 1, 2);
    pid_t Pid;
    const int Rc = ::posix_spawn(&Pid, Argv[0], &Files, nullptr, Argv.data(), environ);
    posix_spawn_file_actions_destroy(&Files);
    if (Rc != 0) return -1;
    int Status = 0;
    ::waitpid(Pid, &Status, 0);
    return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
  };
  if (::access("/usr/bin/unshare", X_OK) != 0 || Spawn({"/usr/bin/unshare", "-n", "/bin/true"}) != 0) {
    Skipped = true;
    return false;
  }
  char Self[4096] = {};
  if (::readlink("/proc/self/exe", Self, sizeof Self - 1) <= 0) return false;
  const bool Passed = Spawn({"/usr/bin/unshare", "-n", "/usr/bin/env", "QUILL_NETNS_CHILD=1", Self,
                             "--gtest_filter=NetPortIsolated.*"}) == 0;
  if (!Passed) ADD_FAILURE() << ReadFile(Output);
  return Passed;
}

TEST(NetPortIsolated, PlaceholderAddressAndSystemResolverInAPrivateNetwork) {
  if (!std::getenv("QUILL_NETNS_CHILD")) {
    bool Skipped;
    const bool Passed = RunInPrivateNetwork(Skipped);
    if (Skipped) GTEST_SKIP() << "no private network namespace here";
    EXPECT_TRUE(Passed);
    return;
  }
  // Inside the namespace: no route anywhere, not even loopback.
  TLanPort P;
  std::vector<int> Errors;
  P.Port.OnWsError = [&](TQpCustomWinsockPort*, std::int32_t E) { Errors.push_back(E); };
  P.Port.SetWsAddress("192.168.0.19");
  EXPECT_NO_THROW(P.OpenTo(5495));  // the failure comes later, as a connect notification
  ASSERT_TRUE(WaitFor([&] { return !Errors.empty(); }));
  EXPECT_EQ(Errors, std::vector<int>{10051});
  ProcessMessages();
  EXPECT_TRUE(P.Port.Open());  // unreachable is not a refusal: the port stays open
  P.Port.SetOpen(false);
  EXPECT_TRUE(P.Events.empty());

  // The system's own resolver cannot answer for a name here: 9007.
  P.Port.OnWsError = nullptr;
  P.Port.SetWsAddress("quill-device.invalid");
  try {
    P.Port.SetOpen(true);
    ADD_FAILURE() << "resolved";
  } catch (const EQpSocketException& E) {
    EXPECT_EQ(E.ErrorCode(), 9007);
  }
}

}  // namespace
