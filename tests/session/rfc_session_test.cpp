// The session's calls on the library's thread: a reply that comes after the run's deadline writes
// only into what its call owns, also through the error handler.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <latch>
#include <memory>
#include <string>

#include "session/rfc_session.h"
#include "test_platform.h"

using namespace kestrovan;
using namespace std::chrono_literals;

namespace {

/// A library whose receive answers only when the test lets it, then writes every value it was
/// given and reports a failure through the error handler, as the classic library does for a
/// reply it cannot read.
struct LateLibrary {
  std::latch answer{1};
  std::latch answered{1};
  RFC_ENV environment{};
  char *written_at = nullptr; // where the late reply wrote its value
  std::string exception_name = "LATE";
  int closes = 0;
};
LateLibrary *g_late = nullptr;

const RfcLibrary &LateTable() {
  static RfcLibrary table{};
  table.Environment = [](RFC_ENV *environment) { g_late->environment = *environment; };
  table.Receive = [](RFC_HANDLE, RFC_PARAMETER *importing, RFC_TABLE *tables, char **exception) {
    g_late->answer.wait();
    std::memset(importing[0].addr, 'L', importing[0].leng);
    g_late->written_at = static_cast<char *>(importing[0].addr);
    tables[0].ithandle = 99;
    *exception = g_late->exception_name.data();
    g_late->environment.errorhandler(const_cast<char *>("RfcReceive"));
    g_late->answered.count_down();
    return RFC_RC{RFC_EXCEPTION};
  };
  table.LastError = [](RFC_ERROR_INFO *info) {
    std::strcpy(info->key, "RFC_ERROR_LATE");
    return 0;
  };
  table.Close = [](RFC_HANDLE) { ++g_late->closes; };
  return table;
}

TEST(RfcSession, AReplyAfterTheDeadlineWritesOnlyIntoItsOwnCall) {
  ScratchTree tree;
  TestPlatform os{tree};
  LateLibrary late;
  g_late = &late;
  RfcSession rfc(os, &LateTable());
  char value[8];
  std::memset(value, ' ', sizeof value);
  RFC_PARAMETER importing[] = {{const_cast<char *>("RFCSI_EXPORT"), 12, TYPC, 8, value},
                               RFC_PARAMETER{}};
  RFC_TABLE tables[] = {{const_cast<char *>("MISSING_INDEX"), 13, 0, 30, 5, 0, 0}, RFC_TABLE{}};
  char *exception = nullptr;
  {
    ErrorHandlerScope handler(rfc);
    ASSERT_FALSE(rfc.stopped());
    rfc.SetDeadline(RunClock::now() + 100ms);
    EXPECT_EQ(rfc.Receive(7, importing, tables, &exception), RFC_FAILURE);
  }
  ASSERT_TRUE(rfc.stopped());
  ASSERT_TRUE(std::holds_alternative<RfcDeadline>(*rfc.stopped()));
  EXPECT_TRUE(rfc.call_left_running());

  late.answer.count_down();
  late.answered.wait();
  ASSERT_NE(late.written_at, nullptr);
  EXPECT_NE(late.written_at, value) << "the library wrote into the caller's buffer";
  EXPECT_EQ(std::string(value, sizeof value), std::string(8, ' '));
  EXPECT_EQ(tables[0].ithandle, 5u);
  EXPECT_EQ(exception, nullptr);
  // The handler ran for the late call and recorded into its block: the session keeps its stop.
  EXPECT_EQ(late.closes, 1);
  EXPECT_EQ(std::get<RfcDeadline>(*rfc.stopped()).step, "");
  g_late = nullptr;
}

/// A library whose receive waits until the test (or a cancel) lets it go, with a limit of its own
/// for remote steps when `step_limit_ms` is set.
struct HeldLibrary {
  std::latch release{1};
  std::atomic<int> overruns{0};
  long long step_limit_ms = -1;
};
HeldLibrary *g_held = nullptr;

const RfcLibrary &HeldTable() {
  static RfcLibrary table{};
  table.Call = [](RFC_HANDLE, const char *, RFC_PARAMETER *, RFC_TABLE *) {
    return RFC_RC{RFC_OK};
  };
  table.Receive = [](RFC_HANDLE, RFC_PARAMETER *importing, RFC_TABLE *, char **) {
    g_held->release.wait();
    std::memset(importing[0].addr, 'R', importing[0].leng);
    return RFC_RC{RFC_OK};
  };
  table.StepLimit = [](RfcWait wait, RFC_HANDLE) {
    return wait == RfcWait::Remote ? g_held->step_limit_ms : -1LL;
  };
  table.Overrun = [](RfcWait, RFC_HANDLE) {
    if (g_held->overruns++ == 0) {
      g_held->release.count_down();
    }
  };
  return table;
}

/// A call and its receive, as a check makes them, into buffers of the work's own frame; what
/// the work hands the run's thread only when its session still goes on.
void CallAndReceive(RfcSession &rfc, std::atomic<bool> &reached_run, std::latch &finished) {
  char value[4] = {' ', ' ', ' ', ' '};
  RFC_PARAMETER none[] = {RFC_PARAMETER{}};
  RFC_PARAMETER importing[] = {{const_cast<char *>("VALUE"), 5, TYPC, 4, value}, RFC_PARAMETER{}};
  RFC_TABLE tables[] = {RFC_TABLE{}};
  if (rfc.Call(7, "Z_HELD", none, tables) == RFC_OK &&
      rfc.Receive(7, importing, tables, nullptr) == RFC_OK && !rfc.stopped()) {
    reached_run = value[0] == 'R';
  }
  finished.count_down();
}

TEST(RfcSession, WorkLeftInAStepReachesNothingOfTheRunAgain) {
  ScratchTree tree;
  TestPlatform os{tree};
  HeldLibrary held;
  g_held = &held;
  RfcSession rfc(os, &HeldTable());
  rfc.SetDeadline(RunClock::now() + 100ms);
  auto reached_run = std::make_shared<std::atomic<bool>>(false);
  auto finished = std::make_shared<std::latch>(1);
  EXPECT_FALSE(rfc.OnLibraryThread([reached_run, finished](RfcSession &work) {
    CallAndReceive(work, *reached_run, *finished);
  }));
  ASSERT_TRUE(rfc.stopped());
  EXPECT_EQ(std::get<RfcDeadline>(*rfc.stopped()).step, "Z_HELD");
  EXPECT_TRUE(rfc.call_left_running());
  EXPECT_FALSE(rfc.OnLibraryThread([](RfcSession &) { ADD_FAILURE() << "taken after a leave"; }));

  held.release.count_down();
  finished->wait();
  EXPECT_FALSE(*reached_run) << "the late receive went on as if the run still waited";
  g_held = nullptr;
}

TEST(RfcSession, AStepWithAShorterLimitThanTheWaitIsToldWhenItRunsOver) {
  // The run's thread sleeps to the deadline when the work begins; the remote step's 50 ms must
  // wake it, or the receive is cancelled only when the run's time is up.
  ScratchTree tree;
  TestPlatform os{tree};
  HeldLibrary held;
  held.step_limit_ms = 50;
  g_held = &held;
  RfcSession rfc(os, &HeldTable());
  rfc.SetDeadline(RunClock::now() + 10s);
  auto reached_run = std::make_shared<std::atomic<bool>>(false);
  auto finished = std::make_shared<std::latch>(1);
  EXPECT_TRUE(rfc.OnLibraryThread([reached_run, finished](RfcSession &work) {
    CallAndReceive(work, *reached_run, *finished);
  }));
  EXPECT_GE(held.overruns.load(), 1);
  EXPECT_TRUE(*reached_run);
  EXPECT_FALSE(rfc.stopped());
  g_held = nullptr;
}

} // namespace
