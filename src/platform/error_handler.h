#pragma once
// The program's default error handler: an error that escapes an event handler is shown to the
// user (an error box on the GUI thread) and the program goes on with the next event.

#include <exception>
#include <string>
#include <utility>

// The text the user sees for an exception.
std::string ExceptionText(std::exception_ptr Error);
// Shows the error; from a worker thread the text is handed to the GUI thread.
void HandleException(std::exception_ptr Error) noexcept;

// Every entry point that the Qt loop calls goes through this, so no exception crosses Qt.
template <class F>
void GuardedCall(F&& Fn) noexcept {
  try {
    std::forward<F>(Fn)();
  } catch (...) {
    HandleException(std::current_exception());
  }
}
