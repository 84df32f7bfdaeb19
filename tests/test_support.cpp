#include "test_support.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/messages.h"

bool WaitFor(const std::function<bool()>& Done, int TimeoutMs) {
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  while (!Done()) {
    if (std::chrono::steady_clock::now() >= Deadline) return Done();
    PumpSentMessages();
    // Runs the loop for a short slice: events are handled as they come, nothing spins.
    QEventLoop Slice;
    QTimer::singleShot(2, &Slice, &QEventLoop::quit);
    Slice.exec();
  }
  return true;
}

TempDir::TempDir() {
  std::string Pattern = (std::filesystem::temp_directory_path() / "quill-test-XXXXXX").string();
  if (!mkdtemp(Pattern.data())) std::abort();
  FPath = Pattern;
}

TempDir::~TempDir() {
  std::error_code Ec;
  std::filesystem::permissions(FPath, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, Ec);
  std::filesystem::remove_all(FPath, Ec);
}

std::string ReadFile(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  std::stringstream S;
  S << In.rdbuf();
  return S.str();
}

void WriteFile(const std::string& Path, const std::string& Text) {
  std::ofstream Out(Path, std::ios::binary);
  Out << Text;
}

std::string ScreenshotPath(const std::string& Name) {
  // Under the build tree, so parallel runs and other users never share a file.
  const char* Bin = std::getenv("QUILL_BIN_DIR");
  const std::filesystem::path Dir =
      std::filesystem::path(Bin && *Bin ? Bin : std::filesystem::temp_directory_path().string()) / ".." / "screenshots";
  std::error_code Ec;
  std::filesystem::create_directories(Dir, Ec);
  return (Dir / Name).lexically_normal().string();
}
