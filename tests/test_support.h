#pragma once
// Helpers shared by the tests: waiting on a condition while the loop runs, temporary folders.

#include <functional>
#include <string>

// Runs the GUI loop until Done() is true or the deadline passes; returns Done().
bool WaitFor(const std::function<bool()>& Done, int TimeoutMs = 10000);

// A fresh folder removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return FPath; }
  std::string File(const std::string& Name) const { return FPath + "/" + Name; }

 private:
  std::string FPath;
};

std::string ReadFile(const std::string& Path);
void WriteFile(const std::string& Path, const std::string& Text);

// Where a test saves a picture of what it drew: the build tree's screenshots folder.
std::string ScreenshotPath(const std::string& Name);
