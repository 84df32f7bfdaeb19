#pragma once
// Bringing a lost serial port back by itself (the opt-in [Comm] Reconnect=1): after the device
// behind COMn vanished and the link was torn down as usual, watch for the same device path
// (a stable link such as /dev/serial/by-id/usb-…, or the node itself) to lead to a device
// again, and reopen COMn then. The link tests bring the link back from there.
//
// A USB adapter is known by its identity (vendor, product, serial number), remembered when the
// port opens: back under the same path it must be the same adapter (another one plugged in
// there is not reopened), and back under another node (ttyUSB1 for ttyUSB0) it is reopened
// under the COM number that node has now, when no other adapter alike is there to mistake it
// for. Ports with no identity (built-in ports, pseudo-terminals) come back by their path.
//
// No polling: a check runs when the watch reports a change, and once shortly after the loss
// (the device may be back before the watch starts). A device that is back but cannot be opened
// (held by another program, no permission) is reported once per loss; the next change tries
// again.
//
// Threads: GUI thread only. The OS side is the TDeviceWatch seam; the rest reaches the program
// through the hooks, so tests drive it with a scripted watch.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/device_watch.h"

struct TDeviceIdentity {
  std::string VendorId;
  std::string ProductId;
  std::string Serial;
  bool Known() const { return !VendorId.empty() && !ProductId.empty(); }
  bool operator==(const TDeviceIdentity&) const = default;
};

class TPortRecovery {
 public:
  struct THooks {
    std::function<std::string(int ComNumber)> DevicePath;  // "" when COMn names no device
    std::function<bool(int ComNumber)> Present;            // COMn leads to a device now
    std::function<std::string(int ComNumber)> Reopen;      // "" when open, else the reason
    // The identity of the device COMn leads to now (none for a port that is not USB or not
    // there), and the COM numbers that lead to a device now.
    std::function<TDeviceIdentity(int ComNumber)> Identity;
    std::function<std::vector<int>()> Ports;
    std::function<void(const std::string& Line)> Report;   // a line for the user's log
    // Runs Action once, about Ms milliseconds later, on the GUI thread.
    std::function<void(int Ms, std::function<void()> Action)> Later;
  };
  static constexpr int FirstLookMs = 500;

  TPortRecovery(std::unique_ptr<TDeviceWatch> Watch, THooks Hooks);
  ~TPortRecovery();
  TPortRecovery(const TPortRecovery&) = delete;
  TPortRecovery& operator=(const TPortRecovery&) = delete;

  // COMn was opened: its device's identity is what a loss waits for.
  void Opened(int ComNumber);
  // COMn was lost: start waiting for it.
  void Lost(int ComNumber);
  // The user chose a port or a mode: stop waiting.
  void Cancel();
  bool Waiting() const { return FComNumber != 0; }
  int ComNumber() const { return FComNumber; }

 private:
  void Check();
  // The COM number the lost device answers to now; 0 while it is not back.
  int Returned() const;

  std::unique_ptr<TDeviceWatch> FWatch;
  THooks FHooks;
  int FComNumber = 0;
  std::string FPath;
  int FOpenedNumber = 0;  // the port whose identity is in FOpened
  TDeviceIdentity FOpened;
  TDeviceIdentity FIdentity;  // of the device waited for
  bool FFailureReported = false;
  bool FChecking = false;
  unsigned FLoss = 0;  // tells a late first look of an earlier loss from the current one
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};
