// Waiting for a lost serial port to come back, driven by a scripted device watch: what is
// reopened when, and what the user's log is told.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "link/port_recovery.h"

namespace {

class TScriptedWatch : public TDeviceWatch {
 public:
  bool Watch(const std::string& Path) override {
    Watched = Path;
    return CanWatch;
  }
  void Stop() override { Watched.clear(); }
  void Change() {
    if (!Watched.empty() && OnChange) OnChange();
  }
  std::string Watched;
  bool CanWatch = true;
};

struct TRecoveryFixture {
  TRecoveryFixture() {
    auto W = std::make_unique<TScriptedWatch>();
    Watch = W.get();
    TPortRecovery::THooks H;
    H.DevicePath = [this](int N) { return N == 5 ? Path5 : std::string(); };
    H.PathFacts = [this](const std::string&) { return PathNow; };
    H.Present = [this](int) { return Present; };
    H.Reopen = [this](int N) {
      Reopened.push_back(N);
      return OpenResult;
    };
    H.Identity = [this](int N) { return Identities.count(N) ? Identities[N] : TDeviceIdentity{}; };
    H.Ports = [this] {
      std::vector<int> P;
      for (const auto& [N, Id] : Identities) P.push_back(N);
      return P;
    };
    H.Report = [this](const std::string& L) { Log.push_back(L); };
    H.Later = [this](int, std::function<void()> A) { Pending.push_back(std::move(A)); };
    Recovery = std::make_unique<TPortRecovery>(std::move(W), std::move(H));
  }
  void RunLater() {
    auto Now = std::move(Pending);
    Pending.clear();
    for (auto& A : Now) A();
  }
  TScriptedWatch* Watch = nullptr;
  std::string Path5 = "/dev/serial/by-id/usb-A5";
  TDevicePathFacts PathNow;  // what COM5's path is now
  bool Present = false;
  TReopenOutcome OpenResult;
  std::vector<int> Reopened;
  std::map<int, TDeviceIdentity> Identities;  // what each present port leads to now
  std::vector<std::string> Log;
  std::vector<std::function<void()>> Pending;
  std::unique_ptr<TPortRecovery> Recovery;
};

TEST(PortRecovery, ReopensWhenTheDeviceComesBackAndStopsWatching) {
  TRecoveryFixture F;
  F.Recovery->Lost(5);
  EXPECT_EQ(F.Watch->Watched, "/dev/serial/by-id/usb-A5");
  F.RunLater();  // still gone at the first look
  F.Watch->Change();  // something else changed in the folder
  EXPECT_TRUE(F.Reopened.empty());
  F.Present = true;
  F.Watch->Change();
  EXPECT_EQ(F.Reopened, std::vector<int>{5});
  EXPECT_FALSE(F.Recovery->Waiting());
  EXPECT_TRUE(F.Watch->Watched.empty());
  F.Watch->Change();
  EXPECT_EQ(F.Reopened.size(), 1u);
  ASSERT_EQ(F.Log.size(), 2u);
  EXPECT_EQ(F.Log[1], "COM5 is back (/dev/serial/by-id/usb-A5): reopened");
}

TEST(PortRecovery, ADeviceBackBeforeTheWatchIsReopenedAtTheFirstLook) {
  TRecoveryFixture F;
  F.Present = true;
  F.Recovery->Lost(5);
  EXPECT_TRUE(F.Reopened.empty());  // not at once: a device going away may still show
  F.RunLater();
  EXPECT_EQ(F.Reopened, std::vector<int>{5});
}

TEST(PortRecovery, AFailedReopenIsReportedOnceAndTriedAgainOnTheNextChange) {
  TRecoveryFixture F;
  F.Recovery->Lost(5);
  F.Present = true;
  F.OpenResult = {"device already open", false};
  for (int I = 0; I < 5; ++I) F.Watch->Change();
  EXPECT_EQ(F.Reopened.size(), 5u);
  EXPECT_EQ(std::count(F.Log.begin(), F.Log.end(), "COM5 is back but cannot be opened: device already open"), 1);
  F.OpenResult = {};
  F.Watch->Change();
  EXPECT_FALSE(F.Recovery->Waiting());
  // A later loss reports its own failure again.
  F.Recovery->Lost(5);
  F.OpenResult = {"Permission denied", false};
  F.Watch->Change();
  F.Watch->Change();
  EXPECT_EQ(std::count(F.Log.begin(), F.Log.end(), "COM5 is back but cannot be opened: Permission denied"), 1);
}

TEST(PortRecovery, TheUsersChoiceEndsTheWaitAndAStaleFirstLookDoesNothing) {
  TRecoveryFixture F;
  F.Recovery->Lost(5);
  F.Recovery->Cancel();
  F.Present = true;
  F.Watch->Change();
  F.RunLater();
  EXPECT_TRUE(F.Reopened.empty());
  // A first look left over from an earlier loss does not act for the next one.
  F.Present = false;
  F.Recovery->Lost(5);
  auto Stale = std::move(F.Pending);
  F.Pending.clear();
  F.Recovery->Lost(5);
  F.Present = true;
  for (auto& A : Stale) A();
  EXPECT_TRUE(F.Reopened.empty());
  F.RunLater();
  EXPECT_EQ(F.Reopened, std::vector<int>{5});
}

TEST(PortRecovery, APortWithoutADeviceOrWatchIsSaidSoAndNotWaitedFor) {
  TRecoveryFixture F;
  F.Recovery->Lost(7);
  EXPECT_FALSE(F.Recovery->Waiting());
  EXPECT_EQ(F.Log, std::vector<std::string>{"COM7 names no device: it is not reopened by itself"});
  F.Watch->CanWatch = false;
  F.Recovery->Lost(5);
  EXPECT_FALSE(F.Recovery->Waiting());
  EXPECT_EQ(F.Log.size(), 2u);
}

// A USB adapter is waited for by its identity, whatever node it comes back under.
TEST(PortRecovery, AnAdapterIsKnownByItsIdentityWhereverItComesBack) {
  const TDeviceIdentity Ours{"0403", "6001", "A50285BI"};
  const TDeviceIdentity OtherSerial{"0403", "6001", "B7"};
  const TDeviceIdentity Ch340{"1a86", "7523", ""};
  struct TCase {
    const char* What;
    TDeviceIdentity Opened;
    std::map<int, TDeviceIdentity> Back;  // the ports there when the watch reports
    int Reopened;                         // 0: still waiting
  };
  const TCase Cases[] = {
      {"back at its own number", Ours, {{5, Ours}}, 5},
      {"back under another node", Ours, {{34, Ours}}, 34},
      {"its own number wins over a stranger elsewhere", Ours, {{5, Ours}, {35, OtherSerial}}, 5},
      {"another adapter where it was", Ours, {{5, OtherSerial}}, 0},
      {"another adapter where it was, ours elsewhere", Ours, {{5, OtherSerial}, {36, Ours}}, 36},
      {"two alike elsewhere, no serial number to tell", Ch340, {{34, Ch340}, {35, Ch340}}, 0},
      {"one alike elsewhere, no serial number", Ch340, {{34, Ch340}}, 34},
      {"no identity (a built-in port): back by its path", {}, {{5, {}}}, 5},
      {"no identity: nothing at its path", {}, {{34, Ours}}, 0},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.What);
    TRecoveryFixture F;
    F.Identities = {{5, C.Opened}};
    F.Recovery->Opened(5);
    F.Identities.clear();
    F.Recovery->Lost(5);
    F.Identities = C.Back;
    F.Present = C.Back.count(5) > 0;
    F.Watch->Change();
    EXPECT_EQ(F.Reopened, C.Reopened ? std::vector<int>{C.Reopened} : std::vector<int>{});
    EXPECT_EQ(F.Recovery->Waiting(), C.Reopened == 0);
  }
}

TEST(PortRecovery, AReopenUnderAnotherNumberIsSaid) {
  TRecoveryFixture F;
  const TDeviceIdentity Ours{"0403", "6001", "A5"};
  F.Identities = {{5, Ours}};
  F.Recovery->Opened(5);
  F.Identities.clear();
  F.Recovery->Lost(5);
  F.Identities = {{34, Ours}};
  F.Watch->Change();
  ASSERT_EQ(F.Reopened, std::vector<int>{34});
  EXPECT_EQ(F.Log.back(), "COM5's adapter is back as COM34: reopened");
}

// What may be taken for the lost device when something appears at its path again. A terminal's
// number is handed to whichever program opens a terminal next: only a link made again says the
// device is back.
TEST(PortRecovery, WhatAppearsIsReopenedOnlyWhenItIsTheSameDevice) {
  const TDeviceIdentity Ours{"0403", "6001", "A5"}, Other{"0403", "6001", "B7"};
  TDevicePathFacts LinkToPty;
  LinkToPty.Link = true;
  LinkToPty.LinkDevice = 1;
  LinkToPty.LinkInode = 10;
  LinkToPty.LinkChangeNs = 100;
  LinkToPty.PseudoTerminal = true;
  TDevicePathFacts MadeAgain = LinkToPty;
  MadeAgain.LinkInode = 11;
  TDevicePathFacts SameInodeNewTime = LinkToPty;  // a freed inode number taken again
  SameInodeNewTime.LinkChangeNs = 200;
  TDevicePathFacts BarePty;
  BarePty.PseudoTerminal = true;
  struct TCase {
    const char* What;
    std::string Path;
    TDeviceIdentity Opened;
    TDevicePathFacts AtOpen, Now;
    std::map<int, TDeviceIdentity> Back;
    bool Reopens, Waits;
  };
  const TCase Cases[] = {
      {"a link made again, to a new terminal", "/tmp/ttyQuill", {}, LinkToPty, MadeAgain, {{5, {}}}, true, false},
      {"a link made again in a reused inode", "/tmp/ttyQuill", {}, LinkToPty, SameInodeNewTime, {{5, {}}}, true, false},
      {"the old link, its terminal's number now another's", "/tmp/ttyQuill", {}, LinkToPty, LinkToPty, {{5, {}}}, false, true},
      {"a bare terminal number, reused by another holder", "/dev/pts/3", {}, BarePty, BarePty, {{5, {}}}, false, false},
      {"a by-id link to another adapter", "/dev/serial/by-id/usb-A5", Ours, {}, {}, {{5, Other}}, false, true},
      {"a built-in port by its path", "/dev/ttyS0", {}, {}, {}, {{5, {}}}, true, false},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.What);
    TRecoveryFixture F;
    F.Path5 = C.Path;
    F.Identities = {{5, C.Opened}};
    F.PathNow = C.AtOpen;
    F.Recovery->Opened(5);
    F.Identities.clear();
    F.PathNow = {};
    F.Recovery->Lost(5);
    F.Identities = C.Back;
    F.PathNow = C.Now;
    F.Present = true;
    F.RunLater();
    F.Watch->Change();
    EXPECT_EQ(F.Reopened, C.Reopens ? std::vector<int>{5} : std::vector<int>{});
    EXPECT_EQ(F.Recovery->Waiting(), C.Waits);
    if (!C.Reopens) {
      EXPECT_FALSE(F.Log.empty());  // the user is told why it stays down
    }
  }
}

TEST(PortRecovery, TheRuleFollowsFromWhatThePathWasAtTheLoss) {
  TDevicePathFacts Pty;
  Pty.PseudoTerminal = true;
  TDevicePathFacts LinkedPty = Pty;
  LinkedPty.Link = true;
  EXPECT_EQ(TPortRecovery::RuleFor({"0403", "6001", ""}, LinkedPty), TReturnRule::ByIdentity);
  EXPECT_EQ(TPortRecovery::RuleFor({}, {}), TReturnRule::ByPath);
  EXPECT_EQ(TPortRecovery::RuleFor({}, LinkedPty), TReturnRule::ByLinkMadeAgain);
  EXPECT_EQ(TPortRecovery::RuleFor({}, Pty), TReturnRule::Never);
  // Without a record of the open, a bare terminal number is known by its name.
  TRecoveryFixture F;
  F.Path5 = "/dev/pts/7";
  F.PathNow = LookAtDevicePath("/dev/pts/999999");
  F.Recovery->Lost(5);
  EXPECT_FALSE(F.Recovery->Waiting());
  ASSERT_EQ(F.Log.size(), 1u);
  EXPECT_NE(F.Log[0].find("pseudo-terminal"), std::string::npos);
}

// An open made the moment the node appears may fail for a while (a terminal not yet unlocked,
// permissions still being set): it is tried again for a few seconds, then reported once.
TEST(PortRecovery, AnOpenThatCameTooEarlyIsTriedAgainThenReportedOnce) {
  TRecoveryFixture F;
  F.Recovery->Lost(5);
  F.Present = true;
  F.OpenResult = {"Error opening COM5", true};
  F.RunLater();
  EXPECT_TRUE(F.Recovery->RetryPending());
  F.Watch->Change();  // a change meanwhile tries too, but starts no second series
  EXPECT_EQ(F.Pending.size(), 1u);
  for (int I = 0; I < 20 && !F.Pending.empty(); ++I) F.RunLater();
  EXPECT_EQ(F.Reopened.size(), 2u + std::size(TPortRecovery::RetryMs));
  EXPECT_FALSE(F.Recovery->RetryPending());
  EXPECT_TRUE(F.Recovery->Waiting());
  EXPECT_EQ(std::count(F.Log.begin(), F.Log.end(), "COM5 is back but cannot be opened: Error opening COM5"), 1);
  // A later appearance gets a series of its own, which succeeds on its second try.
  F.Watch->Change();
  EXPECT_TRUE(F.Recovery->RetryPending());
  F.OpenResult = {};
  F.RunLater();
  EXPECT_FALSE(F.Recovery->Waiting());
  EXPECT_EQ(F.Log.back(), "COM5 is back (/dev/serial/by-id/usb-A5): reopened");
  // A failure that will not pass is reported at once, with no series.
  F.Recovery->Lost(5);
  F.OpenResult = {"not a terminal", false};
  F.RunLater();
  F.RunLater();
  EXPECT_FALSE(F.Recovery->RetryPending());
  EXPECT_EQ(F.Log.back(), "COM5 is back but cannot be opened: not a terminal");
}

}  // namespace
