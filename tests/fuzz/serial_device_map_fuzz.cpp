// The COM map against any settings file and any QUILL_COM_MAP text, over a small fixed device
// tree: every port listed has a number in range, the name that goes with it, a device that
// exists, and is the device DevicePath gives for its number; names parse only in their one form.

#include <set>
#include <string>

#include "fuzz_files.h"
#include "fuzz_support.h"
#include "platform/serial_device_map.h"

namespace {

struct TTree {
  TFuzzFolder Folder;
  TSerialMapSources Sources;
  TTree() {
    namespace fs = std::filesystem;
    Sources.SysRoot = Folder.File("sys");
    Sources.DevRoot = Folder.File("dev");
    for (const char* Tty : {"ttyS0", "ttyS1", "ttyUSB0", "ttyACM3", "ttyS99", "tty0"}) {
      fs::create_directories(Sources.SysRoot + "/class/tty/" + Tty + "/device");
      PutFile(Sources.DevRoot + "/" + Tty, "");
    }
    PutFile(Sources.SysRoot + "/class/tty/ttyS1/type", "0\n");  // an unused slot
    fs::create_directories(Sources.DevRoot + "/pts");
    PutFile(Sources.DevRoot + "/pts/3", "");
    Sources.SettingsFile = Folder.File("quill.ini");
  }
};

bool Digits(const std::string& S) {
  return !S.empty() && S.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Bytes, std::size_t Size) {
  static TTree Tree;
  TFuzzInput In(Bytes, Size);
  const std::string Name = In.Text(16);
  const std::string Settings = In.Text(200);
  TSerialMapSources S = Tree.Sources;
  S.EnvironmentMap = In.Rest();
  PutFile(S.SettingsFile, Settings);

  if (const int N = ParseComName(Name)) {
    FUZZ_CHECK(N >= 1 && N <= MaxComNumber, Name);
    FUZZ_CHECK(Name.size() > 3 && Digits(Name.substr(3)) && std::stoi(Name.substr(3)) == N, Name);
  }
  if (const int N = ConventionComNumber(Name)) {
    FUZZ_CHECK(N >= 1 && N <= 96, Name);
    const std::string Unit = std::to_string(N <= 32 ? N - 1 : N <= 64 ? N - 33 : N - 65);
    const char* Prefix = N <= 32 ? "ttyS" : N <= 64 ? "ttyUSB" : "ttyACM";
    FUZZ_CHECK(Name == Prefix + Unit, Name);
  }

  const TSerialDeviceMap Map(S);
  std::set<int> Numbers;
  for (const auto& E : Map.Entries()) {
    FUZZ_CHECK(E.ComNumber >= 1 && E.ComNumber <= MaxComNumber, E.PortName);
    FUZZ_CHECK(Numbers.insert(E.ComNumber).second, E.PortName);  // each number once
    FUZZ_CHECK(E.PortName == "COM" + std::to_string(E.ComNumber), E.PortName);
    FUZZ_CHECK(E.ValueName.rfind("\\Device\\", 0) == 0, E.ValueName);
    FUZZ_CHECK(std::filesystem::exists(E.Path), E.Path);
    FUZZ_CHECK(Map.DevicePath(E.ComNumber) == E.Path, E.Path);
  }
  return 0;
}
