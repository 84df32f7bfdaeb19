// The system's device watch on real pseudo-terminals: a stable link in a temporary folder
// that loses its device and comes back pointing at another terminal, as a udev link does when
// an adapter resets and returns under another number.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/device_watch.h"
#include "platform/serial_device_map.h"
#include "pseudo_terminal.h"
#include "test_support.h"

namespace {

using TPty = TPtyMaster;

void PointLink(const std::string& Link, const std::string& Target) {
  const std::string Tmp = Link + ".new";
  ::unlink(Tmp.c_str());
  ASSERT_EQ(::symlink(Target.c_str(), Tmp.c_str()), 0);
  ASSERT_EQ(std::rename(Tmp.c_str(), Link.c_str()), 0);
}

TEST(DeviceWatch, FollowsALinkThroughItsDeviceGoingAndComingBackElsewhere) {
  TempDir Dir;
  auto First = std::make_unique<TPty>();
  ASSERT_FALSE(First->Path.empty());
  const std::string Link = Dir.File("ttyQuill");
  PointLink(Link, First->Path);
  TSerialMapSources Sources;
  Sources.EnvironmentMap = "COM5=" + Link;
  const TSerialDeviceMap Map(Sources);
  ASSERT_TRUE(Map.Exists(5));

  auto Watch = SystemDeviceWatch();
  int Changes = 0;
  Watch->OnChange = [&] { ++Changes; };
  ASSERT_TRUE(Watch->Watch(Link));

  // The terminal goes (its node leaves /dev/pts): seen through the link's target folder.
  First->Close();
  ASSERT_TRUE(WaitFor([&] { return Changes > 0; }));
  EXPECT_FALSE(Map.Exists(5));

  // A new terminal appears and the link is pointed at it.
  TPty Second;
  ASSERT_FALSE(Second.Path.empty());
  Changes = 0;
  PointLink(Link, Second.Path);
  ASSERT_TRUE(WaitFor([&] { return Changes > 0; }));
  EXPECT_TRUE(Map.Exists(5));

  // The link removed and made again: both seen; after Stop nothing more.
  Changes = 0;
  ::unlink(Link.c_str());
  ASSERT_TRUE(WaitFor([&] { return Changes > 0; }));
  Watch->Stop();
  Changes = 0;
  PointLink(Link, Second.Path);
  EXPECT_FALSE(WaitFor([&] { return Changes > 0; }, 300));
}

TEST(DeviceWatch, AFolderThatDoesNotExistYetIsWatchedFromAbove) {
  TempDir Dir;
  const std::string Link = Dir.File("by-id/usb-A5");  // the folder comes with the first adapter
  auto Watch = SystemDeviceWatch();
  int Changes = 0;
  Watch->OnChange = [&] { ++Changes; };
  ASSERT_TRUE(Watch->Watch(Link));
  ASSERT_EQ(::mkdir(Dir.File("by-id").c_str(), 0755), 0);
  ASSERT_TRUE(WaitFor([&] { return Changes > 0; }));
  // Now the new folder itself is watched.
  TPty Pty;
  Changes = 0;
  PointLink(Link, Pty.Path);
  ASSERT_TRUE(WaitFor([&] { return Changes > 0; }));
}

int OpenDescriptors() {
  int N = 0;
  for ([[maybe_unused]] const auto& E : std::filesystem::directory_iterator("/proc/self/fd")) ++N;
  return N;
}

// No udev daemon need run for the monitor's socket to open; what it would hear cannot be made
// here without one, but the socket must not outlive the watch, stopped or destroyed.
TEST(DeviceWatch, TheUdevMonitorClosesItsSocketWhenStoppedOrDestroyed) {
  EXPECT_TRUE(UseUdevFor("/dev/ttyUSB0"));
  EXPECT_TRUE(UseUdevFor("/dev/serial/by-id/usb-FTDI_A5-if00-port0"));
  EXPECT_FALSE(UseUdevFor("/dev/pts/3"));  // pseudo-terminals are never announced
  EXPECT_FALSE(UseUdevFor("/tmp/links/com5"));
  const int Before = OpenDescriptors();
  auto Watch = UdevDeviceWatch();
  if (!Watch->Watch("/dev/ttyUSB0")) GTEST_SKIP() << "no netlink socket for udev's monitor here";
  EXPECT_GT(OpenDescriptors(), Before);
  Watch->Stop();
  EXPECT_EQ(OpenDescriptors(), Before);
  ASSERT_TRUE(Watch->Watch("/dev/ttyUSB1"));
  ASSERT_TRUE(Watch->Watch("/dev/ttyUSB1"));  // a second watch replaces the first
  Watch.reset();
  EXPECT_EQ(OpenDescriptors(), Before);
}

}  // namespace
