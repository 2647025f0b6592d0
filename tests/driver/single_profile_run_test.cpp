// Whole single-profile runs in-process, against a scripted RFC library.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "driver/sensor.h"
#include "fake_rfc_library.h"
#include "sensor_texts.h"
#include "test_platform.h"
#include "profile/password_scrambler.h"

using namespace kestrovan;

namespace {

std::string Profile() {
  std::mt19937 random(3);
  return "Extcompany.: Monitoring\nDestination: PRD\nClient.....: 100\nUser.......: monitor\n"
         "Password...: " +
         *kestrovan::ScramblePassword("Secret1", random) +
         "\nLanguage...: E\nMode.......: R/3\nHostname...: prdhost\nSysnr......: 00\n"
         "Gwhost.....: prdgw\nGwservice..: sapgw00\n";
}

const std::string kSuccess =
    "\n<Prtg>\n\n<Text>(PRD) Indices: Not_Defined=3, Missing_Indices=1.234</Text>\n"
    "\n<Result><Channel>Index_Undefined</Channel>\n<Value>3</Value></Result>\n"
    "\n<Result><Channel>Missing_Idices</Channel>\n<Value>1234</Value></Result>\n"
    "\n</Prtg>\n";

struct SensorRun {
  ScratchTree tree;
  TestPlatform os{tree};
  FakeRfc fake;
  int exit_code = -1;

  SensorRun() {
    tree.Write(kHostDir + "PRD.P00", Profile());
    tree.Write("Dev_Rfc.Trc",
               "**** ERROR file opened at 20240305 140327\nERROR       partner not reached\n");
    fake.rfcsi = Rfcsi("sapprd", "ORACLE");
    fake.not_defined_rows = 3;
    fake.missing_rows = 1234;
  }
  void Start(std::vector<std::string> args) {
    args.insert(args.begin(), "C:\\Sensors\\kestrovan.exe");
    exit_code = RunSensor(os, fake.Library(), args);
  }
};

TEST(RunOneSystem, SuccessWritesTheDocumentAloneAndRemovesTheTrace) {
  SensorRun r;
  r.Start({"PRD"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.os.stdout_text, kSuccess);
  EXPECT_FALSE(r.tree.Exists("Dev_Rfc.Trc"));
  EXPECT_EQ(r.fake.calls.back(), "RfcClose 7");
}

TEST(RunOneSystem, ACloseTheTimeRunsOutOnKeepsWhatTheChecksFound) {
  struct {
    const char *name;
    RFC_RC receive;
    std::string document;
    int exit_code;
  } cases[] = {
      {"counted", RFC_OK, kSuccess, 0},
      {"failed", RFC_FAILURE,
       ExpectedError("Error 1014: RFC-Failure raised ! - partner not reached"), 2},
  };
  for (const auto &c : cases) {
    SensorRun r;
    r.fake.receive_result["DB_ORA_MISSING_INDICES"] = c.receive;
    r.fake.close_takes = std::chrono::seconds(3);
    r.Start({"PRD", ",TIMEOUT=1"});
    EXPECT_EQ(r.os.stdout_text, c.document) << c.name;
    EXPECT_EQ(r.exit_code, c.exit_code) << c.name;
  }
}

TEST(RunOneSystem, ConsoleModeLines) {
  struct {
    const char *options;
    const char *shown;
  } cases[] = {
      {"#", "(No Parameters)"},
      {"X,CH=2#Y", "X,CH=2"},
      {"a@b#c", "a"},
      {"(No #", "(No Parameters)"},
      {"(Parameters #", "(No Parameters)"},
  };
  for (const auto &c : cases) {
    SensorRun r;
    if (std::string(c.options).find('@') != std::string::npos) {
      r.tree.Write("PRD.P00", Profile());
    }
    r.os.clock = LocalTime{2024, 3, 5, 2, 7, 5, 9};
    r.Start({"PRD", c.options});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.os.stdout_text, std::string("* 07:05:09 SAP Kestrovan Vers 4.3 / 29.08.22\n") +
                                    "* 07:05:09 PRD.P00, prdhost, PRD, 00, 100 State=Processing\n" +
                                    "* 07:05:09 Kestrovan - " + c.shown + " State=Executing\n" +
                                    kSuccess + "\n* 07:05:09 SAP Kestrovan now processed...\n")
        << c.options;
  }
}

TEST(RunOneSystem, ErrorEndings) {
  struct {
    const char *name;
    std::function<void(FakeRfc &)> script;
    std::string expected;
  } cases[] = {
      {"open_failed", [](FakeRfc &f) { f.open_result = 0; },
       ExpectedError("Error 1011: RFC-Open for PRD failed !")},
      {"not_oracle", [](FakeRfc &f) { f.rfcsi = Rfcsi("h", "MSSQL"); },
       ExpectedError("Error 1018: DataBase mismatch !")},
      {"oracle_lower_case", [](FakeRfc &f) { f.rfcsi = Rfcsi("h", "ora"); },
       ExpectedError("Error 1018: DataBase mismatch !")},
      {"system_info_exception",
       [](FakeRfc &f) { f.receive_result["RFC_SYSTEM_INFO"] = RFC_EXCEPTION; },
       ExpectedError("Error 1012: Exception.: NOT_FOUND - partner not reached")},
      {"missing_indices_failure",
       [](FakeRfc &f) { f.call_result["DB_ORA_MISSING_INDICES"] = RFC_FAILURE; },
       ExpectedError("Error 1014: RFC-Failure raised ! - partner not reached")},
  };
  for (const auto &c : cases) {
    SensorRun r;
    c.script(r.fake);
    r.Start({"PRD"});
    EXPECT_EQ(r.exit_code, 2) << c.name;
    EXPECT_EQ(r.os.stdout_text, c.expected) << c.name;
    EXPECT_TRUE(r.tree.Exists("Dev_Rfc.Trc")) << c.name << ": kept after a failure";
  }
}

TEST(RunOneSystem, ConnectionIsClosedOnEveryEndingAfterTheOpen) {
  SensorRun info;
  info.fake.receive_result["RFC_SYSTEM_INFO"] = RFC_SYS_EXCEPTION;
  info.Start({"PRD"});
  EXPECT_EQ(info.fake.calls.back(), "RfcClose 7");
  SensorRun db;
  db.fake.rfcsi = Rfcsi("h", "DB6");
  db.Start({"PRD"});
  EXPECT_EQ(db.fake.calls.back(), "RfcClose 7");
  SensorRun check;
  check.fake.receive_result["DB_ORA_MISSING_INDICES"] = RFC_EXCEPTION;
  check.Start({"PRD"});
  EXPECT_EQ(check.fake.calls.back(), "RfcClose 7");
}

// Whichever library call the handler fires in, the run ends with the block alone and exit code 1
// as soon as that call returns, even when the call itself reports success.
TEST(RunOneSystem, HandlerInAnyCallEndsWithOneAndNoDocument) {
  for (const char *operation : {"RfcOpen", "RfcInstallStructure", "RfcCall", "RfcReceive",
                                "ItCreate", "ItFill", "ItGetLine", "ItDelete", "RfcClose"}) {
    SensorRun r;
    r.fake.handler_during = operation;
    r.Start({"PRD"});
    EXPECT_EQ(r.exit_code, 1) << operation;
    EXPECT_EQ(r.os.stdout_text, std::string("RFC error\noperation/code  : ") + operation +
                                    "\nkey             : \nstatus          : \n"
                                    "message         : \ninternal status : \n\n"
                                    "* Programm aborted...\n")
        << operation;
    EXPECT_TRUE(r.tree.Exists("Dev_Rfc.Trc")) << operation;
  }
}

TEST(RunOneSystem, LogOfAWholeRun) {
  SensorRun r;
  r.Start({"PRD", ",SYSLOG"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(
      r.tree.Read(kHostDir + "Kestrovan.Log"),
      "0 program started C:\\Sensors\\kestrovan.exe\n0 RfcEnvironment called \n7 RfcOpen called \n"
      "7 RfcCall called \n7 RfcReceive called \n7 RfcCall called \n7 RfcReceive called \n");
  EXPECT_EQ(r.tree.Read(kHostDir + "Kestrovan.Log").find("Secret1"), std::string::npos);
}

TEST(RunOneSystem, OtherFlavoursAndChannelSelection) {
  SensorRun halcrest;
  halcrest.tree.Write("Kestrovan.Halcrest", "");
  halcrest.tree.Write("PRD.P00", Profile());
  halcrest.Start({"PRD"});
  EXPECT_EQ(halcrest.os.stdout_text,
            "\n# (PRD) Indices: Not_Defined=3, Missing_Indices=1.234"
            "\n\nMessage.Index_Undefined: Index_Undefined (#)\nStatistic.Index_Undefined: 3"
            "\n\nMessage.Missing_Idices: Missing_Idices (#)\nStatistic.Missing_Idices: 1234\n");
  SensorRun morvane;
  morvane.tree.Write("Kestrovan.Morvane", "");
  morvane.tree.Write("PRD.P00", Profile());
  morvane.Start({"PRD", "CH=2"});
  EXPECT_EQ(morvane.os.stdout_text, "1234\n");
}

} // namespace

namespace {

TEST(RunOneSystem, LibraryIsBoundAfterTheProfileChecksAndItsAbsenceIsAnErrorDocument) {
  struct {
    const char *name;
    std::string profile;
    std::string expected;
    bool asked;
  } cases[] = {
      {"no_library", Profile(),
       ExpectedError("RFC library librfc32.dll cannot be loaded (Windows error 126)..."), true},
      {"profile_error_first", "User.......: x\n",
       ExpectedError("Error 1007: Password in Profile PRD.P00 is missing..."), false},
  };
  for (const auto &c : cases) {
    ScratchTree tree;
    tree.Write(kHostDir + "PRD.P00", c.profile);
    TestPlatform os(tree);
    bool asked = false;
    const int exit_code =
        RunSensor(os,
                  [&](std::string *problem) -> const RfcLibrary * {
                    asked = true;
                    *problem = "RFC library librfc32.dll cannot be loaded (Windows error 126)...";
                    return nullptr;
                  },
                  {"kestrovan", "PRD", "#"});
    EXPECT_EQ(exit_code, 2) << c.name;
    EXPECT_EQ(os.stdout_text, c.expected)
        << c.name << ": nothing before the document, not even in console mode";
    EXPECT_EQ(asked, c.asked) << c.name;
  }
}

} // namespace
