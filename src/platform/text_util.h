#pragma once
// Small text and scope helpers shared by every library. Thread-neutral: plain functions.

#include <string>
#include <utility>

// S without leading and trailing blanks (space, tab, CR, LF).
inline std::string Trim(const std::string& S) {
  const char* Blank = " \t\r\n";
  const auto First = S.find_first_not_of(Blank);
  if (First == std::string::npos) return {};
  return S.substr(First, S.find_last_not_of(Blank) - First + 1);
}

// Runs its action when the scope ends, however it ends.
template <class F>
class ScopeExit {
 public:
  explicit ScopeExit(F Action) : FAction(std::move(Action)) {}
  ~ScopeExit() { FAction(); }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

 private:
  F FAction;
};
