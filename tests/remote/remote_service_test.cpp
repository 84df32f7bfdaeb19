// The session bus service against a recording stand-in for the program: which calls reach the
// program, in what order and when, and what the refused ones answer (what the bus sees:
// remote_service_bus_test.cpp).
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fake_program.h"
#include "remote/remote_names.h"
#include "remote/remote_service.h"
#include "test_support.h"

namespace {

using TService = TRemoteService;

struct RemoteServiceFixture : ::testing::Test {
  // Submits a call from Client; its answer lands in Answers[returned index] (nullopt until
  // answered).
  size_t Call(TService::TKind Kind, int Radio, int Antenna = 0, const std::string& Client = {}) {
    const size_t At = Answers.size();
    Answers.emplace_back();
    Service.Submit({Kind, Radio, Antenna,
                    [this, At](const TService::TError& E) {
                      ASSERT_FALSE(Answers[At]) << "answered twice";
                      Answers[At] = E;
                    }},
                   Client);
    return At;
  }
  bool Done(size_t At) const { return Answers[At] && Answers[At]->Name.empty(); }
  std::string Refusal(size_t At) const { return Answers[At] ? Answers[At]->Name : "(waiting)"; }

  FakeProgram Program;
  std::uint64_t Now = 100000;
  TService Service{Program, [this] { return Now; }};
  std::vector<std::optional<TService::TError>> Answers;
};

}  // namespace

TEST_F(RemoteServiceFixture, RefusedCallsNeverReachTheProgramAndSayWhy) {
  struct Case {
    TService::TKind Kind;
    int Radio, Antenna;
    std::function<void(FakeProgram&)> Setup;
    std::string Error, Says;
  };
  const auto Nothing = [](FakeProgram&) {};
  const std::vector<Case> Cases = {
      {TService::ckSelectAntenna, 1, 0, Nothing, RemoteErrorInvalidArgs, "Antenna 0 is out of range (1 to 8)"},
      {TService::ckSelectAntenna, 1, 9, Nothing, RemoteErrorInvalidArgs, "Antenna 9 is out of range"},
      {TService::ckSelectAntenna, 0, 5, Nothing, RemoteErrorInvalidArgs, "Radio 0 is out of range (1 to 2)"},
      {TService::ckSelectAntenna, 3, 5, Nothing, RemoteErrorInvalidArgs, "Radio 3"},
      {TService::ckSetAuto, -1, 0, Nothing, RemoteErrorInvalidArgs, "Radio -1"},
      {TService::ckFollowRadio, 3, 0, Nothing, RemoteErrorInvalidArgs, "Radio 3"},
      // The window sends to the radio it follows: a command for the other one is refused.
      {TService::ckSelectAntenna, 2, 5, Nothing, RemoteErrorNotFollowed, "Radio 2 is not the followed radio"},
      {TService::ckSetAuto, 2, 0, Nothing, RemoteErrorNotFollowed, "Radio 2"},
      {TService::ckSelectAntenna, 1, 5, [](FakeProgram& P) { P.NoSend = "No port is open"; }, RemoteErrorNoPort,
       "No port is open"},
      {TService::ckSetAuto, 1, 0, [](FakeProgram& P) { P.NoSend = "No port is open"; }, RemoteErrorNoPort, "No port"},
  };
  for (const Case& C : Cases) {
    FakeProgram P;
    C.Setup(P);
    TService S(P, [] { return std::uint64_t(0); });
    std::optional<TService::TError> Got;
    S.Submit({C.Kind, C.Radio, C.Antenna, [&](const TService::TError& E) { Got = E; }});
    ASSERT_TRUE(Got) << C.Says;
    EXPECT_EQ(Got->Name, C.Error) << C.Says;
    EXPECT_NE(Got->Text.find(C.Says), std::string::npos) << Got->Text;
    EXPECT_TRUE(P.Calls.empty()) << C.Says;
  }
}

TEST_F(RemoteServiceFixture, AClickThatWouldShowAnErrorBoxFailsWithItsText) {
  Program.ClickError = "Communications failed";
  const size_t A = Call(TService::ckSelectAntenna, 1, 5);
  ASSERT_TRUE(Answers[A]);
  EXPECT_EQ(Answers[A]->Name, RemoteErrorFailed);
  EXPECT_EQ(Answers[A]->Text, "Communications failed");
  EXPECT_EQ(Program.Calls, std::vector<std::string>{"antenna 5"});
}

TEST_F(RemoteServiceFixture, ACommandWaitsForTheDevicesAnswerToTheLastOneOrTheRetryDelay) {
  EXPECT_TRUE(Done(Call(TService::ckSelectAntenna, 1, 5)));
  const size_t Second = Call(TService::ckSelectAntenna, 1, 6);
  EXPECT_FALSE(Answers[Second]);
  Program.Report(2);  // the other radio's report is no answer
  Service.Pump();
  EXPECT_FALSE(Answers[Second]);
  Program.Report(1);
  Service.Pump();
  EXPECT_TRUE(Done(Second));

  // A device that does not answer holds the next command for the retry delay only.
  const size_t Third = Call(TService::ckSetAuto, 1);
  Now += TService::AnswerWaitMs - 1;
  Service.Pump();
  EXPECT_FALSE(Answers[Third]);
  Now += 1;
  Service.Pump();
  EXPECT_TRUE(Done(Third));
  // Following a radio sends nothing to the device, so it does not wait for an answer.
  EXPECT_TRUE(Done(Call(TService::ckFollowRadio, 2)));
  EXPECT_EQ(Program.Calls, (std::vector<std::string>{"antenna 5", "antenna 6", "auto", "radio 2"}));
}

TEST_F(RemoteServiceFixture, WhileTheProgramIsBusyCallsWaitInOrderUpToTheBounds) {
  Program.BusyWhy = "A message box is waiting for the user";
  std::vector<size_t> Waiting;
  for (size_t I = 0; I < TService::MaxWaiting; ++I) Waiting.push_back(Call(TService::ckSelectAntenna, 1, int(I % 8) + 1));
  EXPECT_EQ(Service.Waiting(), TService::MaxWaiting);
  // One more is refused at once, with the reason.
  const size_t Over = Call(TService::ckSelectAntenna, 1, 1);
  EXPECT_EQ(Refusal(Over), RemoteErrorBusy);
  EXPECT_NE(Answers[Over]->Text.find("A message box is waiting for the user"), std::string::npos) << Answers[Over]->Text;
  // The waiting ones give up at their deadline; none reached the program.
  Now += TService::MaxWaitMs;
  Service.Pump();
  for (size_t At : Waiting) EXPECT_EQ(Refusal(At), RemoteErrorBusy);
  EXPECT_EQ(Service.Waiting(), 0u);
  EXPECT_TRUE(Program.Calls.empty());

  // Once the program is free, waiting calls go in the order they came.
  const size_t A = Call(TService::ckSelectAntenna, 1, 3);
  const size_t B = Call(TService::ckFollowRadio, 2);
  const size_t C = Call(TService::ckSetAuto, 2);
  Program.BusyWhy.clear();
  Service.Pump();
  EXPECT_TRUE(Done(A));
  EXPECT_TRUE(Done(B));
  EXPECT_FALSE(Answers[C]);  // radio 1 has not answered the antenna command yet
  Program.Report(1);
  ASSERT_TRUE(WaitFor([&] { return Answers[C].has_value(); }));  // the change notice looks again
  EXPECT_TRUE(Done(C));
  EXPECT_EQ(Program.Calls, (std::vector<std::string>{"antenna 3", "radio 2", "auto"}));
}

TEST_F(RemoteServiceFixture, ACallArrivingDuringAClickWaitsUntilTheClickHasEnded) {
  // A click may run the event loop (closing a failed port), which can deliver another call.
  size_t Inner = 0;
  size_t CallsWhenInnerCame = 0;
  Program.DuringClick = [&] {
    CallsWhenInnerCame = Program.Calls.size();
    Inner = Call(TService::ckFollowRadio, 2);
    Service.Pump();
  };
  const size_t Outer = Call(TService::ckSelectAntenna, 1, 4);
  EXPECT_TRUE(Done(Outer));
  EXPECT_EQ(Program.Calls.size(), CallsWhenInnerCame);
  ASSERT_TRUE(WaitFor([&] { return Answers[Inner].has_value(); }));
  EXPECT_TRUE(Done(Inner));
  EXPECT_EQ(Program.Calls, (std::vector<std::string>{"antenna 4", "radio 2"}));
}

TEST_F(RemoteServiceFixture, AWaitingCallWhoseClientHasLeftIsDroppedNotSent) {
  Program.BusyWhy = "A message box is waiting for the user";
  const size_t Gone1 = Call(TService::ckSelectAntenna, 1, 5, ":1.7");
  const size_t Stays = Call(TService::ckFollowRadio, 2, 0, ":1.8");
  const size_t Gone2 = Call(TService::ckSetAuto, 1, 0, ":1.7");
  const size_t Local = Call(TService::ckSelectAntenna, 2, 4);
  Service.DropClient(":1.7");
  Service.DropClient("");  // a call not from the bus has no client to leave
  EXPECT_EQ(Service.Waiting(), 2u);
  Program.BusyWhy.clear();
  Service.Pump();
  EXPECT_TRUE(Done(Stays));
  EXPECT_TRUE(Done(Local));
  // Dropped unanswered: there is no one left to answer.
  EXPECT_FALSE(Answers[Gone1]);
  EXPECT_FALSE(Answers[Gone2]);
  EXPECT_EQ(Program.Calls, (std::vector<std::string>{"radio 2", "antenna 4"}));
}
