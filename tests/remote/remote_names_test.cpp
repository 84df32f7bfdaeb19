// The names a controller is found by: one file has one name whatever path reaches it, the
// default file keeps the application id, and the controllers' files are told apart by their
// identity (device and inode), not by the path that names them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "remote/remote_directory.h"
#include "remote/remote_names.h"
#include "test_support.h"

TEST(RemoteNames, OneFileIsOneFileWhateverPathReachesIt) {
  TempDir Dir;
  WriteFile(Dir.File("a.ini"), "[Comm]\n");
  ASSERT_EQ(link(Dir.File("a.ini").c_str(), Dir.File("hard.ini").c_str()), 0);
  ASSERT_EQ(symlink(Dir.File("a.ini").c_str(), Dir.File("soft.ini").c_str()), 0);
  WriteFile(Dir.File("b.ini"), "[Comm]\n");
  struct Case {
    std::string A, B;
    bool Same;
  };
  const std::vector<Case> Cases = {
      {Dir.File("a.ini"), Dir.File("a.ini"), true},
      {Dir.File("a.ini"), Dir.File("hard.ini"), true},
      {Dir.File("a.ini"), Dir.File("soft.ini"), true},
      {Dir.File("a.ini"), Dir.File("x/../a.ini"), true},
      {Dir.File("a.ini"), Dir.File("x/../hard.ini"), true},
      {Dir.File("a.ini"), Dir.File("b.ini"), false},
      // Not there yet: the path alone tells.
      {Dir.File("new.ini"), Dir.File("./new.ini"), true},
      {Dir.File("new.ini"), Dir.File("other.ini"), false},
      {Dir.File("new.ini"), Dir.File("a.ini"), false},
  };
  for (const Case& C : Cases) {
    EXPECT_EQ(SameSettingsFile(C.A, C.B), C.Same) << C.A << " " << C.B;
    EXPECT_EQ(SameSettingsFile(C.B, C.A), C.Same) << C.B << " " << C.A;
    // Starts through the two paths take turns exactly when the paths are one file.
    EXPECT_EQ(RemoteStartLockName(C.A) == RemoteStartLockName(C.B), C.Same) << C.A << " " << C.B;
    EXPECT_FALSE(IsControllerBusName(RemoteStartLockName(C.A))) << RemoteStartLockName(C.A);
  }
}

TEST(RemoteNames, TheBusNameStaysWhenTheFileIsCreatedOrReplaced) {
  TempDir Dir;
  const std::string File = Dir.File("q.ini");
  const std::string Before = RemoteBusName(File, Dir.File("default.ini"));
  EXPECT_EQ(Before.rfind(RemoteBusBase() + ".s", 0), 0u) << Before;
  EXPECT_TRUE(IsControllerBusName(Before));
  // Created, then replaced as every save does (a new inode): the same name throughout.
  WriteFile(File, "[Comm]\n");
  EXPECT_EQ(RemoteBusName(File, Dir.File("default.ini")), Before);
  WriteFile(Dir.File("q.tmp"), "[Comm]\nMode=1\n");
  ASSERT_EQ(rename(Dir.File("q.tmp").c_str(), File.c_str()), 0);
  EXPECT_EQ(RemoteBusName(File, Dir.File("default.ini")), Before);
}

TEST(RemoteNames, TheDefaultFileKeepsTheApplicationIdThroughAnyPath) {
  TempDir Dir;
  const std::string Default = Dir.File("quill.ini");
  // Before the first save the default file does not exist.
  EXPECT_EQ(RemoteBusName(Default, Default), RemoteBusBase());
  EXPECT_EQ(RemoteBusName(Dir.File("sub/../quill.ini"), Default), RemoteBusBase());
  WriteFile(Default, "[Comm]\n");
  ASSERT_EQ(link(Default.c_str(), Dir.File("linked.ini").c_str()), 0);
  EXPECT_EQ(RemoteBusName(Dir.File("linked.ini"), Default), RemoteBusBase());
  EXPECT_NE(RemoteBusName(Dir.File("other.ini"), Default), RemoteBusBase());
}

TEST(RemoteNames, TheControllerOfAFileIsFoundByTheFilesIdentity) {
  TempDir Dir;
  WriteFile(Dir.File("a.ini"), "[Comm]\n");
  WriteFile(Dir.File("b.ini"), "[Comm]\n");
  ASSERT_EQ(link(Dir.File("a.ini").c_str(), Dir.File("hard.ini").c_str()), 0);
  const std::vector<TRunningController> Running = {
      {"local.quill.controller.sb", Dir.File("b.ini"), "Connected"},
      {"local.quill.controller.sx", "", ""},  // did not answer
      {"local.quill.controller.sa", Dir.File("a.ini"), "Disconnected"},
  };
  struct Case {
    std::string File;
    const char* Found;  // nullptr: none
  };
  const std::vector<Case> Cases = {
      {Dir.File("a.ini"), "local.quill.controller.sa"},
      {Dir.File("hard.ini"), "local.quill.controller.sa"},
      {Dir.File("b.ini"), "local.quill.controller.sb"},
      {Dir.File("c.ini"), nullptr},
  };
  for (const Case& C : Cases) {
    const TRunningController* Found = ControllerOfFile(Running, C.File);
    if (!C.Found) {
      EXPECT_EQ(Found, nullptr) << C.File;
    } else {
      ASSERT_NE(Found, nullptr) << C.File;
      EXPECT_EQ(Found->BusName, C.Found) << C.File;
    }
  }
  for (const char* Name : {"local.quill.controller", "local.quill.controller.s0123abcd"})
    EXPECT_TRUE(IsControllerBusName(Name)) << Name;
  for (const char* Name : {"local.quill.controllers", "local.quill.controller.", "local.quill.controller.s1.x", "org.other"})
    EXPECT_FALSE(IsControllerBusName(Name)) << Name;
}
