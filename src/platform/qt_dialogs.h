#pragma once
#include "dialogs.h"

// Dialogs drawn with Qt widgets; installed by the program at start-up.
class QtDialogs : public Dialogs {
 public:
  // Once the program is ending, boxes are no longer shown: errors go to standard error and
  // input boxes answer with their default, and any box already open is closed.
  static void SetEnding();

  void ErrorBox(const std::string& Text) override;
  std::string InputBox(const std::string& Caption, const std::string& Prompt,
                       const std::string& Default) override;
};
