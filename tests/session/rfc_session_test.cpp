// The session's calls on the library's thread: a reply that comes after the run's deadline writes
// only into what its call owns, also through the error handler.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <latch>
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

} // namespace
