// The terminal control's input queue on its own: the plain byte queue's growth and short reads,
// and the bounded input's drops, notice and gates.

#include "terminal/term_byte_queue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

TEST(TermByteQueue, GrowsByDoublingAndRaisesOnShortReads) {
  TaaByteQueue Q;
  EXPECT_EQ(Q.Capacity(), 64u);
  const std::string S(300, 'x');
  Q.Put(S.data(), S.size());
  EXPECT_EQ(Q.Capacity(), 512u);
  EXPECT_EQ(Q.Count(), 300u);
  Q.Remove(100);
  EXPECT_EQ(Q.Count(), 200u);
  try {
    Q.Peek(201);
    FAIL();
  } catch (const std::runtime_error& E) {
    EXPECT_STREQ(E.what(), "Not enough data in queue (200 bytes) to satisfy read request (201 bytes)");
  }
  EXPECT_THROW(Q.Remove(201), std::runtime_error);
}

TEST(TermInput, BoundDropsTheOldestAndCountsThem) {
  TTermInput In(1000);
  std::string A(800, 'a'), B(400, 'b');
  EXPECT_TRUE(In.Append(A.data(), A.size()));   // the first append arms the notice
  EXPECT_FALSE(In.Append(B.data(), B.size()));  // one pending at a time
  EXPECT_LE(In.Count(), 1000u);
  EXPECT_GT(In.Dropped(), 0u);
  EXPECT_TRUE(In.TakeDropReport());
  EXPECT_FALSE(In.TakeDropReport());  // one log line
  std::vector<std::uint8_t> Out;
  In.TakeAll(Out);
  ASSERT_EQ(Out.size() + In.Dropped(), 1200u);
  EXPECT_EQ(std::string(Out.end() - 400, Out.end()), B) << "the newest bytes stay";
  EXPECT_EQ(In.Count(), 0u);
}

TEST(TermInput, ClosedOrOldGateAddsNothingAndTheTailMovesOnlyByBytesCopied) {
  TTermInput In;
  const auto Fill = [](std::uint8_t* To, std::size_t N) {
    std::fill_n(To, N, 'q');
    return N / 2;  // a short read
  };
  const std::uint64_t G1 = In.OpenGate();
  EXPECT_TRUE(In.Append(G1, 10, Fill));
  EXPECT_EQ(In.Count(), 5u);
  In.CloseGate();
  EXPECT_FALSE(In.Append(G1, 10, Fill));
  const std::uint64_t G2 = In.OpenGate();
  EXPECT_FALSE(In.Append(G1, 10, Fill)) << "a receiver of an earlier attach";
  In.NoticeTaken();
  EXPECT_TRUE(In.Append(G2, 4, Fill));
  EXPECT_EQ(In.Count(), 7u);
}

}  // namespace
