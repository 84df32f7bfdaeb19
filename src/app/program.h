#pragma once
// Program start-up: options, the settings file in use, the windows in their fixed order, and
// the message loop.

#include <memory>
#include <string>

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
  // Every window keeps its settings in SettingsFile.
  explicit TProgram(const std::string& SettingsFile);
  ~TProgram();
  TProgram(const TProgram&) = delete;
  TProgram& operator=(const TProgram&) = delete;

  std::unique_ptr<TQuillMain> QuillMain;
  std::unique_ptr<TGetComPorts> GetComPorts;
  std::unique_ptr<TCommControl> CommControl;

 private:
  std::unique_ptr<TCommLink> FLink;
};

// Runs the program; returns its exit code.
int RunProgram(int argc, char** argv);
