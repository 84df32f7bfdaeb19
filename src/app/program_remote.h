#pragma once
// The program as the session bus service sees it (TRemoteControl over the windows). The
// start-up steps around it (the look for a running controller, the claim of the name, the
// bus coming back) are TRemoteBus's (remote/remote_bus.h). GUI thread only.

#include <array>
#include <functional>
#include <string>

#include "defs/defines_u.h"
#include "remote/remote_control.h"

class TProgram;

class TProgramRemote : public TRemoteControl {
 public:
  // Watches Program's windows from now on (their change hooks) until destroyed. SettingsFile:
  // the file the program uses, as published (absolute, symbolic links kept).
  explicit TProgramRemote(TProgram& Program, std::string SettingsFile = {});
  ~TProgramRemote() override;
  TProgramRemote(const TProgramRemote&) = delete;
  TProgramRemote& operator=(const TProgramRemote&) = delete;

  TRemoteState State() const override;
  std::string CannotSend() const override;
  std::string Busy() const override;
  std::string ClickAntenna(int Antenna) override;
  std::string ClickAuto() override;
  void ChooseRadio(int Radio) override;
  void ShowWindow() override;

  // The main window has closed and the program is ending: nothing more is taken.
  void SetClosing() { FClosing = true; }
  // While the program starts (the windows exist, but their creation step, which may show a
  // box, has not ended) the state is readable and every click waits.
  void SetStarting(bool Starting) { FStarting = Starting; }

 private:
  void Record(const TNetPacket& Packet);
  void Notify();

  TProgram& FProgram;
  std::array<TRemoteRadio, 2> FRadios;
  std::string FSettingsFile;
  bool FClosing = false;
  bool FStarting = false;
};

// Runs Click as the window would, but the first error box it would show (or the error that
// would reach the default error handler) becomes the returned text instead of a box; empty
// when there was none. Input boxes still go to the user.
std::string CaptureErrorBoxes(const std::function<void()>& Click);
