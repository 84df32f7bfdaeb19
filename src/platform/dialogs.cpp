#include "dialogs.h"

#include <cstdio>
#include <mutex>

namespace {

class StderrDialogs : public Dialogs {
 public:
  void ErrorBox(const std::string& Text) override { std::fprintf(stderr, "Error: %s\n", Text.c_str()); }
  std::string InputBox(const std::string&, const std::string&, const std::string& Default) override {
    return Default;
  }
};

std::mutex Lock;
std::shared_ptr<Dialogs> Current;

}  // namespace

Dialogs& GetDialogs() {
  static StderrDialogs Fallback;
  std::lock_guard<std::mutex> Guard(Lock);
  return Current ? *Current : Fallback;
}

std::shared_ptr<Dialogs> SetDialogs(std::shared_ptr<Dialogs> D) {
  std::lock_guard<std::mutex> Guard(Lock);
  std::swap(Current, D);
  return D;
}
