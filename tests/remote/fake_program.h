#pragma once
// A recording stand-in for the program behind the session bus service: the state it reports,
// the calls that reach it in order, and refusals or busy reasons set by the test. GUI thread
// only, like the program.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "remote/remote_service.h"

class FakeProgram : public TRemoteControl {
 public:
  FakeProgram() {
    S.LinkState = "Connected";
    S.Mode = "LAN";
    S.Port = "127.0.0.1:5495";
    S.FollowedRadio = 1;
    for (int N = 1; N <= 8; ++N) S.AntennaNames[size_t(N - 1)] = "Antenna " + std::to_string(N);
  }
  TRemoteState State() const override { return S; }
  std::string CannotSend() const override { return NoSend; }
  std::string Busy() const override { return BusyWhy; }
  std::string ClickAntenna(int Antenna) override { return Click("antenna " + std::to_string(Antenna)); }
  std::string ClickAuto() override { return Click("auto"); }
  void ChooseRadio(int Radio) override {
    Calls.push_back("radio " + std::to_string(Radio));
    S.FollowedRadio = Radio;
  }
  void ShowWindow() override { Calls.push_back("show"); }
  // The device's status report for Radio arrives.
  void Report(int Radio) {
    ++S.Radios[size_t(Radio - 1)].Reports;
    Changed();
  }
  void Changed() {
    if (OnChanged) OnChanged();
  }

  TRemoteState S;
  std::string NoSend, BusyWhy, ClickError;
  std::vector<std::string> Calls;
  std::function<void()> DuringClick;  // runs inside the next click

 private:
  std::string Click(const std::string& What) {
    Calls.push_back(What);
    // Once: the next click is an ordinary one.
    if (auto During = std::exchange(DuringClick, nullptr)) During();
    return ClickError;
  }
};
