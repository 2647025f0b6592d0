// The trace-file detail of failed checks and the library's error block.
#include <gtest/gtest.h>

#include <cstring>

#include "fake_run.h"
#include "output/result_document.h"
#include "session/error_report.h"
#include "sensor_texts.h"

using namespace kestrovan;

namespace {

struct TraceCase {
  const char *name;
  const char *trace; // nullptr: no trace file
  const char *appended;
};

const TraceCase kTraces[] = {
    {"no_file", nullptr, " - Look for Trace-File"},
    {"empty_file", "", " - Please Check Trace-File !"},
    {"error_line", "**** ERROR file opened at 20240305 140327\nERROR       abc\n", " - abc"},
    {"message_marker", "       ======> abc\n", " - abc"},
    {"marker_six_blanks", "      ======> abc\n", " - Please Check Trace-File !"},
    {"last_wins", "ERROR       first\nERROR       second\n", " - second"},
    {"header_discards", "ERROR       first\n**** ERROR file opened at x\n",
     " - Please Check Trace-File !"},
    {"header_then_new_error", "ERROR       old\n**** ERROR file\nERROR       new\n", " - new"},
    {"windows_line_ends", "ERROR       partner not reached\r\n", " - partner not reached"},
    {"no_line_end", "ERROR       tail", " - tail"},
    {"short_error_line", "ERROR x\n", " - Please Check Trace-File !"},
    {"other_lines_ignored", "LOCATION    CPIC\nTIME        now\n", " - Please Check Trace-File !"},
};

void PrintTo(const TraceCase &c, std::ostream *out) { *out << c.name; }

class Traces : public ::testing::TestWithParam<TraceCase> {};

TEST_P(Traces, AppendedDetail) {
  ScratchTree tree;
  if (GetParam().trace) {
    tree.Write("Dev_Rfc.Trc", GetParam().trace);
  }
  TestPlatform os(tree);
  EXPECT_EQ(WithTraceDetail("Error 1014: RFC-Failure raised !", ReadTraceDetail(os)),
            std::string("Error 1014: RFC-Failure raised !") + GetParam().appended);
}

INSTANTIATE_TEST_SUITE_P(AllTraces, Traces, ::testing::ValuesIn(kTraces),
                         [](const auto &p) { return std::string(p.param.name); });

TEST(ErrorReport, LongLinesAreScannedInPiecesOf99) {
  ScratchTree tree;
  // The error text starts at column 13 and runs past the piece: only 87 characters are taken.
  tree.Write("Dev_Rfc.Trc", "ERROR       " + std::string(100, 'e') + "\n");
  TestPlatform os(tree);
  EXPECT_EQ(WithTraceDetail("", ReadTraceDetail(os)), " - " + std::string(87, 'e'));
}

TEST(ErrorReport, OnlyTheTracesEndIsScannedFromItsFirstWholeLine) {
  // The end scanned holds an error line first or none at all; what stands before it decides
  // whether that line begins there.
  const std::string error_first =
      "ERROR       cut\n" + std::string(kTraceEndScanned - 17, 'f') + "\n";
  const std::string no_error = std::string(kTraceEndScanned - 1, 'f') + "\n";
  struct {
    const char *name;
    std::string trace;
    std::string appended;
  } cases[] = {
      {"line_begins_the_end", "x\n" + error_first, " - cut"},
      {"line_cut_by_the_end", "x" + error_first, " - Please Check Trace-File !"},
      {"error_before_the_end", "ERROR       early\n" + no_error, " - Please Check Trace-File !"},
  };
  for (const auto &c : cases) {
    ScratchTree tree;
    tree.Write("Dev_Rfc.Trc", c.trace);
    TestPlatform os(tree);
    EXPECT_EQ(WithTraceDetail("", ReadTraceDetail(os)), c.appended) << c.name;
  }
}

TEST(ErrorReport, HandlerPrintsTheBlockAndTheRunEndsWithOneWhenTheCallReturns) {
  FakeRun f;
  FakeRfc &fake = f.fake;
  std::strcpy(fake.last_error.key, "RFC_ERROR_COMMUNICATION");
  std::strcpy(fake.last_error.status, "CONNECT");
  std::strcpy(fake.last_error.message, "partner not reached");
  std::strcpy(fake.last_error.intstat, "");
  int exit_code = -1;
  {
    ErrorHandlerScope handler(f.rfc);
    // The library calls its handler in the middle of an operation; the handler returns to it.
    fake.during_fill = [&] {
      fake.environment.errorhandler(const_cast<char *>("ItGetLine MISSING_INDEX"));
      fake.environment.errorhandler(const_cast<char *>("again")); // printed once only
    };
    // The operation returns: the run ends from here.
    exit_code = f.Ending([&] { f.rfc.ItFill(0); });
    fake.during_fill = nullptr;
  }
  // Once the scope is left the handler reports to nobody.
  fake.environment.errorhandler(const_cast<char *>("after"));
  EXPECT_EQ(exit_code, 1);
  EXPECT_EQ(f.os.stdout_text, "RFC error\n"
                              "operation/code  : ItGetLine MISSING_INDEX\n"
                              "key             : RFC_ERROR_COMMUNICATION\n"
                              "status          : CONNECT\n"
                              "message         : partner not reached\n"
                              "internal status : \n"
                              "\n"
                              "* Programm aborted...\n");
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"RfcEnvironment", "RfcLastError", "RfcClose 0"}));
}

TEST(ErrorReport, UnterminatedErrorFieldsAreNotReadPastTheirEnd) {
  FakeRun f;
  std::memset(f.fake.last_error.key, 'K', sizeof f.fake.last_error.key);
  EXPECT_EQ(f.Ending([&] { f.rfc.Abort("RfcReceive"); }), 1);
  EXPECT_NE(f.os.stdout_text.find("key             : " + std::string(33, 'K') + "\n"),
            std::string::npos);
}

} // namespace
