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

void TPortRecovery::Opened(int ComNumber) {
  FOpenedNumber = ComNumber;
  FOpened = FHooks.Identity ? FHooks.Identity(ComNumber) : TDeviceIdentity{};
}

void TPortRecovery::Lost(int ComNumber) {
  Cancel();
  FIdentity = ComNumber == FOpenedNumber ? FOpened : TDeviceIdentity{};
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

int TPortRecovery::Returned() const {
  const bool There = FHooks.Present(FComNumber);
  if (!FIdentity.Known()) return There ? FComNumber : 0;
  if (There && FHooks.Identity(FComNumber) == FIdentity) return FComNumber;
  int Found = 0;
  for (const int N : FHooks.Ports ? FHooks.Ports() : std::vector<int>{}) {
    if (N == FComNumber || !(FHooks.Identity(N) == FIdentity)) continue;
    if (Found != 0) return 0;  // two adapters alike: which one was ours cannot be told
    Found = N;
  }
  return Found;
}

void TPortRecovery::Check() {
  // A change reported while a reopen handles messages waits for the reopen's outcome.
  if (FChecking || FComNumber == 0) return;
  const int N = Returned();
  if (N == 0) return;
  FChecking = true;
  const ScopeExit Done([this] { FChecking = false; });
  const int Lost = FComNumber;
  const unsigned Loss = FLoss;
  const std::string Path = FPath;
  const std::string Reason = FHooks.Reopen(N);
  // Reopening handles messages: a cancel or a new loss meanwhile is the newer word.
  if (FComNumber != Lost || FLoss != Loss) return;
  const std::string Port = "COM" + std::to_string(Lost);
  const std::string Now = N == Lost ? Port : "COM" + std::to_string(N);
  if (Reason.empty()) {
    Cancel();
    FHooks.Report(N == Lost ? Port + " is back (" + Path + "): reopened"
                            : Port + "'s adapter is back as " + Now + ": reopened");
    return;
  }
  if (FFailureReported) return;
  FFailureReported = true;
  FHooks.Report(Now + " is back but cannot be opened: " + Reason);
}
