// The run's time limit: whatever a system or the library does, the sensor answers within it with a
// whole document, single-profile and global alike.
#include <gtest/gtest.h>

#include <chrono>

#include "sapsim_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

/// The bound the monitor relies on: the time limit plus a margin for starting and ending.
constexpr auto kMargin = std::chrono::seconds(2);

struct Timed {
  ProcessResult result;
  Clock::duration took;
};

Timed TimedSensor(const Landscape &l, const std::vector<std::string> &args) {
  const Clock::time_point start = Clock::now();
  ProcessResult result = l.Sensor(args);
  return {std::move(result), Clock::now() - start};
}

/// Library limits far beyond the run's: the calls they bound never come back within the test,
/// as with a library that has no limits of its own.
void LimitsBeyondTheRun(Landscape &l) {
  l.tree.Write("RfcStandin.ini",
               "CONNECT_TIMEOUT=600s\nCALL_TIMEOUT=600s\nCONNECTION_TIMEOUT=600s\n");
  l.tree.Write("NwRfcLimits.ini",
               "CONNECT_TIMEOUT=600s\nCALL_TIMEOUT=600s\nCONNECTION_TIMEOUT=600s\n");
}

/// PRD on a simulated system with the faults in system_lines, behind limits beyond the run's.
void PrdAnswering(Landscape &l, const std::string &system_lines, int sysnr) {
  LimitsBeyondTheRun(l);
  SimulatedSystemAnswers spec;
  spec.extra = system_lines;
  auto &sys = l.Start(spec, sysnr);
  l.tree.Write(kHostDir + "PRD.P00", ProfileFor("PRD", sys.Address(), sysnr));
}

TEST(DeadlineEndToEnd, SingleRunNamesTheStepThatDidNotAnswer) {
  const struct {
    const char *name;
    const char *system_lines;
    const char *step;
  } cases[] = {
      {"silent_logon", "logon_delay = 600000\n", "the logon"},
      {"hanging_logon", "fail.logon = hang\n", "the logon"},
      {"call_not_accepted", "fail.rfc_system_info = call_hang\n", "RFC_SYSTEM_INFO"},
      {"system_info_unanswered", "fail.rfc_system_info = hang\n", "RFC_SYSTEM_INFO"},
      {"slow_missing_indices", "delay.db_ora_missing_indices = 600000\n", "DB_ORA_MISSING_INDICES"},
      {"reply_stalled_half_way", "fail.db_ora_missing_indices = stall\n", "DB_ORA_MISSING_INDICES"},
      {"reply_trickling", "fail.rfc_system_info = trickle\n", "RFC_SYSTEM_INFO"},
  };
  for (const auto &c : cases) {
    Landscape l;
    PrdAnswering(l, c.system_lines, 40);
    const Timed t = TimedSensor(l, {"PRD", ",TIMEOUT=3"});
    EXPECT_EQ(t.result.stdout_text, ExpectedError(std::string("Error 1031: PRD did not answer ") +
                                                  c.step + " within the time limit of 3 s..."))
        << c.name;
    EXPECT_EQ(t.result.exit_code, 2) << c.name;
    EXPECT_EQ(t.result.stderr_text, "") << c.name;
    EXPECT_LT(t.took, std::chrono::seconds(3) + kMargin) << c.name;
  }
}

TEST(DeadlineEndToEnd, AnAnswerInsideTheLimitIsTheResult) {
  // Two of the limit's three seconds pass before the system answers.
  Landscape l;
  PrdAnswering(l, "delay.db_ora_missing_indices = 2000\n", 46);
  const Timed t = TimedSensor(l, {"PRD", ",TIMEOUT=3"});
  EXPECT_EQ(t.result.stdout_text,
            "\n<Prtg>\n\n<Text>(PRD) Indices: Not_Defined=3, Missing_Indices=1.234</Text>\n"
            "\n<Result><Channel>Index_Undefined</Channel>\n<Value>3</Value></Result>\n"
            "\n<Result><Channel>Missing_Idices</Channel>\n<Value>1234</Value></Result>\n"
            "\n</Prtg>\n");
  EXPECT_EQ(t.result.exit_code, 0);
  EXPECT_GE(t.took, std::chrono::seconds(2));
}

TEST(DeadlineEndToEnd, ConsoleLinesComeBeforeTheEnding) {
  Landscape l;
  PrdAnswering(l, "fail.rfc_system_info = hang\n", 41);
  const Timed t = TimedSensor(l, {"PRD", ",TIMEOUT=2 #"});
  const std::string ending = ExpectedError(
      "Error 1031: PRD did not answer RFC_SYSTEM_INFO within the time limit of 2 s...");
  EXPECT_TRUE(t.result.stdout_text.ends_with(" State=Executing\n" + ending))
      << t.result.stdout_text;
  EXPECT_EQ(t.result.exit_code, 2);
}

TEST(DeadlineEndToEnd, GlobalWalkOfSilentSystemsEndsWithItsSummary) {
  Landscape l;
  LimitsBeyondTheRun(l);
  SimulatedSystemAnswers spec;
  spec.extra = "logon_delay = 600000\n";
  auto &sys = l.Start(spec, 42);
  std::string listing;
  for (int i = 1; i <= 20; ++i) {
    const std::string sid = "S" + std::to_string(i);
    l.tree.Write(kHostDir + sid + ".P00", ProfileFor(sid, sys.Address(), 42));
    listing += sid + ".P00#";
  }
  l.tree.Write(kHostDir + "SAP Tessaloy.Gbl",
               "# GSNG: PROD      : " + listing +
                   "\r\n# GSNX: PROD      : Item=Missing_Idices,,TIMEOUT=5,Sensor=\"SAP "
                   "Kestrovan\",Sid\r\n");
  const Timed t = TimedSensor(l, {"GLOBAL", "PROD"});
  EXPECT_EQ(t.result.stdout_text,
            "\n<Prtg>\n\n\n<Text>(***) Missing_Idices: NoSystems=20, Processed=0, Failed=20, "
            "Time limit of 5 s reached at S1.P00, Not reached=19</Text>\n\n</Prtg>\n\n");
  EXPECT_EQ(t.result.exit_code, 0);
  EXPECT_EQ(t.result.stderr_text, "");
  EXPECT_LT(t.took, std::chrono::seconds(5) + kMargin);
}

TEST(DeadlineEndToEnd, GlobalWalkKeepsTheChannelsWrittenBeforeTheCut) {
  Landscape l;
  LimitsBeyondTheRun(l);
  SimulatedSystemAnswers fast;
  fast.missing = 7;
  auto &first = l.Start(fast, 43);
  SimulatedSystemAnswers slow;
  slow.extra = "fail.db_ora_missing_indices = hang\n";
  auto &second = l.Start(slow, 44);
  l.tree.Write(kHostDir + "PRD.P00", ProfileFor("PRD", first.Address(), 43));
  l.tree.Write(kHostDir + "QAS.P00", ProfileFor("QAS", second.Address(), 44));
  l.tree.Write(kHostDir + "DEV.P00", ProfileFor("DEV", first.Address(), 43));
  l.tree.Write(kHostDir + "SAP Tessaloy.Gbl",
               "# GSNG: PROD      : PRD.P00#QAS.P00#DEV.P00#\r\n# GSNX: PROD      : "
               "Item=Missing_Idices,,TIMEOUT=3,Sensor=\"SAP Kestrovan\",Sid\r\n");
  const Timed t = TimedSensor(l, {"GLOBAL", "PROD"});
  EXPECT_EQ(t.result.stdout_text,
            "\n<Prtg>\n\n\n<Result><Channel>PRD</Channel>\n<Value>7</Value></Result>\n"
            "\n<Text>(***) Missing_Idices: NoSystems=3, Processed=1, Failed=2, "
            "Time limit of 3 s reached at QAS.P00, Not reached=1</Text>\n\n</Prtg>\n\n");
  EXPECT_EQ(t.result.exit_code, 0);
  EXPECT_LT(t.took, std::chrono::seconds(3) + kMargin);
}

TEST(DeadlineEndToEnd, AMillionLinesAreCountedWellWithinTheLimit) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "sanitized programs take longer than the limit for the reply alone";
#endif
  // Counting hands the library no work per line that would eat the run's time.
  Landscape l;
  SimulatedSystemAnswers spec;
  spec.missing = 1000000;
  auto &sys = l.Start(spec, 45);
  l.tree.Write(kHostDir + "PRD.P00", ProfileFor("PRD", sys.Address(), 45));
  const Timed t = TimedSensor(l, {"PRD", ",TIMEOUT=20"});
  EXPECT_EQ(t.result.stdout_text,
            "\n<Prtg>\n\n<Text>(PRD) Indices: Not_Defined=3, Missing_Indices=1.000.000</Text>\n"
            "\n<Result><Channel>Index_Undefined</Channel>\n<Value>3</Value></Result>\n"
            "\n<Result><Channel>Missing_Idices</Channel>\n<Value>1000000</Value></Result>\n"
            "\n</Prtg>\n");
  EXPECT_EQ(t.result.exit_code, 0);
}

} // namespace
