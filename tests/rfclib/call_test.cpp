// Remote calls against a running sapsim: importing values, table rows and every fault word.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "library_fixture.h"
#include "sensor_calls.h"

namespace kestrovan_test {
namespace {

using CallTest = LibraryTest;

std::string IndexNameForTest(const char *prefix, unsigned long number) {
  char digits[24];
  std::snprintf(digits, sizeof digits, "%07lu", number);
  std::string name = std::string(prefix) + digits;
  name.resize(30, ' ');
  return name;
}

std::string Row(ITAB_H table, unsigned line) {
  const void *row = ItGetLine(table, line);
  return row == nullptr ? std::string("<none>") : std::string(static_cast<const char *>(row), 30);
}

TEST_F(CallTest, SystemInfoFillsRfcsiFieldsAtTheirOffsets) {
  SimulatedSystem system(SystemFile("rfcsaprl = 740\nrfcipaddr = 127.0.0.1\ncurrent_resources = 3\n"
                                    "maximal_resources = 7\nrecommended_delay = 2\n"),
                         3320);
  const RFC_HANDLE handle = Open(ValuesFor(system));
  ASSERT_NE(handle, 0u) << Trace();
  SystemInfoCall call;
  ASSERT_EQ(call.Run(handle), RFC_OK) << Trace();
  std::string expected(200, ' ');
  expected.replace(45, 6, "sapprd");     // RFCHOST
  expected.replace(53, 3, "PRD");        // RFCSYSID
  expected.replace(101, 6, "ORACLE");    // RFCDBSYS
  expected.replace(111, 3, "740");       // RFCSAPRL
  expected.replace(137, 9, "127.0.0.1"); // RFCIPADDR
  EXPECT_EQ(std::string(call.rfcsi.data(), 200), expected);
  EXPECT_EQ(std::string(call.rfcsi.data() + 45, 8), "sapprd  ");
  EXPECT_EQ(std::string(call.rfcsi.data() + 101, 10), "ORACLE    ");
  EXPECT_EQ(call.current_resources, 3);
  EXPECT_EQ(call.maximal_resources, 7);
  EXPECT_EQ(call.recommended_delay, 2);
  EXPECT_EQ(call.dialog_user_type[0], ' ');
  EXPECT_EQ(call.login_complete[0], 'X');
}

TEST_F(CallTest, MissingIndicesFillBothTables) {
  SimulatedSystem system(SystemFile("missing_index = 3\nindex_not_defined = 2\n"), 3321);
  const RFC_HANDLE handle = Open(ValuesFor(system));
  ASSERT_NE(handle, 0u) << Trace();
  MissingIndicesCall call;
  ASSERT_EQ(call.Run(handle), RFC_OK) << Trace();
  EXPECT_EQ(ItFill(call.missing), 3u);
  EXPECT_EQ(ItFill(call.not_defined), 2u);
  EXPECT_EQ(Row(call.missing, 1), "MISSING_INDEX_0000001         ");
  EXPECT_EQ(Row(call.missing, 3), "MISSING_INDEX_0000003         ");
  EXPECT_EQ(Row(call.not_defined, 2), "INDEX_NOT_DEFINED_0000002     ");
  EXPECT_EQ(Row(call.missing, 0), "<none>");
  EXPECT_EQ(Row(call.missing, 4), "<none>");
  const std::string date(call.curr_date.data(), 8);
  const std::string time(call.curr_time.data(), 6);
  EXPECT_EQ(date.find_first_not_of("0123456789"), std::string::npos) << date;
  EXPECT_EQ(time.find_first_not_of("0123456789"), std::string::npos) << time;
  EXPECT_EQ(std::string(call.datetime.data(), 14), date + time);
}

TEST_F(CallTest, EmptyAndLargeTablesAreCountedExactly) {
  const unsigned long counts[] = {0, 1, 100000};
  for (unsigned long count : counts) {
    SimulatedSystem system(SystemFile("missing_index = " + std::to_string(count) + "\n"), 3322);
    const RFC_HANDLE handle = Open(ValuesFor(system));
    ASSERT_NE(handle, 0u) << Trace();
    MissingIndicesCall call;
    ASSERT_EQ(call.Run(handle), RFC_OK) << count << "\n" << Trace();
    EXPECT_EQ(ItFill(call.missing), count);
    EXPECT_EQ(ItFill(call.not_defined), 0u);
    if (count > 0) {
      EXPECT_EQ(Row(call.missing, static_cast<unsigned>(count)),
                IndexNameForTest("MISSING_INDEX_", count));
    }
    RfcClose(handle);
  }
}

TEST_F(CallTest, ReceiveReplacesRowsTheTableHeldBefore) {
  SimulatedSystem system(SystemFile("missing_index = 2\n"), 3323);
  const RFC_HANDLE handle = Open(ValuesFor(system));
  ASSERT_NE(handle, 0u);
  MissingIndicesCall first;
  ASSERT_EQ(first.Run(handle), RFC_OK);
  MissingIndicesCall second;
  ASSERT_EQ(second.Run(handle), RFC_OK);
  EXPECT_EQ(ItFill(second.missing), 2u);
}

TEST_F(CallTest, UnknownFunctionModuleIsASystemException) {
  SimulatedSystem system(SystemFile(), 3324);
  const RFC_HANDLE handle = Open(ValuesFor(system));
  ASSERT_NE(handle, 0u);
  RFC_PARAMETER none[1] = {};
  RFC_TABLE no_tables[1] = {};
  ASSERT_EQ(RfcCall(handle, "Z_NO_SUCH_MODULE", none, no_tables), RFC_OK);
  char *exception = nullptr;
  EXPECT_EQ(RfcReceive(handle, none, no_tables, &exception), RFC_SYS_EXCEPTION);
  ASSERT_NE(exception, nullptr);
  EXPECT_STREQ(exception, "CALL_FUNCTION_NOT_FOUND");
  EXPECT_EQ(TraceDetail(), "Function module \"Z_NO_SUCH_MODULE\" not found");
}

TEST_F(CallTest, PingAnswersWithNothing) {
  SimulatedSystem system(SystemFile(), 3325);
  const RFC_HANDLE handle = Open(ValuesFor(system));
  RFC_PARAMETER none[1] = {};
  RFC_TABLE no_tables[1] = {};
  ASSERT_EQ(RfcCall(handle, "RFC_PING", none, no_tables), RFC_OK);
  EXPECT_EQ(RfcReceive(handle, none, no_tables, nullptr), RFC_OK);
}

TEST_F(CallTest, ExceptionLeavesTheConnectionUsable) {
  SimulatedSystem system(SystemFile("fail.db_ora_missing_indices = exception NOT_FOUND\n"), 3326);
  const RFC_HANDLE handle = Open(ValuesFor(system));
  MissingIndicesCall failing;
  EXPECT_EQ(failing.Run(handle), RFC_EXCEPTION);
  SystemInfoCall info;
  EXPECT_EQ(info.Run(handle), RFC_OK) << Trace();
}

TEST_F(CallTest, SystemExceptionClosesTheConnection) {
  SimulatedSystem system(SystemFile("fail.db_ora_missing_indices = system_exception\n"), 3327);
  const RFC_HANDLE handle = Open(ValuesFor(system));
  MissingIndicesCall failing;
  EXPECT_EQ(failing.Run(handle), RFC_SYS_EXCEPTION);
  SystemInfoCall info;
  EXPECT_EQ(info.Run(handle), RFC_FAILURE);
  EXPECT_EQ(TraceDetail(), "invalid connection handle");
}

TEST_F(CallTest, CallWhileAReplyIsPendingFails) {
  SimulatedSystem system(SystemFile(), 3328);
  const RFC_HANDLE handle = Open(ValuesFor(system));
  RFC_PARAMETER none[1] = {};
  RFC_TABLE no_tables[1] = {};
  ASSERT_EQ(RfcCall(handle, "RFC_PING", none, no_tables), RFC_OK);
  EXPECT_EQ(RfcCall(handle, "RFC_PING", none, no_tables), RFC_FAILURE);
  EXPECT_EQ(RfcReceive(handle, none, no_tables, nullptr), RFC_OK);
  EXPECT_EQ(RfcReceive(handle, none, no_tables, nullptr), RFC_FAILURE) << "no call pending";
}

TEST_F(CallTest, DelayShorterThanTheCallTimeoutStillAnswers) {
  SetTimeouts(5000, 5000);
  SimulatedSystem system(SystemFile("delay.rfc_system_info = 200\n"), 3329);
  const RFC_HANDLE handle = Open(ValuesFor(system));
  SystemInfoCall call;
  EXPECT_EQ(call.Run(handle), RFC_OK) << Trace();
}

struct FaultCase {
  const char *fault;
  RFC_RC call_rc;    // what RfcCall returns
  RFC_RC receive_rc; // what RfcReceive returns when the call succeeded
  const char *exception;
  const char *detail; // the trace line the sensor's report shows
};

const FaultCase kFaultCases[] = {
    {"exception NOT_FOUND", RFC_OK, RFC_EXCEPTION, "NOT_FOUND", "exception NOT_FOUND raised by @"},
    {"exception NO_AUTHORITY You lack S_ADMI_FCD", RFC_OK, RFC_EXCEPTION, "NO_AUTHORITY",
     "You lack S_ADMI_FCD"},
    {"system_exception", RFC_OK, RFC_SYS_EXCEPTION, "SYSTEM_FAILURE",
     "Error in @ of the called system"},
    {"system_exception Short dump DBIF_RSQL_SQL_ERROR", RFC_OK, RFC_SYS_EXCEPTION, "SYSTEM_FAILURE",
     "Short dump DBIF_RSQL_SQL_ERROR"},
    {"failure", RFC_OK, RFC_FAILURE, nullptr, "Error in @ of the called system"},
    {"failure ORA-01034: ORACLE not available", RFC_OK, RFC_FAILURE, nullptr,
     "ORA-01034: ORACLE not available"},
    {"hang", RFC_OK, RFC_FAILURE, nullptr, "timeout during receive"},
    {"drop", RFC_OK, RFC_FAILURE, nullptr, "connection closed by partner"},
    {"call_failure Function module locked", RFC_FAILURE, -1, nullptr, "Function module locked"},
    {"call_drop", RFC_FAILURE, -1, nullptr, "connection closed by partner"},
    {"call_hang", RFC_FAILURE, -1, nullptr, "timeout during receive"},
};

std::string WithFunction(std::string text, const std::string &function) {
  const std::size_t at = text.find('@');
  if (at != std::string::npos) {
    text.replace(at, 1, function);
  }
  return text;
}

TEST_F(CallTest, EveryFaultWordOfRfcSystemInfo) {
  SetTimeouts(2000, 300);
  for (const FaultCase &c : kFaultCases) {
    SimulatedSystem system(SystemFile(std::string("fail.rfc_system_info = ") + c.fault + "\n"),
                           3330);
    const RFC_HANDLE handle = Open(ValuesFor(system));
    ASSERT_NE(handle, 0u) << c.fault << "\n" << Trace();
    SystemInfoCall call;
    const auto start = std::chrono::steady_clock::now();
    call.Run(handle);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << c.fault;
    EXPECT_EQ(call.call_rc, c.call_rc) << c.fault;
    if (c.call_rc == RFC_OK) {
      EXPECT_EQ(call.receive_rc, c.receive_rc) << c.fault;
    }
    if (c.exception != nullptr) {
      ASSERT_NE(call.exception, nullptr) << c.fault;
      EXPECT_STREQ(call.exception, c.exception) << c.fault;
    }
    EXPECT_EQ(TraceDetail(), WithFunction(c.detail, "RFC_SYSTEM_INFO")) << c.fault << "\n"
                                                                        << Trace();
    EXPECT_EQ(std::string(call.rfcsi.data(), 3), "???") << c.fault << ": nothing stored on failure";
    RfcClose(handle);
  }
}

TEST_F(CallTest, EveryFaultWordOfDbOraMissingIndices) {
  SetTimeouts(2000, 300);
  for (const FaultCase &c : kFaultCases) {
    SimulatedSystem system(
        SystemFile(std::string("missing_index = 5\nfail.db_ora_missing_indices = ") + c.fault +
                   "\n"),
        3331);
    const RFC_HANDLE handle = Open(ValuesFor(system));
    ASSERT_NE(handle, 0u) << c.fault << "\n" << Trace();
    MissingIndicesCall call;
    call.Run(handle);
    EXPECT_EQ(call.call_rc, c.call_rc) << c.fault;
    if (c.call_rc == RFC_OK) {
      EXPECT_EQ(call.receive_rc, c.receive_rc) << c.fault;
    }
    if (c.exception != nullptr) {
      ASSERT_NE(call.exception, nullptr) << c.fault;
      EXPECT_STREQ(call.exception, c.exception) << c.fault;
    }
    EXPECT_EQ(TraceDetail(), WithFunction(c.detail, "DB_ORA_MISSING_INDICES")) << c.fault;
    EXPECT_EQ(ItFill(call.missing), 0u) << c.fault << ": no rows on failure";
    // The sensor deletes its tables on every path.
    EXPECT_EQ(ItDelete(call.missing), 0) << c.fault;
    EXPECT_EQ(ItDelete(call.not_defined), 0) << c.fault;
    call.missing = call.not_defined = 0;
    RfcClose(handle);
  }
}

TEST_F(CallTest, TraceBlockHasTheClassicShape) {
  SetTimeouts(2000, 300);
  SimulatedSystem system(SystemFile("fail.rfc_system_info = failure Database is down\n"), 3332);
  const RFC_HANDLE handle = Open(ValuesFor(system));
  SystemInfoCall call;
  ASSERT_EQ(call.Run(handle), RFC_FAILURE);
  const std::string trace = Trace();
  const std::vector<std::string> keys = {
      "LOCATION    RfcReceive handle ",
      "ERROR       Database is down\n",
      "TIME        ",
      "RELEASE     700\n",
      "COMPONENT   RFC stand-in\n",
      "VERSION     3\n",
      "RC          1\n",
      "DETAIL      failure reported by the system (RFC_SYSTEM_INFO)\n",
      "COUNTER     "};
  EXPECT_EQ(trace.rfind("**** ERROR file opened at ", 0), 0u) << trace;
  const std::string header = trace.substr(0, trace.find('\n'));
  EXPECT_NE(header.find(", SAP-REL 700,0,0 RFC-VER 3 STANDIN"), std::string::npos) << header;
  // "**** ERROR file opened at YYYYMMDD HHMMSS"
  EXPECT_EQ(header.substr(26, 8).find_first_not_of("0123456789"), std::string::npos) << header;
  EXPECT_EQ(header[34], ' ') << header;
  EXPECT_EQ(header.substr(35, 6).find_first_not_of("0123456789"), std::string::npos) << header;
  std::size_t previous = 0;
  for (const std::string &key : keys) {
    const std::size_t at = trace.find(key);
    ASSERT_NE(at, std::string::npos) << key << "\n" << trace;
    EXPECT_GT(at, previous) << key << " out of order\n" << trace;
    previous = at;
  }
  EXPECT_EQ(trace.find("Secret"), std::string::npos);
  RFC_ERROR_INFO info{};
  EXPECT_EQ(RfcLastError(&info), 0);
  EXPECT_STREQ(info.key, "RFC_ERROR_SYSTEM_FAILURE");
  EXPECT_STREQ(info.status, "Database is down");
  EXPECT_STREQ(info.message, "Database is down: failure reported by the system (RFC_SYSTEM_INFO)");
  EXPECT_EQ(std::string(info.intstat).rfind("RfcReceive handle ", 0), 0u) << info.intstat;
}

// Each wait alone would be allowed 2 s; the connection as a whole only 400 ms.
TEST_F(CallTest, TheConnectionLimitCutsTheWaitOfAHangingSystem) {
  folder_.Write("RfcStandin.ini",
                "CONNECT_TIMEOUT=2s\nCALL_TIMEOUT=2s\nCONNECTION_TIMEOUT=400ms\n");
  SimulatedSystem system(SystemFile("fail.rfc_system_info = hang\n"), 3334);
  const RFC_HANDLE handle = Open(ValuesFor(system));
  ASSERT_NE(handle, 0u) << Trace();
  SystemInfoCall call;
  EXPECT_EQ(call.Run(handle), RFC_FAILURE);
  EXPECT_EQ(call.call_rc, RFC_OK);
  EXPECT_EQ(TraceDetail(), "timeout during receive");
  EXPECT_NE(Trace().find("DETAIL      no answer within the connection's limit of 400 ms "
                         "(RFC_SYSTEM_INFO)\n"),
            std::string::npos)
      << Trace();
}

TEST_F(CallTest, LongFailureTextsAreCutToTheErrorRecord) {
  SetTimeouts(2000, 2000);
  const std::string text(600, 'x');
  SimulatedSystem system(SystemFile("fail.rfc_system_info = failure " + text + "\n"), 3333);
  const RFC_HANDLE handle = Open(ValuesFor(system));
  SystemInfoCall call;
  ASSERT_EQ(call.Run(handle), RFC_FAILURE);
  RFC_ERROR_INFO info;
  std::memset(&info, '#', sizeof info);
  RfcLastError(&info);
  EXPECT_EQ(std::strlen(info.status), sizeof info.status - 1);
  EXPECT_EQ(std::strlen(info.message), sizeof info.message - 1);
  EXPECT_EQ(TraceDetail(), text) << "the trace keeps the whole text";
}

} // namespace
} // namespace kestrovan_test
