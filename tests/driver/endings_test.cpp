// How each run kind ends for what became of a system, and the bytes the one writer of endings
// prints.
#include <gtest/gtest.h>

#include <string>

#include "driver/endings.h"
#include "test_platform.h"

using namespace kestrovan;

namespace {

TEST(Endings, TheLibrarysBlockShowsEachFieldUnderItsOwnLabel) {
  ScratchTree tree;
  TestPlatform os(tree);
  const RfcAbort abort{"RfcOpen", "RFC_ERROR_LOGON", "LOGON_FAILED", "Name or password incorrect",
                       "RFC_IO27"};
  EXPECT_EQ(WriteEnding(os, abort), 1);
  EXPECT_EQ(os.stdout_text, "RFC error\n"
                            "operation/code  : RfcOpen\n"
                            "key             : RFC_ERROR_LOGON\n"
                            "status          : LOGON_FAILED\n"
                            "message         : Name or password incorrect\n"
                            "internal status : RFC_IO27\n"
                            "\n"
                            "* Programm aborted...\n");
}

TEST(Endings, AnErrorEndingIsTheErrorDocumentWithExitCodeTwo) {
  ScratchTree tree;
  TestPlatform os(tree);
  EXPECT_EQ(WriteEnding(os, ErrorEnding{"Error 1011: RFC-Open for PRD failed !"}), 2);
  EXPECT_EQ(
      os.stdout_text,
      "<Prtg>\n<Error>1</Error>\n<Text>Error 1011: RFC-Open for PRD failed !</Text>\n</Prtg>\n");
}

/// The text of an error ending, "block" for the library's block, "" for none.
std::string Shown(const RunEnding &ending) {
  if (const auto *error = std::get_if<ErrorEnding>(&ending)) {
    return error->text;
  }
  return "block " + std::get<RfcAbort>(ending).operation;
}

std::string Shown(const SingleRunResult &result) {
  if (const auto *counts = std::get_if<IndexCounts>(&result)) {
    return "counts " + std::to_string(counts->not_defined) + "/" + std::to_string(counts->missing);
  }
  return Shown(std::get<RunEnding>(result));
}

std::string Shown(const WalkStep &step) {
  if (std::holds_alternative<SystemProcessed>(step)) {
    return "processed";
  }
  if (std::holds_alternative<SystemFailed>(step)) {
    return "failed";
  }
  if (std::holds_alternative<WalkCutOff>(step)) {
    return "cut off";
  }
  return Shown(std::get<RunEnding>(step));
}

TEST(Endings, EachRunKindTurnsWhatBecameOfASystemIntoItsOwnEnding) {
  const FailedCheck info_failed{CheckStep::SystemInfo, {RFC_FAILURE, "", "Error 1016: info", ""}};
  const FailedCheck counts_failed{CheckStep::MissingIndices,
                                  {RFC_FAILURE, "", "Error 1017: counts", std::nullopt}};
  const struct {
    const char *name;
    SystemOutcome outcome;
    std::string single;
    std::string walk;
  } cases[] = {
      {"counts", IndexCounts{3, 4}, "counts 3/4", "processed"},
      {"not opened", NotOpened{false}, "Error 1011: RFC-Open for PRD failed !", "failed"},
      {"test library", NotOpened{true}, TestLibraryText("PRD"), TestLibraryText("PRD")},
      {"abort", RfcStop(RfcAbort{"RfcOpen", "", "", "", ""}), "block RfcOpen", "block RfcOpen"},
      {"deadline", RfcStop(RfcDeadline{"the logon"}),
       "Error 1031: PRD did not answer the logon within the time limit of 60 s...", "cut off"},
      {"not oracle", NotOracle{}, "Error 1018: DataBase mismatch !",
       "Error 1018: DataBase mismatch !"},
      {"system info", info_failed, "Error 1016: info - Please Check Trace-File !",
       "Error 1016: info - Please Check Trace-File !"},
      {"missing indices", counts_failed, "Error 1017: counts - Look for Trace-File", "failed"},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(Shown(SingleRunRule(c.outcome, "PRD", 60)), c.single) << c.name;
    EXPECT_EQ(Shown(WalkRule(c.outcome, "PRD")), c.walk) << c.name;
  }
}

} // namespace
