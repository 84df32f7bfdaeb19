#pragma once
#include "dialogs.h"

// Dialogs drawn with Qt widgets; installed by the program at start-up. GUI thread only.
class QtDialogs : public Dialogs {
 public:
  // Once the program is ending, boxes are no longer shown: errors go to standard error and
  // input boxes answer with their default, and any box already open is closed.
  static void SetEnding();

  // The window a box without a visible owner belongs to when none of the program's windows
  // is active (a parentless box lands wherever the window manager drops it). Not owned.
  static void SetMainWindow(QWidget* Window);
  // Pixels right and down from the box beneath, for a box shown while another is open, so a
  // second box (a lost device's "Communications failed" after its read error) leaves the
  // first one in view.
  static constexpr int StackOffset = 32;

  void ErrorBox(const std::string& Text) override;
  void ErrorBoxFor(QWidget* Owner, const std::string& Text) override;
  bool ErrorBoxOpen(const std::string& Text) const override;
  int CloseErrorBoxes(const std::vector<std::string>& Texts) override;
  std::string InputBox(const std::string& Caption, const std::string& Prompt,
                       const std::string& Default) override;
};
