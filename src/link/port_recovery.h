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
// for. A built-in port comes back by its path. A pseudo-terminal is no device: its number goes
// to the next terminal any program opens (a shell window, say), so it comes back only through a
// link made again after the loss (as a program serving a new terminal announces it); a bare
// /dev/pts/N, or a link still pointing where it did, is never reopened by itself. RuleFor is
// that rule, in one place.
//
// An open that comes too early (a terminal not yet unlocked, udev still setting the node's
// permissions, the node still held) fails with a reason that may pass, and no further change
// may come: it is tried again with a short back-off for a few seconds before it is reported.
//
// No polling: a check runs when the watch reports a change, and once shortly after the loss
// (the device may be back before the watch starts). A device that is back but cannot be opened
// (held by another program, no permission) is reported once per loss; the next change tries
// again.
//
// Threads: GUI thread only. The OS side is the TDeviceWatch seam; the rest reaches the program
// through the hooks, so tests drive it with a scripted watch.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/device_path.h"
#include "platform/device_watch.h"

struct TDeviceIdentity {
  std::string VendorId;
  std::string ProductId;
  std::string Serial;
  bool Known() const { return !VendorId.empty() && !ProductId.empty(); }
  bool operator==(const TDeviceIdentity&) const = default;
};

// What a reopen came to: Reason is empty when the port is open again; MayPass says the
// failure may go by itself in a moment (the node not ready, permissions being set, still held).
struct TReopenOutcome {
  std::string Reason;
  bool MayPass = false;
};

// How a lost port is recognised when something appears at its path again.
enum class TReturnRule {
  ByIdentity,       // a USB adapter: the same vendor, product and serial, under any number
  ByPath,           // a built-in port (or one that says nothing of itself): what is at its path
  ByLinkMadeAgain,  // a pseudo-terminal behind a link: only once the link has been made again
  Never,            // a bare pseudo-terminal number: the next holder is another program's
};

class TPortRecovery {
 public:
  struct THooks {
    std::function<std::string(int ComNumber)> DevicePath;  // "" when COMn names no device
    std::function<bool(int ComNumber)> Present;            // COMn leads to a device now
    std::function<TReopenOutcome(int ComNumber)> Reopen;
    // What the path is now (link, pseudo-terminal); LookAtDevicePath when not set.
    std::function<TDevicePathFacts(const std::string& Path)> PathFacts;
    // The identity of the device COMn leads to now (none for a port that is not USB or not
    // there), and the COM numbers that lead to a device now.
    std::function<TDeviceIdentity(int ComNumber)> Identity;
    std::function<std::vector<int>()> Ports;
    std::function<void(const std::string& Line)> Report;   // a line for the user's log
    // Runs Action once, about Ms milliseconds later, on the GUI thread.
    std::function<void(int Ms, std::function<void()> Action)> Later;
  };
  static constexpr int FirstLookMs = 500;
  // The waits before each further try of an open that may pass: about three seconds in all.
  static constexpr int RetryMs[] = {50, 100, 200, 400, 800, 1600};

  static TReturnRule RuleFor(const TDeviceIdentity& Identity, const TDevicePathFacts& Path);

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
  // A failed open is to be tried again shortly.
  bool RetryPending() const { return FRetryPending; }

 private:
  void Check();
  // The COM number the lost device answers to now; 0 while it is not back.
  int Returned();
  TDevicePathFacts Facts(const std::string& Path) const;

  std::unique_ptr<TDeviceWatch> FWatch;
  THooks FHooks;
  int FComNumber = 0;
  std::string FPath;
  int FOpenedNumber = 0;  // the port whose identity is in FOpened
  TDeviceIdentity FOpened;
  TDevicePathFacts FOpenedPath;  // its path, as it was when it opened
  TDeviceIdentity FIdentity;  // of the device waited for
  TDevicePathFacts FPathAtOpen;  // of the device waited for
  bool FFailureReported = false;
  bool FStaleLinkReported = false;
  std::size_t FRetries = 0;  // tries of the present series made
  bool FRetryPending = false;
  bool FChecking = false;
  unsigned FLoss = 0;  // tells a late first look of an earlier loss from the current one
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};
