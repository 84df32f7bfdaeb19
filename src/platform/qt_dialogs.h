#pragma once
#include "dialogs.h"

// Dialogs drawn with Qt widgets; installed by the program at start-up.
class QtDialogs : public Dialogs {
 public:
  void ErrorBox(const std::string& Text) override;
  std::string InputBox(const std::string& Caption, const std::string& Prompt,
                       const std::string& Default) override;
};
