#include "serial_device_map.h"

#include "platform/text_util.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>

#include "ini_file.h"

namespace fs = std::filesystem;

namespace {

std::mutex SettingsLock;
std::string SettingsFile;

struct TConvention {
  const char* Prefix;
  int Base;  // COM number of unit 0
};
constexpr TConvention Conventions[] = {{"ttyS", 1}, {"ttyUSB", 33}, {"ttyACM", 65}};
constexpr int UnitsPerKind = 32;

// Non-negative decimal number, or -1.
int SmallNumber(const std::string& Digits) {
  if (Digits.empty() || Digits.size() > 4) return -1;
  int N = 0;
  for (char C : Digits) {
    if (C < '0' || C > '9') return -1;
    N = N * 10 + (C - '0');
  }
  return N;
}

bool NodeExists(const std::string& Path) {
  struct stat St;
  return ::stat(Path.c_str(), &St) == 0;
}

std::string Absolute(const std::string& Path, const std::string& DevRoot) {
  if (!Path.empty() && Path[0] == '/') return Path;
  return DevRoot + "/" + Path;
}

// Same device node, through symbolic links and "..".
std::string Canonical(const std::string& Path) {
  std::error_code Ec;
  auto C = fs::weakly_canonical(Path, Ec);
  return Ec ? Path : C.string();
}

// The name shown after "\Device\": the path below DevRoot, or the whole path elsewhere.
std::string DeviceName(const std::string& Path, const std::string& DevRoot) {
  const std::string Prefix = DevRoot + "/";
  if (Path.compare(0, Prefix.size(), Prefix) == 0) return Path.substr(Prefix.size());
  return Path;
}

// COM number -> path, from the settings file and then the environment (which wins).
std::map<int, std::string> ExplicitMap(const TSerialMapSources& S) {
  std::map<int, std::string> Map;
  if (!S.SettingsFile.empty()) {
    TIniFile Ini(S.SettingsFile);
    for (const auto& Key : Ini.ReadSection(ComMapSection)) {
      const int N = ParseComName(Key);
      const std::string Path = Ini.ReadString(ComMapSection, Key, "");
      if (N > 0 && !Path.empty()) Map[N] = Absolute(Path, S.DevRoot);
    }
  }
  size_t Pos = 0;
  const std::string& Env = S.EnvironmentMap;
  while (Pos <= Env.size()) {
    size_t End = Env.find(';', Pos);
    if (End == std::string::npos) End = Env.size();
    const std::string Item = Env.substr(Pos, End - Pos);
    const auto Eq = Item.find('=');
    if (Eq != std::string::npos) {
      const int N = ParseComName(Trim(Item.substr(0, Eq)));
      const std::string Path = Trim(Item.substr(Eq + 1));
      if (N > 0 && !Path.empty()) Map[N] = Absolute(Path, S.DevRoot);
    }
    Pos = End + 1;
  }
  return Map;
}

std::string ReadLine(const std::string& Path) {
  std::ifstream In(Path);
  std::string Line;
  std::getline(In, Line);
  return Trim(Line);
}

}  // namespace

void SetSerialMapSettingsFile(std::string FileName) {
  std::lock_guard<std::mutex> Guard(SettingsLock);
  SettingsFile = std::move(FileName);
}

TSerialMapSources DefaultSerialMapSources() {
  TSerialMapSources S;
  {
    std::lock_guard<std::mutex> Guard(SettingsLock);
    S.SettingsFile = SettingsFile;
  }
  if (const char* Env = std::getenv(ComMapVariable)) S.EnvironmentMap = Env;
  return S;
}

int ConventionComNumber(const std::string& TtyName) {
  for (const auto& C : Conventions) {
    const std::string Prefix = C.Prefix;
    if (TtyName.size() <= Prefix.size() || TtyName.compare(0, Prefix.size(), Prefix) != 0) continue;
    const int Unit = SmallNumber(TtyName.substr(Prefix.size()));
    if (Unit < 0 || Unit >= UnitsPerKind) return 0;
    // "ttyS01" is not a kernel name; refuse it rather than alias ttyS1.
    if (std::to_string(Unit) != TtyName.substr(Prefix.size())) return 0;
    return C.Base + Unit;
  }
  return 0;
}

int ParseComName(const std::string& Text) {
  if (Text.size() < 4) return 0;
  auto Upper = [](char C) { return (C >= 'a' && C <= 'z') ? char(C - 'a' + 'A') : C; };
  if (Upper(Text[0]) != 'C' || Upper(Text[1]) != 'O' || Upper(Text[2]) != 'M') return 0;
  const int N = SmallNumber(Text.substr(3));
  return (N >= 1 && N <= MaxComNumber) ? N : 0;
}

TSerialDeviceMap::TSerialDeviceMap() = default;

TSerialDeviceMap::TSerialDeviceMap(TSerialMapSources Sources)
    : FUseDefaults(false), FSources(std::move(Sources)) {}

TSerialMapSources TSerialDeviceMap::Sources() const {
  return FUseDefaults ? DefaultSerialMapSources() : FSources;
}

std::vector<TSerialDeviceEntry> TSerialDeviceMap::Entries() const {
  const TSerialMapSources S = Sources();
  std::map<int, TSerialDeviceEntry> ByNumber;
  std::vector<std::string> Claimed;  // devices the explicit map has taken

  const auto Explicit = ExplicitMap(S);
  for (const auto& [N, Path] : Explicit) {
    Claimed.push_back(Canonical(Path));
    if (!NodeExists(Path)) continue;
    ByNumber[N] = {std::string("\\Device\\") + DeviceName(Path, S.DevRoot), "COM" + std::to_string(N), Path, N};
  }

  std::error_code Ec;
  const fs::path TtyClass = fs::path(S.SysRoot) / "class" / "tty";
  for (fs::directory_iterator It(TtyClass, Ec), End; !Ec && It != End; It.increment(Ec)) {
    const std::string Name = It->path().filename().string();
    const int N = ConventionComNumber(Name);
    if (N == 0 || Explicit.count(N)) continue;
    // Only ttys backed by a device; a serial driver's unused slots report type 0.
    std::error_code E2;
    if (!fs::exists(It->path() / "device", E2)) continue;
    if (fs::exists(It->path() / "type", E2) && ReadLine((It->path() / "type").string()) == "0") continue;
    const std::string Path = S.DevRoot + "/" + Name;
    if (!NodeExists(Path)) continue;
    if (std::find(Claimed.begin(), Claimed.end(), Canonical(Path)) != Claimed.end()) continue;
    ByNumber[N] = {"\\Device\\" + Name, "COM" + std::to_string(N), Path, N};
  }

  std::vector<TSerialDeviceEntry> Result;
  for (auto& [N, E] : ByNumber) Result.push_back(std::move(E));
  return Result;
}

bool TSerialDeviceMap::Exists(int ComNumber) const {
  const TSerialMapSources S = Sources();
  const auto Explicit = ExplicitMap(S);
  if (auto It = Explicit.find(ComNumber); It != Explicit.end()) return NodeExists(It->second);
  for (const auto& C : Conventions) {
    if (ComNumber < C.Base || ComNumber >= C.Base + UnitsPerKind) continue;
    const std::string Name = C.Prefix + std::to_string(ComNumber - C.Base);
    const fs::path Tty = fs::path(S.SysRoot) / "class" / "tty" / Name;
    std::error_code Ec;
    if (!fs::exists(Tty / "device", Ec)) return false;
    if (fs::exists(Tty / "type", Ec) && ReadLine((Tty / "type").string()) == "0") return false;
    const std::string Path = S.DevRoot + "/" + Name;
    if (!NodeExists(Path)) return false;
    for (const auto& [N, Claimed] : Explicit)
      if (Canonical(Claimed) == Canonical(Path)) return false;
    return true;
  }
  return false;
}

std::string TSerialDeviceMap::DevicePath(int ComNumber) const {
  const TSerialMapSources S = Sources();
  const auto Explicit = ExplicitMap(S);
  if (auto It = Explicit.find(ComNumber); It != Explicit.end()) return It->second;
  for (const auto& C : Conventions)
    if (ComNumber >= C.Base && ComNumber < C.Base + UnitsPerKind)
      return S.DevRoot + "/" + C.Prefix + std::to_string(ComNumber - C.Base);
  return {};
}
