#pragma once
// Help for a serial device that would not open: after the box's own first line, the device's
// path and what the user can do about it. Denied access: the group the node belongs to and
// the command that joins it, when the user is not in it. A busy device: the programs that
// hold it (name and pid), as far as /proc shows them.
//
// The OS facts come through TDeviceAccessFacts, so tests give their own; the system's are in
// device_access_linux.cpp. Any thread; nothing is cached.

#include <functional>
#include <string>
#include <vector>

struct TDeviceHolder {
  int Pid = 0;
  std::string Name;  // /proc/<pid>/comm
  bool operator==(const TDeviceHolder&) const = default;
};

struct TDeviceAccessFacts {
  // The group id of the node (through links); false when it cannot be examined.
  std::function<bool(const std::string& Path, unsigned& Gid)> NodeGroup;
  // The groups this process has now: its effective group and the supplementary ones.
  std::function<std::vector<unsigned>()> ProcessGroups;
  // The group's name; empty when the system knows none.
  std::function<std::string(unsigned Gid)> GroupName;
  // Whether the group database lists this user in the group (joined, but not in this login).
  std::function<bool(unsigned Gid)> ListedInGroup;
  // The processes with the node open, this one left out.
  std::function<std::vector<TDeviceHolder>(const std::string& Path)> Holders;
};

enum class TOpenFailure { Denied, Busy, Other };

// The lines that follow the box's first line, without a leading line break; empty for Other.
std::string DeviceAccessHelp(const std::string& Path, TOpenFailure Why, const TDeviceAccessFacts& Facts);

// The processes below ProcRoot (a /proc tree) that have Path's node open through one of their
// descriptors, ExceptPid left out; in pid order.
std::vector<TDeviceHolder> FindDeviceHolders(const std::string& ProcRoot, const std::string& Path, int ExceptPid);

// This system's facts.
TDeviceAccessFacts SystemDeviceAccessFacts();

// What stands at Path when it would not open as a serial port, in words, starting with the
// path: "/dev/pts/3 is not there", "/tmp/x is not a serial device (a regular file)",
// "/dev/ttyS4 is a terminal that is not ready yet" (it exists but would not open: a
// pseudo-terminal not yet unlocked, a slot with no hardware). Looks at the system now.
std::string DescribeUnusableDevice(const std::string& Path);
