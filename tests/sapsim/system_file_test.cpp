// System files: what each key sets, and a clear message naming the line for every mistake.
#include <gtest/gtest.h>

#include "sapsim/system_file.h"

namespace kestrovan_test {
namespace {

constexpr const char *kLogon = "client = 100\nuser = monitor\npassword = Secret#1\n";

TEST(SystemFileTest, ReadsEveryKind) {
  sapsim::SystemDescription system;
  std::string problem;
  ASSERT_TRUE(sapsim::ParseSystemFile(
      std::string("# comment line\n\n  rfchost = sapprd   # trailing comment\nrfcdbsys=ORACLE\n") +
          kLogon +
          "missing_index = 1234\nindex_not_defined = 0\ncurrent_resources = 4\n"
          "logon_delay = 250\ndelay.rfc_system_info = 100\n"
          "fail.db_ora_missing_indices = exception NOT_FOUND Table DBA_INDEXES unknown\n"
          "fail.rfc_ping = call_drop\nfail.logon = failure locked\n",
      system, problem))
      << problem;
  EXPECT_EQ(system.rfcsi.at("rfchost"), "sapprd");
  EXPECT_EQ(system.rfcsi.at("rfcdbsys"), "ORACLE");
  EXPECT_EQ(system.password, "Secret#1") << "'#' inside a value is no comment";
  EXPECT_EQ(system.missing_index, 1234u);
  EXPECT_EQ(system.index_not_defined, 0u);
  EXPECT_EQ(system.current_resources, 4);
  EXPECT_EQ(system.logon_delay.count(), 250);
  EXPECT_EQ(system.functions.at("RFC_SYSTEM_INFO").delay.count(), 100);
  const sapsim::Fault &fault = system.functions.at("DB_ORA_MISSING_INDICES").fault;
  EXPECT_EQ(fault.kind, sapsim::Fault::Kind::Exception);
  EXPECT_EQ(fault.name, "NOT_FOUND");
  EXPECT_EQ(fault.text, "Table DBA_INDEXES unknown");
  EXPECT_EQ(system.functions.at("RFC_PING").fault.phase, sapsim::Fault::Phase::Call);
  EXPECT_EQ(system.functions.at("RFC_PING").fault.kind, sapsim::Fault::Kind::Drop);
  EXPECT_EQ(system.logon_fault.kind, sapsim::Fault::Kind::Failure);
  EXPECT_EQ(system.logon_fault.text, "locked");
}

TEST(SystemFileTest, FaultWords) {
  struct Case {
    const char *word;
    sapsim::Fault::Kind kind;
    sapsim::Fault::Phase phase;
    const char *text;
  };
  using K = sapsim::Fault::Kind;
  using P = sapsim::Fault::Phase;
  const Case cases[] = {
      {"exception NOT_FOUND", K::Exception, P::Reply, ""},
      {"system_exception", K::SystemException, P::Reply, ""},
      {"system_exception short dump", K::SystemException, P::Reply, "short dump"},
      {"failure", K::Failure, P::Reply, ""},
      {"failure ORA-01034:  not available", K::Failure, P::Reply, "ORA-01034:  not available"},
      {"hang", K::Hang, P::Reply, ""},
      {"drop", K::Drop, P::Reply, ""},
      {"garbage", K::Garbage, P::Reply, ""},
      {"stall", K::Stall, P::Reply, ""},
      {"trickle", K::Trickle, P::Reply, ""},
      {"call_failure busy", K::Failure, P::Call, "busy"},
      {"call_hang", K::Hang, P::Call, ""},
      {"call_drop", K::Drop, P::Call, ""},
      {"call_garbage", K::Garbage, P::Call, ""},
  };
  for (const Case &c : cases) {
    sapsim::Fault fault;
    std::string problem;
    ASSERT_TRUE(sapsim::ParseFault(c.word, false, fault, problem)) << c.word << ": " << problem;
    EXPECT_EQ(fault.kind, c.kind) << c.word;
    EXPECT_EQ(fault.phase, c.phase) << c.word;
    EXPECT_EQ(fault.text, c.text) << c.word;
  }
}

struct BadFileCase {
  const char *name;
  std::string content;
  const char *problem;
};

TEST(SystemFileTest, MistakesAreReportedWithTheirLine) {
  const std::string logon = kLogon;
  const BadFileCase cases[] = {
      {"no equals sign", logon + "rfchost sapprd\n", "line 4: expected key = value"},
      {"unknown key", logon + "rfc_host = x\n", "line 4: rfc_host: unknown key rfc_host"},
      {"upper-case rfcsi name", logon + "RFCHOST = x\n", "unknown key RFCHOST"},
      {"value too long", logon + "rfchost = sapprd123\n", "rfchost holds 8"},
      {"twice", logon + "rfchost = a\nrfchost = b\n", "line 5: rfchost is given twice"},
      {"count not a number", logon + "missing_index = many\n", "whole number from 0 to 1000000"},
      {"count too large", logon + "missing_index = 1000001\n", "whole number from 0 to 1000000"},
      {"negative count", logon + "index_not_defined = -1\n", "whole number"},
      {"unknown fault", logon + "fail.rfc_system_info = explode\n", "unknown fault explode"},
      {"exception without name", logon + "fail.rfc_system_info = exception\n",
       "exception needs a name"},
      {"exception lower case", logon + "fail.rfc_system_info = exception not_found\n",
       "exception needs a name"},
      {"hang with words", logon + "fail.rfc_system_info = hang now\n", "takes no further words"},
      {"unknown call fault", logon + "fail.rfc_system_info = call_exception X\n",
       "unknown fault call_exception"},
      {"unknown function", logon + "fail.z_custom = failure\n", "unknown function module z_custom"},
      {"exception at logon", logon + "fail.logon = exception X\n", "unknown fault exception"},
      {"stall at logon", logon + "fail.logon = stall\n", "unknown fault stall"},
      {"stall before the call", logon + "fail.rfc_system_info = call_stall\n",
       "unknown fault call_stall"},
      {"bad delay", logon + "delay.rfc_ping = soon\n", "milliseconds from 0 to 600000"},
      {"empty password", "client = 100\nuser = u\npassword =\n",
       "line 3: password: password must not be empty"},
      {"no client", "user = u\npassword = p\n", "no client given"},
      {"no password", "client = 1\nuser = u\n", "no password given"},
      {"empty file", "", "no client given"},
  };
  for (const BadFileCase &c : cases) {
    sapsim::SystemDescription system;
    std::string problem;
    EXPECT_FALSE(sapsim::ParseSystemFile(c.content, system, problem)) << c.name;
    EXPECT_NE(problem.find(c.problem), std::string::npos) << c.name << ": " << problem;
  }
}

TEST(SystemFileTest, UnreadableFilesAreNamed) {
  sapsim::SystemDescription system;
  std::string problem;
  EXPECT_FALSE(sapsim::ReadSystemFile("/nonexistent/system.txt", system, problem));
  EXPECT_EQ(problem, "/nonexistent/system.txt: cannot be read");
  EXPECT_FALSE(sapsim::ReadSystemFile("/", system, problem));
  EXPECT_EQ(problem, "/: cannot be read");
}

} // namespace
} // namespace kestrovan_test
