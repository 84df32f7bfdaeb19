#include "device_access.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/text_util.h"
#include "platform/translations.h"

namespace fs = std::filesystem;

namespace {

std::string Node(const std::string& Path) {
  std::error_code Ec;
  const auto C = fs::canonical(Path, Ec);
  return Ec ? Path : C.string();
}

std::string DeniedHelp(const std::string& Path, const TDeviceAccessFacts& F) {
  unsigned Gid = 0;
  if (!F.NodeGroup || !F.NodeGroup(Path, Gid)) return {};
  const std::string Name = F.GroupName ? F.GroupName(Gid) : std::string();
  // Joining root's group is no advice to give; nor is one for a group without a name.
  if (Gid == 0 || Name.empty()) return {};
  const auto Groups = F.ProcessGroups ? F.ProcessGroups() : std::vector<unsigned>{};
  if (std::find(Groups.begin(), Groups.end(), Gid) != Groups.end()) return {};
  if (F.ListedInGroup && F.ListedInGroup(Gid))
    return Filled(TrText("Devices", "You have been added to the group %1 since this login began: log out "
                                    "and in again so that it counts."),
                  {Name});
  //: The second line is a command to type: only "%1" in it changes.
  return Filled(TrText("Devices", "It belongs to the group %1, which you are not in. Join it with\n"
                                  "    sudo usermod -aG %1 $USER\n"
                                  "then log out and in again: a new login is needed for the group to count."),
                {Name});
}

std::string BusyHelp(const std::string& Path, const TDeviceAccessFacts& F) {
  const auto Holders = F.Holders ? F.Holders(Path) : std::vector<TDeviceHolder>{};
  if (Holders.empty())
    return TrText("Devices", "Another program holds it (one this user cannot see, or one that has let go since).");
  //: Between the programs that hold the device.
  const std::string Separator = TrText("Devices", ", ");
  std::string Names;
  bool Modem = false;
  for (const auto& H : Holders) {
    const std::string Name = H.Name.empty() ? TrText("Devices", "a program") : H.Name;
    //: A program that holds the device: its name and process id.
    Names += (Names.empty() ? "" : Separator) + Filled(TrText("Devices", "%1 (pid %2)"), {Name, std::to_string(H.Pid)});
    Modem = Modem || H.Name == "ModemManager";
  }
  std::string Text = Filled(TrText("Devices", "Held by %1."), {Names});
  // It probes every new USB serial device for a modem; a udev rule keeps it away from one.
  if (Modem)
    Text += "\n" + TrText("Devices", "ModemManager probes new USB serial devices and lets go after a while; to keep "
                                     "it away from this adapter, give it ENV{ID_MM_DEVICE_IGNORE}=\"1\" in a udev rule.");
  return Text;
}

}  // namespace

std::string DeviceAccessHelp(const std::string& Path, TOpenFailure Why, const TDeviceAccessFacts& Facts) {
  if (Why == TOpenFailure::Other || Path.empty()) return {};
  const std::string N = Node(Path);
  //: The device's path and the node it leads to.
  std::string Text = N == Path ? Filled(TrText("Devices", "Device: %1"), {Path})
                               : Filled(TrText("Devices", "Device: %1 (%2)"), {Path, N});
  const std::string Help = Why == TOpenFailure::Denied ? DeniedHelp(Path, Facts) : BusyHelp(Path, Facts);
  if (!Help.empty()) Text += "\n" + Help;
  return Text;
}

std::vector<TDeviceHolder> FindDeviceHolders(const std::string& ProcRoot, const std::string& Path, int ExceptPid) {
  const std::string Target = Node(Path);
  std::vector<TDeviceHolder> Found;
  std::error_code Ec;
  for (fs::directory_iterator It(ProcRoot, Ec), End; !Ec && It != End; It.increment(Ec)) {
    const std::string Name = It->path().filename().string();
    if (Name.empty() || Name.find_first_not_of("0123456789") != std::string::npos || Name.size() > 9) continue;
    const int Pid = std::stoi(Name);
    if (Pid == ExceptPid) continue;
    // Another user's descriptors cannot be read; such a process is simply not seen.
    std::error_code E2;
    for (fs::directory_iterator Fd(It->path() / "fd", E2), FdEnd; !E2 && Fd != FdEnd; Fd.increment(E2)) {
      std::error_code E3;
      const fs::path Link = fs::read_symlink(Fd->path(), E3);
      if (E3 || Link.string() != Target) continue;
      std::ifstream Comm(It->path() / "comm");
      std::string Command;
      std::getline(Comm, Command);
      Found.push_back({Pid, Trim(Command)});
      break;
    }
  }
  std::sort(Found.begin(), Found.end(), [](const TDeviceHolder& A, const TDeviceHolder& B) { return A.Pid < B.Pid; });
  return Found;
}
