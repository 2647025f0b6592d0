// The library's thread: a call that comes back in time, one that does not, and none after it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <latch>
#include <memory>

#include "session/library_thread.h"

using namespace kestrovan;
using namespace std::chrono_literals;

namespace {

TEST(LibraryThread, ACallThatComesBackInTimeIsSeenWhole) {
  LibraryThread thread;
  auto seen = std::make_shared<int>(0);
  for (int i = 1; i <= 3; ++i) {
    ASSERT_TRUE(thread.Start([seen, i] { *seen = i * 10; }));
    ASSERT_TRUE(thread.WaitUntil(RunClock::now() + 10s, thread.Nudges())) << i;
    EXPECT_EQ(*seen, i * 10) << "what the call wrote is visible once it is back";
  }
  EXPECT_FALSE(thread.abandoned());
}

TEST(LibraryThread, ACallLeftAtItsDeadlineTakesNoFurtherCall) {
  auto release = std::make_shared<std::latch>(1);
  auto finished = std::make_shared<std::latch>(1);
  auto later_calls = std::make_shared<std::atomic<int>>(0);
  {
    LibraryThread thread;
    ASSERT_TRUE(thread.Start([release, finished] {
      release->wait();
      finished->count_down();
    }));
    const RunClock::time_point start = RunClock::now();
    EXPECT_FALSE(thread.WaitUntil(start + 50ms, thread.Nudges()));
    EXPECT_GE(RunClock::now() - start, 50ms) << "the wait lasts until its time";
    thread.Leave();
    EXPECT_TRUE(thread.abandoned());
    EXPECT_FALSE(thread.Start([later_calls] { ++*later_calls; }));
  } // the thread is let go, still inside its call
  release->count_down();
  finished->wait();
  EXPECT_EQ(later_calls->load(), 0);
}

} // namespace
