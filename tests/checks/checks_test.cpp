// The two checks against a scripted library: what they return, and how library failures end.
#include <gtest/gtest.h>

#include <algorithm>

#include "checks/checks.h"
#include "fake_run.h"
#include "output/result_document.h"
#include "sensor_texts.h"

using namespace kestrovan;

namespace {

struct Fixture : FakeRun {
  ErrorHandlerScope handler{rfc};
  Fixture() { fake.calls.clear(); }
};

TEST(SystemInfo, KeepsHostAndDatabaseWithTheirBlanks) {
  Fixture f;
  f.fake.rfcsi = Rfcsi("sapprd", "ORACLE");
  const CheckResult<SystemInfo> info = ReadSystemInfo(f.rfc, 7);
  ASSERT_TRUE(info.found);
  EXPECT_EQ(info.found->host, "sapprd  ");
  EXPECT_EQ(info.found->database_system, "ORACLE    ");
}

TEST(SystemInfo, FieldsEndAtAZeroByte) {
  Fixture f;
  std::string r = Rfcsi("ab", "ORA");
  r[47] = '\0';
  f.fake.rfcsi = r;
  EXPECT_EQ(ReadSystemInfo(f.rfc, 7).found->host, "ab");
}

TEST(SystemInfo, OracleIsRecognisedByItsFirstThreeLetters) {
  EXPECT_TRUE(IsOracle("ORACLE    "));
  EXPECT_TRUE(IsOracle("ORA"));
  EXPECT_FALSE(IsOracle("ora"));
  EXPECT_FALSE(IsOracle(" ORACLE"));
  EXPECT_FALSE(IsOracle("MSSQL"));
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

void PrintTo(const FailureCase &c, std::ostream *out) { *out << c.name; }

class CheckFailures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(CheckFailures, SystemInfoReturnsTheFailure) {
  Fixture f;
  f.fake.call_result["RFC_SYSTEM_INFO"] = GetParam().call;
  f.fake.receive_result["RFC_SYSTEM_INFO"] = GetParam().receive;
  const CheckResult<SystemInfo> info = ReadSystemInfo(f.rfc, 7);
  EXPECT_FALSE(info.found);
  EXPECT_EQ(info.failure.code, GetParam().call != RFC_OK ? GetParam().call : GetParam().receive);
  EXPECT_EQ(info.failure.text, GetParam().message);
  // A receive after a failed call would read an answer that never came.
  const bool received = std::find(f.fake.calls.begin(), f.fake.calls.end(),
                                  "RfcReceive RFC_SYSTEM_INFO") != f.fake.calls.end();
  EXPECT_EQ(received, GetParam().received);
}

TEST_P(CheckFailures, MissingIndicesReturnsTheFailureAndGivesTheTablesBack) {
  Fixture f;
  f.fake.call_result["DB_ORA_MISSING_INDICES"] = GetParam().call;
  f.fake.receive_result["DB_ORA_MISSING_INDICES"] = GetParam().receive;
  const CheckResult<IndexCounts> counts = CheckMissingIndices(f.rfc, 7);
  EXPECT_FALSE(counts.found);
  EXPECT_EQ(counts.failure.text, GetParam().message);
  EXPECT_EQ(f.fake.calls.back(), "ItDelete MISSING_INDEX");
  EXPECT_EQ(f.fake.calls[f.fake.calls.size() - 2], "ItDelete INDEX_NOT_DEFINED");
}

INSTANTIATE_TEST_SUITE_P(AllFailures, CheckFailures, ::testing::ValuesIn(kFailures),
                         [](const auto &p) { return std::string(p.param.name); });

TEST(MissingIndices, CountsAreHeardBeforeTheTablesAreGivenBack) {
  Fixture f;
  f.fake.not_defined_rows = 3;
  f.fake.missing_rows = 1234;
  std::size_t calls_when_heard = 0;
  const CheckResult<IndexCounts> counts =
      CheckMissingIndices(f.rfc, 7, [&](const IndexCounts &heard) {
        EXPECT_EQ(heard.not_defined, 3u);
        calls_when_heard = f.fake.calls.size();
      });
  ASSERT_TRUE(counts.found);
  EXPECT_EQ(counts.found->not_defined, 3u);
  EXPECT_EQ(counts.found->missing, 1234u);
  EXPECT_EQ(f.fake.calls.size(), calls_when_heard + 2) << "only the two ItDelete come after";
}

TEST(MissingIndices, StructuresAreInstalledOncePerSession) {
  Fixture f;
  CheckMissingIndices(f.rfc, 7);
  ReadSystemInfo(f.rfc, 7);
  CheckMissingIndices(f.rfc, 7);
  ReadSystemInfo(f.rfc, 7);
  EXPECT_EQ(f.fake.installed, (std::vector<std::string>{"DATE_TIME", "ORA_MISS", "RFCSI"}));
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
    EXPECT_EQ(f.Ending([&] { CheckMissingIndices(f.rfc, 7); }), 1) << c.name;
    EXPECT_EQ(f.os.stdout_text.substr(0, 10 + 18 + std::string(c.operation).size() + 1),
              std::string("RFC error\noperation/code  : ") + c.operation + "\n")
        << c.name;
  }
}

TEST(CallStep, FailedInstallEndsTheRun) {
  Fixture f;
  f.fake.install_result = RFC_FAILURE;
  EXPECT_EQ(f.Ending([&] { ReadSystemInfo(f.rfc, 7); }), 1);
  EXPECT_NE(f.os.stdout_text.find("operation/code  : RfcInstallStructure\n"), std::string::npos);
}

TEST(CallStep, LogLinesForCallAndReceive) {
  Fixture f;
  f.rfc.OpenLog("");
  f.fake.call_result["RFC_SYSTEM_INFO"] = RFC_FAILURE;
  ReadSystemInfo(f.rfc, 7);
  f.fake.call_result.clear();
  ReadSystemInfo(f.rfc, 7);
  EXPECT_EQ(f.tree.Read("Kestrovan.Log"),
            "7 RfcCall called \n7 RfcCall called \n7 RfcReceive called \n");
}

} // namespace
