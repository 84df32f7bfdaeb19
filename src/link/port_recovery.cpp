#include "link/port_recovery.h"

#include <cerrno>
#include <cstring>
#include <iterator>

#include "platform/text_util.h"
#include "platform/translations.h"

namespace {

std::string Com(int N) { return "COM" + std::to_string(N); }

}  // namespace

TPortRecovery::TPortRecovery(std::unique_ptr<TDeviceWatch> Watch, THooks Hooks)
    : FWatch(std::move(Watch)), FHooks(std::move(Hooks)) {
  FWatch->OnChange = [this] { Check(); };
}

TPortRecovery::~TPortRecovery() {
  *FAlive = false;
  FWatch->OnChange = nullptr;
  FWatch->Stop();
}

TReturnRule TPortRecovery::RuleFor(const TDeviceIdentity& Identity, const TDevicePathFacts& Path) {
  if (Identity.Known()) return TReturnRule::ByIdentity;
  if (!Path.PseudoTerminal) return TReturnRule::ByPath;
  return Path.Link ? TReturnRule::ByLinkMadeAgain : TReturnRule::Never;
}

TDevicePathFacts TPortRecovery::Facts(const std::string& Path) const {
  if (Path.empty()) return {};
  return FHooks.PathFacts ? FHooks.PathFacts(Path) : LookAtDevicePath(Path);
}

void TPortRecovery::Opened(int ComNumber) {
  FOpenedNumber = ComNumber;
  FOpened = FHooks.Identity ? FHooks.Identity(ComNumber) : TDeviceIdentity{};
  FOpenedPath = Facts(FHooks.DevicePath ? FHooks.DevicePath(ComNumber) : std::string());
}

void TPortRecovery::Lost(int ComNumber) {
  Cancel();
  const std::string Path = FHooks.DevicePath ? FHooks.DevicePath(ComNumber) : std::string();
  const bool Known = ComNumber == FOpenedNumber;
  FIdentity = Known ? FOpened : TDeviceIdentity{};
  FPathAtOpen = Known ? FOpenedPath : Facts(Path);
  const std::string Port = Com(ComNumber);
  if (Path.empty()) {
    FHooks.Report(Filled(TrText("Recovery", "%1 names no device: it is not reopened by itself"), {Port}));
    return;
  }
  if (RuleFor(FIdentity, FPathAtOpen) == TReturnRule::Never) {
    FHooks.Report(Filled(TrText("Recovery", "%1 (%2) is a pseudo-terminal's number, which goes to the next "
                                            "terminal any program opens: it is not reopened by itself (a link "
                                            "made anew for each new terminal is followed)"),
                         {Port, Path}));
    return;
  }
  if (!FWatch->Watch(Path)) {
    const std::string Why = std::strerror(errno);
    //: %2 is the system's reason.
    FHooks.Report(Filled(TrText("Recovery", "Cannot watch for %1 to come back: %2"), {Path, Why}));
    return;
  }
  FComNumber = ComNumber;
  FPath = Path;
  FFailureReported = false;
  FStaleLinkReported = false;
  FRetries = 0;
  FRetryPending = false;
  ++FLoss;
  FHooks.Report(Filled(TrText("Recovery", "Waiting for %1 (%2) to come back"), {Port, Path}));
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
  FRetryPending = false;
}

int TPortRecovery::Returned() {
  const bool There = FHooks.Present(FComNumber);
  switch (RuleFor(FIdentity, FPathAtOpen)) {
    case TReturnRule::Never:
      return 0;
    case TReturnRule::ByPath:
      return There ? FComNumber : 0;
    case TReturnRule::ByLinkMadeAgain: {
      if (!There) return 0;
      if (!Facts(FPath).SameLinkAs(FPathAtOpen)) return FComNumber;
      // The old link leads to a terminal again: another program's, which took the number.
      if (!FStaleLinkReported) {
        FStaleLinkReported = true;
        FHooks.Report(Filled(TrText("Recovery", "%1 (%2) still leads where it did before the loss, to a terminal "
                                                "that may be another program's: waiting for the link to be made anew"),
                             {Com(FComNumber), FPath}));
      }
      return 0;
    }
    case TReturnRule::ByIdentity:
      break;
  }
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
  const TReopenOutcome Outcome = FHooks.Reopen(N);
  // Reopening handles messages: a cancel or a new loss meanwhile is the newer word.
  if (FComNumber != Lost || FLoss != Loss) return;
  const std::string Port = Com(Lost), Now = Com(N);
  if (Outcome.Reason.empty()) {
    Cancel();
    if (N == Lost) {
      FHooks.Report(Filled(TrText("Recovery", "%1 is back (%2): reopened"), {Port, Path}));
    } else {
      //: %2 is the number the same adapter has now.
      FHooks.Report(Filled(TrText("Recovery", "%1's adapter is back as %2: reopened"), {Port, Now}));
    }
    return;
  }
  // Opened a moment too early: no further change may come to say it is ready, so look again.
  if (Outcome.MayPass && FRetries < std::size(RetryMs)) {
    if (FRetryPending) return;
    FRetryPending = true;
    std::weak_ptr<bool> Alive = FAlive;
    FHooks.Later(RetryMs[FRetries++], [this, Alive, Loss] {
      if (Alive.expired() || Loss != FLoss || !FRetryPending) return;
      FRetryPending = false;
      Check();
    });
    return;
  }
  FRetries = 0;  // a later change starts a series of its own
  if (FFailureReported) return;
  FFailureReported = true;
  //: %2 is why it cannot be opened.
  FHooks.Report(Filled(TrText("Recovery", "%1 is back but cannot be opened: %2"), {Now, Outcome.Reason}));
}
