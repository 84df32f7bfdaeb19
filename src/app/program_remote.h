#pragma once
// The program as the session bus service sees it (TRemoteControl over the windows), and the
// start-up steps around it: claiming the bus name of the settings file, or handing over to
// the instance that holds it. GUI thread only.

#include <array>
#include <functional>
#include <string>

#include "defs/defines_u.h"
#include "remote/remote_control.h"

class TProgram;

class TProgramRemote : public TRemoteControl {
 public:
  // Watches Program's windows from now on (their change hooks) until destroyed.
  explicit TProgramRemote(TProgram& Program);
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

 private:
  void Record(const TNetPacket& Packet);
  void Notify();

  TProgram& FProgram;
  std::array<TRemoteRadio, 2> FRadios;
  bool FClosing = false;
};

// Runs Click as the window would, but the first error box it would show (or the error that
// would reach the default error handler) becomes the returned text instead of a box; empty
// when there was none. Input boxes still go to the user.
std::string CaptureErrorBoxes(const std::function<void()>& Click);

// What start-up found on the session bus for its settings file.
enum class TRemoteClaim {
  rcFree,     // no instance holds the name (claim it once the object is in place)
  rcClaimed,  // the name is ours
  rcTaken,    // another instance holds it
  rcOff,      // no session bus (Why says so): run without remote control
};
// The cheap look before the windows are built: is there a bus, and who holds the name?
TRemoteClaim LookForInstance(const std::string& BusName, std::string& Why);
// Takes the name once the object is published, so no client ever finds the name without the
// object. rcTaken when another instance started at the same moment and got it first.
TRemoteClaim ClaimRemoteName(const std::string& BusName, std::string& Why);

// Asks the instance holding BusName to show its window, waiting up to TimeoutMs for the
// answer; false when it did not answer.
bool ShowOtherInstance(const std::string& BusName, int TimeoutMs);
