#pragma once
// What the D-Bus service needs of the program: its state as the windows show it, and the
// clicks it may make. The program implements it over its windows (src/app/program_remote.h);
// tests use a recording fake. GUI thread only.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

// One radio, from the device's last status report for it.
struct TRemoteRadio {
  std::string Band;        // the band's name as the window shows it; empty for none
  bool Auto = false;
  int Antenna = 0;         // 1 to 8; 0 when unknown
  std::uint64_t Reports = 0;  // status reports seen for this radio (tells a fresh one)
  bool operator==(const TRemoteRadio&) const = default;
};

struct TRemoteState {
  // Values for programs to read: English whatever language the windows speak.
  std::string LinkState;   // the link indicator's state: "Connected" or "Disconnected"
  std::string Mode;        // "LAN", "COM/USB" or empty
  std::string Port;        // "address:port", "COM<n>" or empty
  int FollowedRadio = 0;   // 1 or 2; 0 when none is chosen
  std::array<TRemoteRadio, 2> Radios;
  std::array<std::string, 8> AntennaNames;  // UTF-8; a name nobody chose as the settings keep it
  std::string SettingsFile;  // the settings file in use: absolute, symbolic links kept
  bool operator==(const TRemoteState&) const = default;
};

class TRemoteControl {
 public:
  virtual ~TRemoteControl() = default;
  virtual TRemoteState State() const = 0;
  // Why no command can reach the device now ("No port is open"); empty when one can.
  virtual std::string CannotSend() const = 0;
  // Why the program cannot take a call at this moment (a message box waits for the user, the
  // last command has not left yet); empty when it can. Such a call waits its turn.
  virtual std::string Busy() const = 0;
  // The clicks. Each returns the text of the error box the click would have shown (the
  // first, when several), empty when none; no box is shown.
  virtual std::string ClickAntenna(int Antenna) = 0;
  virtual std::string ClickAuto() = 0;
  virtual void ChooseRadio(int Radio) = 0;
  virtual void ShowWindow() = 0;
  // Set by the service; the program calls it whenever State() or Busy() may have changed,
  // from where the windows are updated.
  std::function<void()> OnChanged;
};
