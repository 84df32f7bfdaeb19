#pragma once
// A scratch folder for the targets that need files, made once per process and removed at its
// end. In /dev/shm when there is one: every settings write syncs its file, which is cheap there.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class TFuzzFolder {
 public:
  TFuzzFolder() {
    namespace fs = std::filesystem;
    std::error_code Ec;
    fs::path Base = fs::is_directory("/dev/shm", Ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string Pattern = (Base / "quill-fuzz-XXXXXX").string();
    if (!mkdtemp(Pattern.data())) std::abort();
    FPath = Pattern;
  }
  ~TFuzzFolder() {
    std::error_code Ec;
    std::filesystem::remove_all(FPath, Ec);
  }
  TFuzzFolder(const TFuzzFolder&) = delete;
  TFuzzFolder& operator=(const TFuzzFolder&) = delete;

  std::string File(const std::string& Name) const { return FPath + "/" + Name; }
  const std::string& Path() const { return FPath; }

 private:
  std::string FPath;
};

inline void PutFile(const std::string& Path, const std::string& Bytes) {
  std::ofstream(Path, std::ios::binary | std::ios::trunc) << Bytes;
}

inline std::string GetFile(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
}
