#include "error_handler.h"

#include <cstdio>
#include <stdexcept>

#include "dialogs.h"
#include "messages.h"

std::string ExceptionText(std::exception_ptr Error) {
  try {
    if (Error) std::rethrow_exception(Error);
  } catch (const std::exception& E) {
    return E.what();
  } catch (...) {
  }
  return "Unknown error";
}

void HandleException(std::exception_ptr Error) noexcept {
  try {
    std::string Text = ExceptionText(Error);
    if (IsGuiThread()) {
      GetDialogs().ErrorBox(Text);
    } else {
      RunOnGuiThread([Text] { GetDialogs().ErrorBox(Text); });
    }
  } catch (...) {
    std::fputs("Unreportable error\n", stderr);
  }
}
