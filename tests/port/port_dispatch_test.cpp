// The dispatcher driven by hand (no dispatcher thread): ring, reads inside notifications,
// trigger matching and bookkeeping, output accounting, opening failures, line control.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "memory_dispatcher.h"
#include "test_support.h"

namespace {

struct Note {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
};

class DispatcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    D = std::make_shared<TMemoryDispatcher>(nullptr);
    D->UseThread = false;
    ASSERT_EQ(D->InitPort("mem", 9600, 0, 8, 1, 4096, 64, ipAssertDTR | ipAssertRTS), 0);
  }
  void TearDown() override {
    D->Destroy();
    D.reset();
  }
  // Device bytes into the ring, then the receive checks until they settle.
  void Arrive(const std::string& Bytes) {
    D->Feed(Bytes);
    while (D->ExtractData() && D->InQueueUsed() > 0 && !D->DispatchFull) {
    }
  }
  void Check() {
    while (D->CheckReceiveTriggers()) {
    }
  }
  // A method receiver that reads up to Want bytes per notification and records what it saw.
  void AddReader(int Key, std::uint32_t Want, std::string* Seen) {
    D->RegisterEventTriggerHandler(reinterpret_cast<const void*>(static_cast<std::intptr_t>(Key)),
                                   [this, Want, Seen](UINT Msg, WPARAM W, LPARAM L) {
                                     Notes.push_back({Msg, W, L});
                                     if (Msg != qpw_TriggerAvail) return;
                                     for (std::uint32_t I = 0; I < Want; ++I) {
                                       std::uint8_t C;
                                       if (D->GetChar(C) != ecOK) break;
                                       *Seen += char(C);
                                     }
                                   });
  }
  std::string ReadAll() {
    std::string S;
    std::uint8_t C;
    while (D->GetChar(C) == ecOK) S += char(C);
    return S;
  }
  std::shared_ptr<TMemoryDispatcher> D;
  std::vector<Note> Notes;
};

TEST_F(DispatcherTest, ReadsPeeksAndEmptyRing) {
  std::uint8_t C = 0;
  EXPECT_EQ(D->GetChar(C), ecBufferIsEmpty);
  EXPECT_EQ(D->PeekChar(C, 1), ecBufferIsEmpty);
  Arrive("abc");
  EXPECT_EQ(D->PeekChar(C, 3), ecOK);
  EXPECT_EQ(C, 'c');
  EXPECT_EQ(D->PeekChar(C, 4), ecBufferIsEmpty);
  char Block[16] = {};
  EXPECT_EQ(D->GetBlock(Block, 4), ecBufferIsEmpty);
  EXPECT_EQ(D->InBuffUsed(), 3u);  // nothing taken
  EXPECT_EQ(D->GetBlock(Block, 2), 2);
  EXPECT_EQ(std::string(Block, 2), "ab");
  EXPECT_TRUE(D->CharReady());
  EXPECT_EQ(ReadAll(), "c");
  EXPECT_FALSE(D->CharReady());
}

TEST_F(DispatcherTest, RingFillsExactlyAndWraps) {
  std::string Full(DispatchBufferSize, 'x');
  Arrive(Full + "more");
  EXPECT_TRUE(D->DispatchFull);
  EXPECT_EQ(D->InBuffUsed(), DispatchBufferSize);
  EXPECT_EQ(D->InBuffFree(), 0u);
  std::uint8_t C;
  ASSERT_EQ(D->GetChar(C), ecOK);
  EXPECT_FALSE(D->DispatchFull);
  // The waiting bytes come in behind, wrapping to the start of the ring.
  std::vector<char> Rest(DispatchBufferSize - 1);
  ASSERT_EQ(D->GetBlock(Rest.data(), Rest.size()), int(Rest.size()));
  Arrive("");
  EXPECT_EQ(ReadAll(), "more");

  // Head at 8190 with 5 bytes waiting: 2 at the end, 3 at the start.
  auto E = std::make_shared<TMemoryDispatcher>(nullptr);
  E->UseThread = false;
  ASSERT_EQ(E->InitPort("mem", 9600, 0, 8, 1, 4096, 64, 0), 0);
  E->Feed(std::string(8190, '-'));
  E->ExtractData();
  std::vector<char> Skip(8190);
  ASSERT_EQ(E->GetBlock(Skip.data(), 8190), 8190);
  E->Feed("12345");
  E->ExtractData();
  EXPECT_EQ(E->DBufHead, 3u);
  char Five[5];
  ASSERT_EQ(E->GetBlock(Five, 5), 5);
  EXPECT_EQ(std::string(Five, 5), "12345");
  E->Destroy();
}

TEST_F(DispatcherTest, OneNotificationPerArrivalWithItsByteAccounting) {
  std::string Seen;
  AddReader(1, 5, &Seen);
  D->ChangeLengthTrigger(1);
  Arrive("hello");
  EXPECT_TRUE(D->CheckReceiveTriggers());  // took exactly what was announced
  ASSERT_EQ(Notes.size(), 1u);
  EXPECT_EQ(Notes[0].Msg, qpw_TriggerAvail);
  EXPECT_EQ(Notes[0].WParam, 5u);
  EXPECT_EQ(Notes[0].LParam >> 16, D->Handle());
  EXPECT_EQ(Seen, "hello");
  EXPECT_EQ(D->InBuffUsed(), 0u);
  EXPECT_FALSE(D->CheckReceiveTriggers());
}

TEST_F(DispatcherTest, PartialReadIsAnnouncedAgainWithTheNextArrival) {
  std::string Seen;
  AddReader(1, 3, &Seen);
  D->ChangeLengthTrigger(1);
  Arrive("abcde");
  EXPECT_FALSE(D->CheckReceiveTriggers());  // 3 of 5 taken
  EXPECT_EQ(D->InBuffUsed(), 2u);
  EXPECT_FALSE(D->CheckReceiveTriggers());
  EXPECT_EQ(Notes.size(), 1u);  // nothing new, no notification
  Arrive("fg");
  Check();
  ASSERT_EQ(Notes.size(), 2u);
  EXPECT_EQ(Notes[1].WParam, 4u);  // the 2 left plus the 2 new
  EXPECT_EQ(Seen, "abcdef");
}

TEST_F(DispatcherTest, TwoReceiversSeeTheSameBytesAndTheRingDropsTheMost) {
  std::string A, B;
  AddReader(1, 2, &A);
  AddReader(2, 4, &B);
  D->ChangeLengthTrigger(1);
  Arrive("123456");
  Check();
  EXPECT_EQ(A, "12");
  EXPECT_EQ(B, "1234");
  EXPECT_EQ(ReadAll(), "56");
}

TEST_F(DispatcherTest, ExactlyFullRingIsStillAnnounced) {
  std::string Seen;
  AddReader(1, DispatchBufferSize, &Seen);
  D->ChangeLengthTrigger(1);
  std::string Full(DispatchBufferSize, 'z');
  Full[0] = 'a';
  Full.back() = 'b';
  Arrive(Full);
  ASSERT_TRUE(D->DispatchFull);
  Check();
  ASSERT_EQ(Notes.size(), 1u);
  EXPECT_EQ(Notes[0].WParam, DispatchBufferSize);
  EXPECT_EQ(Seen, Full);
  EXPECT_EQ(D->InBuffUsed(), 0u);
}

TEST_F(DispatcherTest, DataTriggerAnnouncesTheBytesBeforeItThenTheTrigger) {
  std::string Seen;
  AddReader(1, 100, &Seen);
  D->ChangeLengthTrigger(1);
  const std::int32_t H = D->AddDataTrigger("OK", false);
  ASSERT_GE(H, 8);
  Arrive("xxOK");
  Check();
  ASSERT_GE(Notes.size(), 2u);
  EXPECT_EQ(Notes[0].Msg, qpw_TriggerAvail);
  EXPECT_EQ(Notes[0].WParam, 2u);
  EXPECT_EQ(Notes[1].Msg, qpw_TriggerData);
  EXPECT_EQ(Notes[1].WParam, WPARAM(H));
  EXPECT_EQ(Notes[1].LParam & 0xFFFF, 2);
}

TEST_F(DispatcherTest, EachMatchAnnouncesTheBytesBeforeItFirst) {
  // A reader that takes exactly what each announcement offers; data notifications read nothing.
  struct Case {
    const char* Trigger;
    const char* Burst;
    const char* Notes;  // A<n>: bytes announced, D: the trigger
  };
  const Case Cases[] = {
      {"OK", "xxOK", "A2 D A2"},
      {"aa", "aaaa", "D A1 D A3"},  // the second "aa" starts inside the first
      {"ab", "abab", "D A2 D A2"},
      {"OK", "OKxx", "D A4"},
      {"OK", "xx", "A2"},
  };
  for (const Case& C : Cases) {
    SetUp();
    std::string Seen;
    D->RegisterEventTriggerHandler(this, [&](UINT Msg, WPARAM W, LPARAM L) {
      Notes.push_back({Msg, W, L});
      std::uint8_t B;
      for (WPARAM I = 0; Msg == qpw_TriggerAvail && I < W && D->GetChar(B) == ecOK; ++I) Seen += char(B);
    });
    D->ChangeLengthTrigger(1);
    ASSERT_GE(D->AddDataTrigger(C.Trigger, false), 8);
    Arrive(C.Burst);
    Check();
    std::string Got;
    for (const Note& N : Notes) {
      if (!Got.empty()) Got += ' ';
      Got += N.Msg == qpw_TriggerAvail ? 'A' : 'D';
      if (N.Msg == qpw_TriggerAvail) Got += std::to_string(N.WParam);
    }
    EXPECT_EQ(Got, C.Notes) << C.Trigger << " in " << C.Burst;
    EXPECT_EQ(Seen, C.Burst) << C.Trigger << " in " << C.Burst;  // every byte read once, in order
    TearDown();
    Notes.clear();
  }
  SetUp();
}

TEST_F(DispatcherTest, DataTriggerMatchesAcrossArrivalsTheRingWrapAndCase) {
  D->ChangeLengthTrigger(0);
  int Hits = 0;
  D->RegisterProcTriggerHandler(nullptr);  // a null procedure is skipped
  D->RegisterEventTriggerHandler(&Hits, [&](UINT Msg, WPARAM, LPARAM) {
    if (Msg == qpw_TriggerData) ++Hits;
  });
  const std::int32_t H = D->AddDataTrigger("link", true);
  ASSERT_GE(H, 8);
  Arrive(std::string(8190, '.'));
  Check();
  std::vector<char> Skip(8190);
  ASSERT_EQ(D->GetBlock(Skip.data(), 8190), 8190);
  Arrive("[LI");
  Check();
  EXPECT_EQ(Hits, 0);
  Arrive("NKOK]");
  Check();
  EXPECT_EQ(Hits, 1);
  // Overlapping starts are followed too.
  D->RemoveAllTriggers();
  ASSERT_EQ(D->AddDataTrigger("aab", false), 8);
  Arrive("aaab");
  Check();
  EXPECT_EQ(Hits, 2);
  // A flush forgets a partial match.
  Arrive("aa");
  Check();
  D->FlushInBuffer();
  Arrive("b");
  Check();
  EXPECT_EQ(Hits, 2);
}

TEST(MatchStringTest, Table) {
  struct Case {
    const char* Pattern;
    const char* Input;
    int Matches;
  };
  const Case Cases[] = {{"OK", "xxOK", 1},      {"abab", "ababab", 1}, {"aab", "aaab", 1},
                        {"abc", "ababc", 1},    {"abc", "abxabc", 1}, {"a", "aaa", 3},
                        {"abc", "ab", 0},       {"xyz", "xyxyz", 1}};
  for (const Case& C : Cases) {
    TCheckIndex Idx{};
    int Matches = 0;
    const auto* P = reinterpret_cast<const std::uint8_t*>(C.Pattern);
    for (const char* I = C.Input; *I; ++I)
      Matches += MatchString(Idx, static_cast<std::uint8_t>(*I), std::strlen(C.Pattern), P, false);
    EXPECT_EQ(Matches, C.Matches) << C.Pattern << " in " << C.Input;
  }
}

TEST_F(DispatcherTest, TriggerHandlesAndTheirErrors) {
  EXPECT_EQ(D->AddDataTriggerLen("0123456789012345678901", false, 22), ecTriggerTooLong);
  EXPECT_EQ(D->AddDataTriggerLen("012345678901234567890", false, 21), 8);
  EXPECT_EQ(D->AddStatusTrigger(6), ecBadArgument);
  EXPECT_EQ(D->AddStatusTrigger(stOutSent), 16 | int(stOutSent));
  EXPECT_EQ(D->SetTimerTrigger(8, 1, true), ecBadTriggerHandle);  // a data trigger
  EXPECT_EQ(D->RemoveTrigger(12345), ecBadTriggerHandle);
  D->ChangeLengthTrigger(3);
  EXPECT_EQ(D->RemoveTrigger(AvailTriggerHandle), ecOK);
  EXPECT_EQ(D->LenTrigger.load(), 0u);
  // Handle exhaustion: 4095 handles, then none while all are alive.
  D->RemoveAllTriggers();
  for (std::uint32_t I = 1; I < MaxTriggerHandle; ++I) ASSERT_EQ(D->AddTimerTrigger(), int(I * 8));
  EXPECT_EQ(D->GetTriggerHandle(), 0u);
  EXPECT_EQ(D->AddTimerTrigger(), ecNoMoreTriggers);
  EXPECT_EQ(D->AddDataTrigger("x", false), ecNoMoreTriggers);
  EXPECT_EQ(D->RemoveTrigger(800), ecOK);
  EXPECT_EQ(D->AddTimerTrigger(), 800);  // freed handles are found again
  D->RemoveAllTriggers();
  EXPECT_EQ(D->AddTimerTrigger(), 8);
}

TEST_F(DispatcherTest, SavedTriggersComeBackWithoutHandleClashes) {
  const std::int32_t Data = D->AddDataTrigger("OK", false);
  D->ChangeLengthTrigger(4);
  TTriggerSave Save;
  D->SaveTriggers(Save);
  D->RemoveAllTriggers();
  D->RestoreTriggers(Save);
  EXPECT_EQ(D->LenTrigger.load(), 4u);
  ASSERT_EQ(D->DataTriggers.size(), 1u);
  EXPECT_EQ(D->DataTriggers[0].tHandle, std::uint32_t(Data));
  EXPECT_NE(D->AddTimerTrigger(), Data);
}

TEST_F(DispatcherTest, StatusAndTimerTriggersFireOncePerArming) {
  std::vector<Note> Seen;
  D->RegisterEventTriggerHandler(&Seen, [&](UINT M, WPARAM W, LPARAM L) { Seen.push_back({M, W, L}); });
  const std::int32_t Sent = D->AddStatusTrigger(stOutSent);
  ASSERT_EQ(D->SetStatusTrigger(Sent, 0, true), ecOK);
  EXPECT_FALSE(D->CheckStatusTriggers());
  ASSERT_EQ(D->PutString("x"), ecOK);
  EXPECT_TRUE(D->CheckStatusTriggers());
  D->ResetStatusHits();
  ASSERT_EQ(D->PutString("y"), ecOK);
  EXPECT_FALSE(D->CheckStatusTriggers());  // not re-armed
  ASSERT_EQ(Seen.size(), 1u);
  EXPECT_EQ(Seen[0].Msg, qpw_TriggerStatus);
  EXPECT_EQ(Seen[0].WParam, WPARAM(Sent));

  const std::int32_t T = D->AddTimerTrigger();
  ASSERT_EQ(D->SetTimerTrigger(T, 1, true), ecOK);
  std::int32_t Left = -1;
  EXPECT_EQ(D->TimerTicksRemaining(T, Left), ecOK);
  EXPECT_LE(Left, 1);
  ASSERT_TRUE(WaitFor([&] { return D->CheckTimerTriggers(); }, 5000));
  EXPECT_FALSE(D->CheckTimerTriggers());
  EXPECT_EQ(Seen.back().Msg, qpw_TriggerTimer);
  EXPECT_EQ(D->ExtendTimer(12345, 1), ecBadTriggerHandle);
}

TEST(TickTimerTest, LongTimersStayRight) {
  EventTimer ET;
  NewTimer(ET, MaxTicks + 100);  // limited
  EXPECT_EQ(ET.ExpireTicks - ET.StartTicks, MaxTicks);
  EXPECT_FALSE(TimerExpired(ET));
  EXPECT_GT(RemainingTime(ET), MaxTicks - 10);
  EXPECT_EQ(DelayTicks(0, false), 0);
  // Across the 32-bit millisecond wrap (49.7 days) a timer neither fires early nor hangs.
  const std::uint64_t Wrap = std::uint64_t(1) << 32;
  EventTimer Across;
  NewTimerAt(Across, 5, Wrap - 100);  // 275 ms
  EXPECT_FALSE(TimerExpiredAt(Across, Wrap + 100));
  EXPECT_GT(RemainingTimeAt(Across, Wrap + 100), 0);
  EXPECT_TRUE(TimerExpiredAt(Across, Wrap + 400));
  EXPECT_EQ(RemainingTimeAt(Across, Wrap + 400), 0);
}

TEST_F(DispatcherTest, OutputAccounting) {
  D->HoldOutput = true;
  const int Before = D->WriteComCalls;
  EXPECT_EQ(D->PutBlock("", 0), 0);
  EXPECT_EQ(D->WriteComCalls, Before);
  std::string Fill(64, 'o');
  EXPECT_EQ(D->PutBlock(Fill.data(), 63), ecOK);
  EXPECT_FALSE(D->OBufFull);
  EXPECT_EQ(D->PutChar('!'), ecOK);  // exactly the free space
  EXPECT_TRUE(D->OBufFull);
  EXPECT_EQ(D->PutChar('?'), ecOutputBufferTooSmall);
  EXPECT_EQ(D->OutBuffUsed(), 64u);
  EXPECT_EQ(D->OutBuffFree(), 0u);
  D->FlushOutBuffer();
  EXPECT_EQ(D->OutBuffUsed(), 0u);
  // A block the device takes only in part is a failure, never a silent loss of its tail.
  D->WriteAccepts = 2;
  EXPECT_EQ(D->PutString("abc"), ecPutBlockFail);
  D->WriteAccepts = -1;
  D->WriteRefuses = true;
  EXPECT_EQ(D->PutString("abc"), ecPutBlockFail);
}

TEST(DispatcherOpenTest, FailedOpensAreNeverSuccess) {
  struct Case {
    int Errno;
    bool Silent;
    std::int32_t Expected;
  };
  for (Case C : {Case{ENOENT, false, -ENOENT}, Case{0, true, ecCommNotOpen}}) {
    auto D = std::make_shared<TMemoryDispatcher>(nullptr);
    D->UseThread = false;
    D->OpenErrno = C.Errno;
    D->OpenFailsSilently = C.Silent;
    EXPECT_EQ(D->InitPort("mem", 9600, 0, 8, 1, 4096, 64, 0), C.Expected);
    EXPECT_LT(D->ComHandle(), 0);
    EXPECT_FALSE(D->Active());
    D->Destroy();
  }
  // Line settings refused: the device is closed again and the refusal returned.
  auto D = std::make_shared<TMemoryDispatcher>(nullptr);
  D->UseThread = false;
  D->SetComStateResult = ecBaudRate;
  EXPECT_EQ(D->InitPort("mem", 12345, 0, 8, 1, 4096, 64, 0), ecBaudRate);
  EXPECT_LT(D->ComHandle(), 0);
  EXPECT_EQ(D->CloseCalls, 1);
  EXPECT_TRUE(D->DBuffer.empty());
  D->Destroy();
}

TEST_F(DispatcherTest, LineSettings) {
  const int Calls = D->SetComStateCalls;
  EXPECT_EQ(D->SetLine(9600, 0, 8, 1), ecOK);  // already so: nothing applied
  EXPECT_EQ(D->SetComStateCalls, Calls);
  D->DeviceDCB.Flags |= dcb_Null;  // only the flags differ
  EXPECT_EQ(D->SetLine(DontChangeBaud, DontChangeParity, DontChangeDatabits, DontChangeStopbits),
            ecOK);
  EXPECT_EQ(D->SetComStateCalls, Calls + 1);
  EXPECT_EQ(D->DeviceDCB.Flags & dcb_Null, 0u);
  EXPECT_EQ(D->DeviceDCB.BaudRate, 9600u);
  EXPECT_EQ(D->SetLine(DontChangeBaud, DontChangeParity, 5, 1), ecOK);
  EXPECT_EQ(D->DeviceDCB.StopBits, ONE5STOPBITS);
  std::int32_t Baud;
  std::uint32_t Parity, Bits, Stop;
  D->GetLine(Baud, Parity, Bits, Stop);
  EXPECT_EQ(Baud, 9600);
  EXPECT_EQ(Bits, 5u);
  EXPECT_EQ(Stop, 2u);
  EXPECT_EQ(ActualBaud(0xFF16), 9600);
  EXPECT_EQ(ActualBaud(0xFF19), 0xFF19);
  EXPECT_EQ(ActualBaud(0xFEFF), 115200);
  // A line speed of 0 must not divide by zero.
  D->LastBaud = 0;
  D->WaitTxSent();
  EXPECT_EQ(D->HWFlowOptions(10, 20, 0), ecBadArgument);
  EXPECT_EQ(D->HWFlowOptions(5000, 20, 0), ecBadArgument);
}

TEST_F(DispatcherTest, ModemStatusDeltas) {
  D->ModemLines = CTSMask | DSRMask;
  D->MapEventsToMS(ev_Cts | ev_Dsr);
  EXPECT_TRUE(D->CheckCTS());  // clears the CTS delta only
  EXPECT_FALSE(D->CheckDeltaCTS());
  EXPECT_TRUE(D->CheckDeltaDSR());
  D->RingFlag = true;
  EXPECT_TRUE(D->CheckDeltaRI());
  D->PendingLineErrors = ce_Break;
  D->RefreshStatus();
  EXPECT_TRUE(D->CheckLineBreak());
  EXPECT_EQ(D->GetLineError(), leNoError);
  D->PendingLineErrors = ce_Overrun | ce_Frame;
  D->RefreshStatus();
  EXPECT_EQ(D->GetLineError(), leOverrun);
  EXPECT_EQ(D->GetLineError(), leNoError);  // all but break cleared together
}

TEST_F(DispatcherTest, ReceiversDeregisteredDuringDeliveryGoAfterIt) {
  int Calls = 0;
  D->ChangeLengthTrigger(1);
  D->RegisterEventTriggerHandler(&Calls, [&](UINT, WPARAM, LPARAM) {
    ++Calls;
    D->DeregisterEventTriggerHandler(&Calls);
  });
  Arrive("x");
  Check();
  EXPECT_EQ(D->EventTriggerHandlers.size(), 0u);
  Arrive("y");
  Check();
  EXPECT_EQ(Calls, 1);
  void* P = nullptr;
  EXPECT_EQ(D->SetDataPointer(&Calls, 3), ecOK);
  EXPECT_EQ(D->GetDataPointer(P, 3), ecOK);
  EXPECT_EQ(P, &Calls);
  EXPECT_EQ(D->SetDataPointer(&Calls, 4), ecBadArgument);
}

}  // namespace
