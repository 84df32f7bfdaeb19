#include "link/port_recovery.h"

#include <cerrno>
#include <cstring>

#include "platform/text_util.h"

TPortRecovery::TPortRecovery(std::unique_ptr<TDeviceWatch> Watch, THooks Hooks)
    : FWatch(std::move(Watch)), FHooks(std::move(Hooks)) {
  FWatch->OnChange = [this] { Check(); };
}

TPortRecovery::~TPortRecovery() {
  *FAlive = false;
  FWatch->OnChange = nullptr;
  FWatch->Stop();
}

void TPortRecovery::Lost(int ComNumber) {
  Cancel();
  const std::string Path = FHooks.DevicePath ? FHooks.DevicePath(ComNumber) : std::string();
  const std::string Port = "COM" + std::to_string(ComNumber);
  if (Path.empty()) {
    FHooks.Report(Port + " names no device: it is not reopened by itself");
    return;
  }
  if (!FWatch->Watch(Path)) {
    FHooks.Report("Cannot watch for " + Path + " to come back: " + std::strerror(errno));
    return;
  }
  FComNumber = ComNumber;
  FPath = Path;
  FFailureReported = false;
  ++FLoss;
  FHooks.Report("Waiting for " + Port + " (" + Path + ") to come back");
  // It may already be back (a link pointed at a new node before the loss was noticed): one
  // look a moment later, which a device that is still going away has time to leave.
  const unsigned Loss = FLoss;
  std::weak_ptr<bool> Alive = FAlive;
  FHooks.Later(FirstLookMs, [this, Alive, Loss] {
    if (Alive.expired() || Loss != FLoss) return;
    Check();
  });
}

void TPortRecovery::Cancel() {
  FWatch->Stop();
  FComNumber = 0;
  FPath.clear();
}

void TPortRecovery::Check() {
  // A change reported while a reopen handles messages waits for the reopen's outcome.
  if (FChecking || FComNumber == 0 || !FHooks.Present(FComNumber)) return;
  FChecking = true;
  const ScopeExit Done([this] { FChecking = false; });
  const int N = FComNumber;
  const unsigned Loss = FLoss;
  const std::string Path = FPath;
  const std::string Reason = FHooks.Reopen(N);
  // Reopening handles messages: a cancel or a new loss meanwhile is the newer word.
  if (FComNumber != N || FLoss != Loss) return;
  if (Reason.empty()) {
    Cancel();
    FHooks.Report("COM" + std::to_string(N) + " is back (" + Path + "): reopened");
    return;
  }
  if (FFailureReported) return;
  FFailureReported = true;
  FHooks.Report("COM" + std::to_string(N) + " is back but cannot be opened: " + Reason);
}
