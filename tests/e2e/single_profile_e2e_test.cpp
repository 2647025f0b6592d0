// Single-profile runs of the built sensor against simulated systems, compared byte for byte.
#include <gtest/gtest.h>

#include <chrono>
#include <regex>

#include "programs.h"
#include "sapsim_fixture.h"

namespace {

const std::string kSuccess =
    "\n<Prtg>\n\n<Text>(PRD) Indices: Not_Defined=3, Missing_Indices=1.234</Text>\n"
    "\n<Result><Channel>Index_Undefined</Channel>\n<Value>3</Value></Result>\n"
    "\n<Result><Channel>Missing_Idices</Channel>\n<Value>1234</Value></Result>\n"
    "\n</Prtg>\n";

TEST(SingleProfileEndToEnd, SuccessWritesTheDocumentAndRemovesTheTrace) {
  Landscape l;
  auto &sys = l.Start({}, 0);
  l.tree.Write(kHostDir + "PRD.P00", ProfileFor("PRD", sys.Address(), 0));
  l.tree.Write("Dev_Rfc.Trc", "**** ERROR file opened at 20240101 000000\nERROR       earlier\n");
  const ProcessResult r = l.Sensor({"PRD"});
  EXPECT_EQ(r.stdout_text, kSuccess) << sys.Log();
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.stderr_text, "");
  EXPECT_FALSE(l.tree.Exists("Dev_Rfc.Trc"));
}

TEST(SingleProfileEndToEnd, EveryFlavour) {
  struct {
    const char *name;
    const char *switch_file;
    const char *options;
    std::string expected;
  } cases[] = {
      {"vintrel", "Kestrovan.Vintrel", "", kSuccess},
      {"pellith", "Kestrovan.Pellith", "", kSuccess},
      {"halcrest", "Kestrovan.Halcrest", "",
       "\n# (PRD) Indices: Not_Defined=3, Missing_Indices=1.234"
       "\n\nMessage.Index_Undefined: Index_Undefined (#)\nStatistic.Index_Undefined: 3"
       "\n\nMessage.Missing_Idices: Missing_Idices (#)\nStatistic.Missing_Idices: 1234\n"},
      {"morvane", "Kestrovan.Morvane", "",
       "\n# (PRD) Indices: Not_Defined=3, Missing_Indices=1.234\n> Index_Undefined: 3 #\n> "
       "Missing_Idices: 1234 #\n"},
      {"morvane_channel", "Kestrovan.Morvane", "ch=1", "3\n"},
  };
  Landscape l;
  auto &sys = l.Start({}, 1);
  l.tree.Write("PRD.P00", ProfileFor("PRD", sys.Address(), 1)); // front ends open it where named
  for (const auto &c : cases) {
    l.tree.Write(c.switch_file, "");
    const ProcessResult r = l.Sensor({"PRD", c.options});
    std::filesystem::remove(l.tree.Local(c.switch_file));
    EXPECT_EQ(r.stdout_text, c.expected) << c.name;
    EXPECT_EQ(r.exit_code, 0) << c.name;
  }
}

TEST(SingleProfileEndToEnd, ConsoleMode) {
  Landscape l;
  auto &sys = l.Start({}, 2);
  l.tree.Write(kHostDir + "PRD.P00", ProfileFor("PRD", sys.Address(), 2));
  const ProcessResult r = l.Sensor({"PRD", "#"});
  EXPECT_EQ(r.exit_code, 0);
  const std::string t = "\\d\\d:\\d\\d:\\d\\d";
  const std::regex expected("\\* (" + t +
                            ") SAP Kestrovan Vers 4\\.3 / 29\\.08\\.22\n"
                            "\\* (" +
                            t + ") PRD\\.P00, " +
                            std::regex_replace(sys.Address(), std::regex("\\."), "\\.") +
                            ", PRD, 02, 100 State=Processing\n"
                            "\\* \\2 Kestrovan - \\(No Parameters\\) State=Executing\n" +
                            std::regex_replace(kSuccess, std::regex("[()<>/.\\[\\]]"), "\\$&") +
                            "\n\\* " + t + " SAP Kestrovan now processed\\.\\.\\.\n");
  EXPECT_TRUE(std::regex_match(r.stdout_text, expected)) << r.stdout_text;
}

TEST(SingleProfileEndToEnd, FailedOpens) {
  Landscape l;
  auto &sys = l.Start({}, 3);
  SimulatedSystemAnswers echoing;
  echoing.extra = "fail.logon = failure Logon of MONITOR with Secret1 refused\n";
  auto &echo = l.Start(echoing, 13);
  const std::string nowhere = kestrovan_test::RandomLoopbackAddress();
  struct {
    const char *name;
    std::string profile;
    std::string trace_reason;
    const char *password;
  } cases[] = {
      // Through the NetWeaver library the partner is named, as SAP's network layer names it.
      {"unreachable", ProfileFor("PRD", nowhere, 3),
       TestingNwRfcBinding() ? "ERROR       partner '" + nowhere + ":3303' not reached"
                             : "ERROR       partner not reached",
       "Secret1"},
      {"rejected_logon", ProfileFor("PRD", sys.Address(), 3, "Wrong1"),
       "Name or password is incorrect", "Wrong1"},
      {"password_repeated", ProfileFor("PRD", echo.Address(), 13),
       "Logon of MONITOR with ******* refused", "Secret1"},
  };
  for (const auto &c : cases) {
    l.tree.Write(kHostDir + "PRD.P00", c.profile);
    const ProcessResult r = l.Sensor({"PRD"});
    EXPECT_EQ(r.stdout_text, ExpectedError("Error 1011: RFC-Open for PRD failed !")) << c.name;
    EXPECT_EQ(r.exit_code, 2) << c.name;
    EXPECT_NE(l.tree.Read("Dev_Rfc.Trc").find(c.trace_reason), std::string::npos) << c.name;
    EXPECT_EQ(l.tree.Read("Dev_Rfc.Trc").find(c.password), std::string::npos)
        << c.name << ": no password in the trace";
    EXPECT_EQ(r.stdout_text.find(c.password), std::string::npos) << c.name;
  }
}

TEST(SingleProfileEndToEnd, TestLibrarySendsNothingOffThisMachine) {
  // Documentation addresses (TEST-NET-1, 2001:db8::/32): the library refuses them before it
  // connects, also when the settings allow another network. The sensor runs where they are on
  // its own loopback device, so that a library that did try would still send nothing away.
  if (const std::optional<std::string> why = NoOwnNetwork()) {
    GTEST_SKIP() << *why;
  }
  struct {
    const char *name;
    const char *host;
    const char *settings;
  } cases[] = {
      {"ipv4", "192.0.2.1", ""},
      {"ipv6", "2001:db8::1", ""},
      {"other_network_allowed", "192.0.2.1", "TEST_NETWORK=198.51.100.0/24, 192.0.3.1\n"},
  };
  for (const auto &c : cases) {
    Landscape l;
    l.tree.Write("RfcStandin.ini", std::string("CONNECT_TIMEOUT=30\n") + c.settings);
    l.tree.Write(kHostDir + "PRD.P00", ProfileFor("PRD", c.host, 0));
    const auto start = std::chrono::steady_clock::now();
    const ProcessResult r = l.SensorInOwnNetwork({"PRD"}, {c.host});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << c.name;
    EXPECT_EQ(r.stdout_text, ExpectedError(TestLibraryRefusal("PRD"))) << c.name;
    EXPECT_EQ(r.exit_code, 2) << c.name;
    const std::string trace = l.tree.Read("Dev_Rfc.Trc");
    EXPECT_NE(trace.find("partner not on this machine: the stand-in is a test library"),
              std::string::npos)
        << c.name << "\n"
        << trace;
    EXPECT_NE(trace.find(std::string(c.host) + " is neither a loopback address"), std::string::npos)
        << c.name << "\n"
        << trace;
  }
}

TEST(SingleProfileEndToEnd, RemoteFailures) {
  struct {
    const char *name;
    std::string line;
    std::string text;
  } cases[] = {
      {"info_exception", "fail.rfc_system_info = exception NOT_FOUND No such thing",
       "Error 1012: Exception.: NOT_FOUND - No such thing"},
      {"info_system_exception", "fail.rfc_system_info = system_exception",
       "Error 1013: Sys-Exception raised ! - Error in RFC_SYSTEM_INFO of the called system"},
      {"info_failure", "fail.rfc_system_info = failure Database is down",
       "Error 1014: RFC-Failure raised ! - Database is down"},
      {"info_hang", "fail.rfc_system_info = hang",
       "Error 1014: RFC-Failure raised ! - timeout during receive"},
      {"info_stall", "fail.rfc_system_info = stall",
       "Error 1014: RFC-Failure raised ! - timeout during receive"},
      {"info_trickle", "fail.rfc_system_info = trickle",
       "Error 1014: RFC-Failure raised ! - timeout during receive"},
      {"info_drop", "fail.rfc_system_info = drop",
       "Error 1014: RFC-Failure raised ! - connection closed by partner"},
      {"indices_exception", "fail.db_ora_missing_indices = exception NO_AUTHORITY No authority",
       "Error 1012: Exception.: NO_AUTHORITY - No authority"},
      {"indices_failure", "fail.db_ora_missing_indices = failure",
       "Error 1014: RFC-Failure raised ! - Error in DB_ORA_MISSING_INDICES of the called system"},
      {"indices_call_failure", "fail.db_ora_missing_indices = call_failure Busy",
       "Error 1014: RFC-Failure raised ! - Busy"},
      // A partner repeating the logon password long after the logon: masked all the same.
      {"info_failure_repeats_password", "fail.rfc_system_info = failure Secret1 expired",
       "Error 1014: RFC-Failure raised ! - ******* expired"},
      {"indices_call_failure_repeats_password",
       "fail.db_ora_missing_indices = call_failure Secret1 is locked",
       "Error 1014: RFC-Failure raised ! - ******* is locked"},
  };
  for (const auto &c : cases) {
    Landscape l;
    l.ShortTimeouts();
    SimulatedSystemAnswers spec;
    spec.extra = c.line + "\n";
    auto &sys = l.Start(spec, 4);
    l.tree.Write(kHostDir + "PRD.P00", ProfileFor("PRD", sys.Address(), 4));
    const ProcessResult r = l.Sensor({"PRD"});
    EXPECT_EQ(r.stdout_text, ExpectedError(c.text)) << c.name;
    EXPECT_EQ(r.exit_code, 2) << c.name;
    EXPECT_TRUE(l.tree.Exists("Dev_Rfc.Trc")) << c.name;
    EXPECT_EQ(l.tree.Read("Dev_Rfc.Trc").find("Secret1"), std::string::npos) << c.name;
  }
}

TEST(SingleProfileEndToEnd, DatabaseMismatch) {
  for (const char *db : {"MSSQL", "ora", "DB6"}) {
    Landscape l;
    SimulatedSystemAnswers spec;
    spec.dbsys = db;
    auto &sys = l.Start(spec, 5);
    l.tree.Write(kHostDir + "PRD.P00", ProfileFor("PRD", sys.Address(), 5));
    const ProcessResult r = l.Sensor({"PRD"});
    EXPECT_EQ(r.stdout_text, ExpectedError("Error 1018: DataBase mismatch !")) << db;
    EXPECT_EQ(r.exit_code, 2) << db;
  }
}

TEST(SingleProfileEndToEnd, MalformedReplyEndsThroughTheErrorHandler) {
  Landscape l;
  SimulatedSystemAnswers spec;
  spec.extra = "fail.db_ora_missing_indices = garbage\n";
  auto &sys = l.Start(spec, 6);
  l.tree.Write(kHostDir + "PRD.P00", ProfileFor("PRD", sys.Address(), 6));
  const ProcessResult r = l.Sensor({"PRD"});
  EXPECT_EQ(r.exit_code, 1);
  const std::regex block(kReceiveBlockPattern);
  EXPECT_TRUE(std::regex_match(r.stdout_text, block)) << r.stdout_text;
  EXPECT_EQ(r.stdout_text.find("Secret1"), std::string::npos);
}

TEST(SingleProfileEndToEnd, PerDestinationFile) {
  Landscape l;
  auto &sys = l.Start({}, 7);
  // The profile names an unreachable host: the destination file decides where the run goes.
  l.tree.Write(kHostDir + "PRD.P00", ProfileFor("PRD", "127.0.0.2", 9));
  const std::string ini =
      "/* demo */\r\nDEST=PRD\r\nTYPE=A\r\nASHOST=" + sys.Address() + "\r\nSYSNR=07\r\n";
  l.tree.Write("SapRfc.PRD", ini);
  const ProcessResult r = l.Sensor({"PRD"});
  EXPECT_EQ(r.stdout_text, "* SapRfc.Ini.......: PRD<\n" + kSuccess) << sys.Log();
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(l.tree.Read("SapRfc.ini"), ini);
}

TEST(SingleProfileEndToEnd, HostAndNumberOptions) {
  Landscape l;
  auto &sys = l.Start({}, 8);
  l.tree.Write(kHostDir + "PRD.P00", ProfileFor("PRD", "127.0.0.2", 9));
  const ProcessResult wrong = l.Sensor({"PRD"});
  EXPECT_EQ(wrong.stdout_text, ExpectedError("Error 1011: RFC-Open for PRD failed !"));
  const ProcessResult r = l.Sensor({"PRD", ",HOST=" + sys.Address() + ",NO=08"});
  EXPECT_EQ(r.stdout_text, kSuccess);
  EXPECT_EQ(r.exit_code, 0);
  const ProcessResult split = l.Sensor({"PRD", ",host=" + sys.Address(), ",no=8"});
  EXPECT_EQ(split.stdout_text, kSuccess);
}

} // namespace
