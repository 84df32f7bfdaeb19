#pragma once
// Message boxes and input boxes, behind one service so tests can script the user's answers.

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QWidget;

// GUI thread only, as the boxes.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Modal error box: caption "Error", error icon, one OK button. It belongs to the window
  // active in the program, or else to the program's main window.
  virtual void ErrorBox(const std::string& Text) = 0;
  // The same box, belonging to Owner (the window it concerns) while Owner is shown.
  virtual void ErrorBoxFor(QWidget* Owner, const std::string& Text) {
    (void)Owner;
    ErrorBox(Text);
  }
  // Whether an error box with Text is open now, and closing those open with one of Texts (the
  // boxes of a condition that has passed by itself); returns how many were closed.
  virtual bool ErrorBoxOpen(const std::string& Text) const {
    (void)Text;
    return false;
  }
  virtual int CloseErrorBoxes(const std::vector<std::string>& Texts) {
    (void)Texts;
    return 0;
  }
  // Modal input box; returns Default unchanged when the user cancels.
  virtual std::string InputBox(const std::string& Caption, const std::string& Prompt,
                               const std::string& Default) = 0;
};

// The service in use; until one is installed, errors go to standard error and input boxes
// answer with their default.
Dialogs& GetDialogs();
// Installs D (nullptr restores the fallback); returns the one it replaced.
std::shared_ptr<Dialogs> SetDialogs(std::shared_ptr<Dialogs> D);

// A scripted user for tests: records every box, answers input boxes from a queue
// (std::nullopt or an empty queue means "Cancel").
class ScriptedDialogs : public Dialogs {
 public:
  struct InputRequest {
    std::string Caption, Prompt, Default;
  };
  void ErrorBox(const std::string& Text) override {
    Errors.push_back(Text);
    Owners.push_back(PendingOwner);
    PendingOwner = nullptr;
  }
  // Through ErrorBox, so a test's own ErrorBox sees every box.
  void ErrorBoxFor(QWidget* Owner, const std::string& Text) override {
    PendingOwner = Owner;
    ErrorBox(Text);
  }
  std::string InputBox(const std::string& Caption, const std::string& Prompt,
                       const std::string& Default) override {
    Inputs.push_back({Caption, Prompt, Default});
    if (Answers.empty()) return Default;
    auto Answer = Answers.front();
    Answers.pop_front();
    return Answer ? *Answer : Default;
  }
  std::vector<std::string> Errors;
  std::vector<QWidget*> Owners;  // each error box's owner, nullptr for none
  std::vector<InputRequest> Inputs;
  std::deque<std::optional<std::string>> Answers;

 private:
  QWidget* PendingOwner = nullptr;
};

// Installs a ScriptedDialogs (or a given one derived from it) for the life of a test scope.
class ScopedScriptedDialogs {
 public:
  explicit ScopedScriptedDialogs(std::shared_ptr<ScriptedDialogs> D = std::make_shared<ScriptedDialogs>())
      : Script(std::move(D)), Old(SetDialogs(Script)) {}
  ~ScopedScriptedDialogs() { SetDialogs(Old); }
  ScriptedDialogs* operator->() const { return Script.get(); }
  ScriptedDialogs& operator*() const { return *Script; }

 private:
  std::shared_ptr<ScriptedDialogs> Script;
  std::shared_ptr<Dialogs> Old;
};
