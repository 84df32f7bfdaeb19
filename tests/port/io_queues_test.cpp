#include "port/io_queues.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

namespace {

TEST(IOQueueTest, EmptyQueue) {
  TIOQueue Q;
  EXPECT_EQ(Q.Pop(), nullptr);
  EXPECT_EQ(Q.Peek(), nullptr);
  EXPECT_EQ(Q.BytesQueued(), 0);
}

TEST(IOQueueTest, BytesQueuedFollowsPushAndPop) {
  TIOQueue Q;
  Q.Push(new TDataBuffer(256));
  Q.Push(new TStatusBuffer(0x08));
  Q.Push(new TDataBuffer(10));
  EXPECT_EQ(Q.BytesQueued(), 266);
  std::unique_ptr<TIOBuffer> First(Q.Pop());
  EXPECT_EQ(First->Size(), 256);
  EXPECT_EQ(Q.BytesQueued(), 10);
  std::unique_ptr<TIOBuffer> Second(Q.Pop());
  EXPECT_EQ(static_cast<TStatusBuffer*>(Second.get())->Status(), 0x08u);
}

TEST(IOQueueTest, PeekHoldsTheHeadAndClearKeepsIt) {
  TIOQueue Q;
  Q.Push(new TDataBuffer(100));
  Q.Push(new TDataBuffer(20));
  Q.Push(new TLogBuffer(dtDispatch, dstReadCom, 5, 7, "abc", 3));
  TIOBuffer* Head = Q.Peek();
  ASSERT_NE(Head, nullptr);
  EXPECT_TRUE(Head->InUse());
  EXPECT_EQ(Q.Peek(), nullptr);  // one consumer at a time
  Q.Clear();
  EXPECT_EQ(Q.Count(), 1);
  EXPECT_EQ(Q.BytesQueued(), 100);
  Head->SetInUse(false);
  EXPECT_EQ(Q.Peek(), Head);
  delete Q.Pop();
  EXPECT_EQ(Q.BytesQueued(), 0);
}

TEST(IOQueueTest, DataAndLogBuffers) {
  TDataBuffer D(8);
  EXPECT_EQ(D.Size(), 8);
  EXPECT_EQ(D.BytesUsed(), 0);
  EXPECT_EQ(D.BytesRead(), 0);
  for (int I = 0; I < 8; ++I) EXPECT_EQ(D.Data()[I], 0);
  TLogBuffer L(dtTrigger, dstAvail, 12, 34, "xyz", 3);
  EXPECT_EQ(L.drMoreData(), 3);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(L.drBuffer()), 3), "xyz");
  TLogBuffer Empty(dtTrigger, dstAvail, 12, 34, nullptr, 0);
  EXPECT_EQ(Empty.drBuffer(), nullptr);
  EXPECT_EQ(Empty.Size(), 0);
}

TEST(IOQueueTest, WaitForBuffer) {
  TIOQueue Q;
  EXPECT_EQ(Q.WaitForBuffer(20), TWaitResult::wrTimeout);
  Q.Push(new TStatusBuffer(1));
  EXPECT_EQ(Q.WaitForBuffer(50), TWaitResult::wrSignaled);  // non-empty: at once
  delete Q.Pop();
  std::thread Producer([&] { Q.Push(new TStatusBuffer(2)); });
  EXPECT_EQ(Q.WaitForBuffer(10000), TWaitResult::wrSignaled);
  Producer.join();
  delete Q.Pop();
}

}  // namespace
