// Help for a serial device that would not open: the cases a user meets, with the system's
// facts given by the test; and who holds a device, from a fake /proc (the real one:
// device_access_system_test.cpp).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/device_access.h"
#include "pseudo_terminal.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

struct TFacts {
  bool Stat = true;
  unsigned Gid = 20;
  std::string Group = "dialout";
  std::vector<unsigned> Mine = {1000, 24, 27};
  bool Listed = false;
  std::vector<TDeviceHolder> Holders;
  TDeviceAccessFacts Get() const {
    TDeviceAccessFacts F;
    F.NodeGroup = [this](const std::string&, unsigned& G) {
      G = Gid;
      return Stat;
    };
    F.ProcessGroups = [this] { return Mine; };
    F.GroupName = [this](unsigned G) { return G == Gid ? Group : std::string(); };
    F.ListedInGroup = [this](unsigned) { return Listed; };
    F.Holders = [this](const std::string&) { return Holders; };
    return F;
  }
};

}  // namespace

TEST(DeviceAccess, HelpForEachCase) {
  const std::string Path = "/nonexistent/ttyUSB0";
  const std::string Device = "Device: " + Path;
  const std::string Join = "\nIt belongs to the group dialout, which you are not in. Join it with\n"
                           "    sudo usermod -aG dialout $USER\n"
                           "then log out and in again: a new login is needed for the group to count.";
  const std::string Mm = "\nModemManager probes new USB serial devices and lets go after a while; to keep it away from "
                         "this adapter, give it ENV{ID_MM_DEVICE_IGNORE}=\"1\" in a udev rule.";
  struct Case {
    const char* Name;
    TOpenFailure Why;
    TFacts Facts;
    std::string Help;
  };
  TFacts Uucp;
  Uucp.Gid = 14;
  Uucp.Group = "uucp";
  TFacts InGroup;
  InGroup.Mine = {1000, 20};
  TFacts JoinedLater;
  JoinedLater.Listed = true;
  TFacts RootOnly;
  RootOnly.Gid = 0;
  RootOnly.Group = "root";
  TFacts Gone;
  Gone.Stat = false;
  TFacts Nameless;
  Nameless.Group = "";
  TFacts Modem;
  Modem.Holders = {{812, "ModemManager"}};
  TFacts Two;
  Two.Holders = {{4242, "minicom"}, {4300, ""}};
  const std::vector<Case> Cases = {
      {"not in dialout", TOpenFailure::Denied, {}, Device + Join},
      {"the group's real name", TOpenFailure::Denied, Uucp,
       Device + "\nIt belongs to the group uucp, which you are not in. Join it with\n    sudo usermod -aG uucp $USER\n"
                "then log out and in again: a new login is needed for the group to count."},
      {"in the group already", TOpenFailure::Denied, InGroup, Device},
      {"joined since the login", TOpenFailure::Denied, JoinedLater,
       Device + "\nYou have been added to the group dialout since this login began: log out and in again so that it counts."},
      {"root's group", TOpenFailure::Denied, RootOnly, Device},
      {"node gone", TOpenFailure::Denied, Gone, Device},
      {"group without a name", TOpenFailure::Denied, Nameless, Device},
      {"held by ModemManager", TOpenFailure::Busy, Modem, Device + "\nHeld by ModemManager (pid 812)." + Mm},
      {"held by two", TOpenFailure::Busy, Two, Device + "\nHeld by minicom (pid 4242), a program (pid 4300)."},
      {"held unseen", TOpenFailure::Busy, {},
       Device + "\nAnother program holds it (one this user cannot see, or one that has let go since)."},
      {"other errors get nothing", TOpenFailure::Other, Modem, ""},
  };
  for (const Case& C : Cases) EXPECT_EQ(DeviceAccessHelp(Path, C.Why, C.Facts.Get()), C.Help) << C.Name;

  // A stable link is named with the node it leads to.
  TempDir Dir;
  WriteFile(Dir.File("ttyUSB1"), "");
  fs::create_symlink("ttyUSB1", Dir.File("usb-FTDI-if00-port0"));
  const std::string Node = fs::canonical(Dir.File("ttyUSB1")).string();
  EXPECT_EQ(DeviceAccessHelp(Dir.File("usb-FTDI-if00-port0"), TOpenFailure::Denied, InGroup.Get()),
            "Device: " + Dir.File("usb-FTDI-if00-port0") + " (" + Node + ")");
}

TEST(DeviceAccess, HoldersFromAProcTree) {
  TempDir Dir;
  WriteFile(Dir.File("ttyUSB0"), "");
  const std::string Node = fs::canonical(Dir.File("ttyUSB0")).string();
  const std::string Proc = Dir.File("proc");
  struct Process {
    const char* Pid;
    const char* Comm;
    std::vector<std::string> Fds;
  };
  for (const Process& P : {Process{"1", "systemd\n", {"/dev/null"}}, Process{"812", "ModemManager\n", {"/dev/null", Node}},
                           Process{"77", "minicom\n", {Node, Node}}, Process{"900", "quill\n", {Node}},
                           Process{"self", "x\n", {Node}}}) {
    const std::string D = Proc + "/" + P.Pid;
    fs::create_directories(D + "/fd");
    WriteFile(D + "/comm", P.Comm);
    for (size_t I = 0; I < P.Fds.size(); ++I) fs::create_symlink(P.Fds[I], D + "/fd/" + std::to_string(I + 3));
  }
  fs::create_directories(Proc + "/1234");  // descriptors not readable: not seen
  const std::vector<TDeviceHolder> Expected = {{77, "minicom"}, {812, "ModemManager"}};
  EXPECT_EQ(FindDeviceHolders(Proc, Node, 900), Expected) << "in pid order, once each, without ourselves";
  // Through a link to the node, the same.
  fs::create_symlink(Node, Dir.File("by-id"));
  EXPECT_EQ(FindDeviceHolders(Proc, Dir.File("by-id"), 900), Expected);
  EXPECT_TRUE(FindDeviceHolders(Dir.File("nowhere"), Node, 900).empty());
}

// What stands at a path that would not open as a serial port, said in words in place of the
// port layer's bare "does not exist".
TEST(DeviceAccess, WhatStandsAtAnUnusablePathIsSaidInWords) {
  TempDir Dir;
  WriteFile(Dir.File("plain"), "x");
  ASSERT_EQ(::mkfifo(Dir.File("fifo").c_str(), 0600), 0);
  ASSERT_EQ(::symlink(Dir.File("gone").c_str(), Dir.File("dangling").c_str()), 0);
  // A terminal whose other side has not been unlocked yet: it exists but will not open.
  const TPtyMaster Locked(0, /*Locked=*/true);
  ASSERT_FALSE(Locked.Path.empty());
  const std::string LockedPath = Locked.Path;
  const struct {
    std::string Path, Expected;
  } Cases[] = {
      {Dir.File("missing"), Dir.File("missing") + " is not there"},
      {Dir.File("dangling"), Dir.File("dangling") + " leads to " + Dir.File("gone") + ", which is not there"},
      {Dir.File("plain"), Dir.File("plain") + " is not a serial device (a regular file)"},
      {Dir.File("fifo"), Dir.File("fifo") + " is not a serial device (a named pipe)"},
      {Dir.Path(), Dir.Path() + " is not a serial device (a folder)"},
      {"/dev/null", "/dev/null is not a serial device"},
      {LockedPath, LockedPath + " is a terminal that is not ready yet"},
  };
  for (const auto& C : Cases) EXPECT_EQ(DescribeUnusableDevice(C.Path), C.Expected);
}
