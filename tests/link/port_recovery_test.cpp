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
    H.DevicePath = [this](int N) { return N == 5 ? std::string("/dev/serial/by-id/usb-A5") : std::string(); };
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
  bool Present = false;
  std::string OpenResult;
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
  F.OpenResult = "device already open";
  for (int I = 0; I < 5; ++I) F.Watch->Change();
  EXPECT_EQ(F.Reopened.size(), 5u);
  EXPECT_EQ(std::count(F.Log.begin(), F.Log.end(), "COM5 is back but cannot be opened: device already open"), 1);
  F.OpenResult.clear();
  F.Watch->Change();
  EXPECT_FALSE(F.Recovery->Waiting());
  // A later loss reports its own failure again.
  F.Recovery->Lost(5);
  F.OpenResult = "Permission denied";
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
      {"no identity (pseudo-terminal): back by its path", {}, {{5, {}}}, 5},
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

}  // namespace
