// The call step, system information and missing indices against a scripted library.
#include <gtest/gtest.h>

#include "checks/missing_indices.h"
#include "checks/system_info.h"
#include "fake_run.h"
#include "output/log_lines.h"
#include "output/option_text.h"
#include "rfc/error_report.h"
#include "test_platform.h"

namespace {

struct Fixture : FakeRun {
  Fixture() {
    state.Connection.destination = "PRD";
    InstallErrorHandler(state);
    fake.calls.clear();
  }
  ~Fixture() { ForgetErrorHandlerRun(state); }

  /// Runs an operation that may end the run; returns the exit code or -1.
  template <typename F> int Ending(F operation) {
    try {
      operation();
    } catch (const RunEnded &ended) {
      return ended.exit_code;
    }
    return -1;
  }
};

std::string Rfcsi(const std::string &host, const std::string &dbsys) {
  std::string r(200, ' ');
  r.replace(45, host.size(), host);
  r.replace(101, dbsys.size(), dbsys);
  return r;
}

TEST(SystemInfo, KeepsHostAndDatabaseWithTheirBlanks) {
  Fixture f;
  f.fake.rfcsi = Rfcsi("sapprd", "ORACLE");
  f.state.RunStatus = "ERR";
  EXPECT_EQ(ReadSystemInfo(f.state, 7), RFC_OK);
  EXPECT_EQ(f.state.RunStatus, "OK");
  EXPECT_EQ(f.state.DisplayHost, "sapprd  ");
  EXPECT_EQ(f.state.DatabaseSystem, "ORACLE    ");
  EXPECT_EQ(f.fake.calls,
            (std::vector<std::string>{"RfcInstallStructure RFCSI", "RfcCall RFC_SYSTEM_INFO",
                                      "RfcReceive RFC_SYSTEM_INFO"}));
}

TEST(SystemInfo, FieldsEndAtAZeroByte) {
  Fixture f;
  std::string r = Rfcsi("ab", "ORA");
  r[47] = '\0';
  f.fake.rfcsi = r;
  ReadSystemInfo(f.state, 7);
  EXPECT_EQ(f.state.DisplayHost, "ab");
}

struct FailureCase {
  const char *name;
  RFC_RC call, receive;
  const char *message;
  bool received;
};

const FailureCase kFailures[] = {
    {"call_failure", RFC_FAILURE, RFC_OK, "Error 1014: RFC-Failure raised !", false},
    {"receive_failure", RFC_OK, RFC_FAILURE, "Error 1014: RFC-Failure raised !", true},
    {"exception", RFC_OK, RFC_EXCEPTION, "Error 1012: Exception.: NOT_FOUND", true},
    {"system_exception", RFC_OK, RFC_SYS_EXCEPTION, "Error 1013: Sys-Exception raised !", true},
    {"other", RFC_OK, 23, "Error 1015: Other Failure raised !", true},
    {"other_from_call", 4, RFC_OK, "Error 1015: Other Failure raised !", false},
};

class CheckFailures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(CheckFailures, SystemInfoAppendsTheMessageAndKeepsValues) {
  Fixture f;
  f.fake.call_result["RFC_SYSTEM_INFO"] = GetParam().call;
  f.fake.receive_result["RFC_SYSTEM_INFO"] = GetParam().receive;
  f.state.RunStatus = "ERR";
  f.state.DisplayHost = "before";
  f.state.ResultDocument = "";
  ReadSystemInfo(f.state, 7);
  EXPECT_EQ(f.state.RunStatus, "ERR");
  EXPECT_EQ(f.state.ResultDocument, GetParam().message);
  EXPECT_EQ(f.state.DisplayHost, "before");
  const bool received = std::find(f.fake.calls.begin(), f.fake.calls.end(),
                                  "RfcReceive RFC_SYSTEM_INFO") != f.fake.calls.end();
  EXPECT_EQ(received, GetParam().received);
}

TEST_P(CheckFailures, MissingIndicesAppendsTheMessageAndDeletesTables) {
  Fixture f;
  f.fake.call_result["DB_ORA_MISSING_INDICES"] = GetParam().call;
  f.fake.receive_result["DB_ORA_MISSING_INDICES"] = GetParam().receive;
  f.state.ResultDocument = "";
  CheckMissingIndices(f.state, 7);
  EXPECT_EQ(f.state.RunStatus, "ERR");
  EXPECT_EQ(f.state.ResultDocument, GetParam().message);
  EXPECT_EQ(f.fake.calls.back(), "ItDelete MISSING_INDEX");
  EXPECT_EQ(f.fake.calls[f.fake.calls.size() - 2], "ItDelete INDEX_NOT_DEFINED");
}

INSTANTIATE_TEST_SUITE_P(AllFailures, CheckFailures, ::testing::ValuesIn(kFailures),
                         [](const auto &p) { return std::string(p.param.name); });

TEST(MissingIndices, OneSystemResultWithGroupedText) {
  struct {
    unsigned not_defined, missing;
    const char *text;
  } cases[] = {
      {0, 0, "(PRD) Indices: Not_Defined=0, Missing_Indices=0"},
      {3, 1234, "(PRD) Indices: Not_Defined=3, Missing_Indices=1.234"},
      {999, 1000, "(PRD) Indices: Not_Defined=999, Missing_Indices=1.000"},
  };
  for (const auto &c : cases) {
    Fixture f;
    f.fake.not_defined_rows = c.not_defined;
    f.fake.missing_rows = c.missing;
    EXPECT_EQ(CheckMissingIndices(f.state, 7), RFC_OK);
    EXPECT_EQ(f.state.RunStatus, "OK");
    EXPECT_EQ(f.state.ResultDocument, std::string("\n<Prtg>\n\n<Text>") + c.text + "</Text>\n" +
                                          "\n<Result><Channel>Index_Undefined</Channel>\n<Value>" +
                                          std::to_string(c.not_defined) + "</Value></Result>\n" +
                                          "\n<Result><Channel>Missing_Idices</Channel>\n<Value>" +
                                          std::to_string(c.missing) + "</Value></Result>\n" +
                                          "\n</Prtg>\n");
  }
}

TEST(MissingIndices, OrderOfLibraryCalls) {
  Fixture f;
  f.fake.missing_rows = 2;
  CheckMissingIndices(f.state, 7);
  EXPECT_EQ(f.fake.calls, (std::vector<std::string>{
                              "ItCreate INDEX_NOT_DEFINED", "ItCreate MISSING_INDEX",
                              "RfcInstallStructure DATE_TIME", "RfcInstallStructure ORA_MISS",
                              "RfcCall DB_ORA_MISSING_INDICES", "RfcReceive DB_ORA_MISSING_INDICES",
                              "ItDelete INDEX_NOT_DEFINED", "ItDelete MISSING_INDEX"}));
  f.fake.calls.clear();
  CheckMissingIndices(f.state, 7);
  EXPECT_EQ(
      std::count_if(f.fake.calls.begin(), f.fake.calls.end(),
                    [](const std::string &c) { return c.rfind("RfcInstallStructure", 0) == 0; }),
      0)
      << "structures are installed once per process";
}

TEST(MissingIndices, GlobalRunWritesOnlyTheSelectedChannel) {
  struct {
    const char *item;
    const char *written;
  } cases[] = {
      {"Missing_Idices", "\n<Result><Channel>PRD</Channel>\n<Value>5</Value></Result>\n"},
      {"Index_Undefined", "\n<Result><Channel>PRD</Channel>\n<Value>2</Value></Result>\n"},
      {"missing_idices", ""},
      {"Other", ""},
  };
  for (const auto &c : cases) {
    Fixture f;
    f.state.GlobalListing = true;
    f.state.ItemName = c.item;
    f.state.SystemChannelName = "PRD";
    f.fake.not_defined_rows = 2;
    f.fake.missing_rows = 5;
    f.state.ResultDocument = "left over";
    CheckMissingIndices(f.state, 7);
    EXPECT_EQ(f.state.RunStatus, "OK") << c.item;
    EXPECT_EQ(f.os.stdout_text, c.written) << c.item;
    EXPECT_EQ(f.state.ResultDocument, "") << c.item;
  }
}

TEST(MissingIndices, TableFailuresEndThroughTheHandler) {
  struct {
    const char *name;
    bool FakeRfc::*flag;
    const char *table;
    const char *operation;
  } cases[] = {
      {"create_not_defined", &FakeRfc::fail_it_create, "INDEX_NOT_DEFINED",
       "ItCreate INDEX_NOT_DEFINED"},
      {"create_missing", &FakeRfc::fail_it_create, "MISSING_INDEX", "ItCreate MISSING_INDEX"},
      {"line_not_defined", &FakeRfc::fail_it_get_line, "INDEX_NOT_DEFINED",
       "ItGetLine INDEX_NOT_DEFINED"},
      {"line_missing", &FakeRfc::fail_it_get_line, "MISSING_INDEX", "ItGetLine MISSING_INDEX"},
      {"delete_not_defined", &FakeRfc::fail_it_delete, "INDEX_NOT_DEFINED",
       "ItDelete INDEX_NOT_DEFINED"},
      {"delete_missing", &FakeRfc::fail_it_delete, "MISSING_INDEX", "ItDelete MISSING_INDEX"},
  };
  for (const auto &c : cases) {
    Fixture f;
    f.fake.*(c.flag) = true;
    f.fake.fail_table = c.table;
    f.fake.not_defined_rows = 1;
    f.fake.missing_rows = 1;
    EXPECT_EQ(f.Ending([&] { CheckMissingIndices(f.state, 7); }), 1) << c.name;
    EXPECT_EQ(f.os.stdout_text.substr(0, 10 + 18 + std::string(c.operation).size() + 1),
              std::string("RFC error\noperation/code  : ") + c.operation + "\n")
        << c.name;
  }
}

TEST(CallStep, FailedInstallEndsTheRun) {
  Fixture f;
  f.fake.install_result = RFC_FAILURE;
  EXPECT_EQ(f.Ending([&] { ReadSystemInfo(f.state, 7); }), 1);
  EXPECT_NE(f.os.stdout_text.find("operation/code  : RfcInstallStructure\n"), std::string::npos);
}

TEST(CallStep, LogLinesForCallAndReceive) {
  Fixture f;
  SetParameterString(f.state, ",SYSLOG");
  OpenLogStream(f.state);
  f.fake.call_result["RFC_SYSTEM_INFO"] = RFC_FAILURE;
  ReadSystemInfo(f.state, 7);
  f.fake.call_result.clear();
  ReadSystemInfo(f.state, 7);
  f.state.LogStream.reset();
  EXPECT_EQ(f.tree.Read("Kestrovan.Log"),
            "7 RfcCall called \n7 RfcCall called \n7 RfcReceive called \n");
}

} // namespace
