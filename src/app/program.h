#pragma once
// Program start-up: options, the settings file in use, the windows in their fixed order, and
// the message loop.

#include <functional>
#include <memory>
#include <string>

class QIcon;
class TQuillMain;
class TGetComPorts;
class TCommControl;
class TCommLink;

// The three windows, created in their fixed order: the main window first (it loads its
// settings and sets the device address), then the hidden discovery window, then the
// Communications window, whose creation already sends action codes to the main window and
// whose timer reads the discovery list.
class TProgram {
 public:
  // Every window keeps its settings in SettingsFile. BeforeCreate, when given, runs once the
  // windows exist and before the Communications window's creation step (which may open the
  // port and show a box); when it returns false that step is skipped: the program is about to
  // be dropped unseen.
  explicit TProgram(const std::string& SettingsFile, const std::function<bool(TProgram&)>& BeforeCreate = {});
  ~TProgram();
  TProgram(const TProgram&) = delete;
  TProgram& operator=(const TProgram&) = delete;

  std::unique_ptr<TQuillMain> QuillMain;
  std::unique_ptr<TGetComPorts> GetComPorts;
  std::unique_ptr<TCommControl> CommControl;
  // Called after the Communications window has set its port up, switched or torn it down.
  std::function<void()> OnLinkChanged;

 private:
  std::unique_ptr<TCommLink> FLink;
};

// The program's icon at every size rendered into the program (resource folder ":/icons").
QIcon ProgramIcon();

// Names the application (name, version, desktop entry) and gives every window the program's
// icon. Once at start-up, on the GUI thread, after the QApplication exists.
void SetUpApplication();

// What start-up says, in place of "no display found", when a Wayland display runs and no X
// display answers but the toolkit lacks its Wayland plugin (the package qt6-wayland); empty
// in any other case (WaylandDisplay empty: the default, wayland-0).
std::string WaylandPluginAdvice(const std::string& WaylandDisplay, bool XAnswers, bool WaylandAnswers,
                                bool PluginInstalled);

// Runs the program; returns its exit code. What it says to a person (help, errors, windows) is
// in the language the settings file's [Main] Language names, else in the locale's.
int RunProgram(int argc, char** argv);

// Large blocks (the terminal's input queue and the batch it works on, bursts from the device)
// go back to the system when freed instead of staying in the heap: without this the allocator
// raises its threshold after the first such free, and a long flood leaves resident memory at
// its worst moment's level. Once at start-up, before other threads start.
void GiveLargeBlocksBack();
