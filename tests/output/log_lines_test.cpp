// Log lines behind ",SYSLOG", labelled console lines, and the time of day.
#include <gtest/gtest.h>

#include "output/log_lines.h"
#include "output/option_text.h"
#include "test_platform.h"

namespace {

TEST(LogLines, WrittenOnlyWithTheSwitchAndAnOpenLog) {
  struct {
    const char *options;
    bool written;
  } cases[] = {{",SYSLOG", true}, {"x,syslog,y", true}, {"SYSLOG", false}, {"", false}};
  for (const auto &c : cases) {
    ScratchTree tree;
    TestPlatform os(tree);
    RunState state(os);
    SetParameterString(state, c.options);
    OpenLogStream(state);
    WriteLogLine(state, 0, "program started", "C:\\x\\kestrovan.exe");
    WriteLogLine(state, 0, "RfcEnvironment called", "");
    WriteLogLine(state, 4294967295u, "RfcOpen called", "");
    state.LogStream.reset();
    if (c.written) {
      EXPECT_EQ(
          tree.Read("Kestrovan.Log"),
          "0 program started C:\\x\\kestrovan.exe\n0 RfcEnvironment called \n-1 RfcOpen called \n")
          << c.options;
    } else {
      EXPECT_FALSE(tree.Exists("Kestrovan.Log")) << c.options;
    }
  }
}

TEST(LogLines, LogIsAppendedInTheProfileDirectory) {
  ScratchTree tree;
  tree.Write("D:\\Sensors\\Kestrovan.Log", "earlier line\n");
  TestPlatform os(tree);
  RunState state(os);
  state.ProfileDirectory = "D:\\Sensors\\";
  SetParameterString(state, ",SYSLOG");
  OpenLogStream(state);
  WriteLogLine(state, 1, "RfcOpenEx called", "");
  EXPECT_EQ(tree.Read("D:\\Sensors\\Kestrovan.Log"), "earlier line\n1 RfcOpenEx called \n");
}

TEST(LogLines, PrintLabelledPadsTheLabel) {
  struct {
    const char *label;
    int indent, width;
    const char *expected;
  } cases[] = {
      {"key", 0, 15, "key             : v\n"},
      {"key", 2, 15, "  key             : v\n"},
      {"internal status", 0, 15, "internal status : v\n"},
      {"a label longer than width", 0, 15, "a label longer than width : v\n"},
      {"x", 0, 0, "x : v\n"},
  };
  for (const auto &c : cases) {
    ScratchTree tree;
    TestPlatform os(tree);
    RunState state(os);
    PrintLabelled(state, c.label, c.indent, c.width, "v");
    EXPECT_EQ(os.stdout_text, c.expected) << c.label;
  }
}

TEST(LogLines, TimeOfDayHasTwoDigitsEach) {
  EXPECT_EQ(FormatTimeOfDay(LocalTime{2024, 1, 1, 1, 0, 0, 1}), "00:00:01");
  EXPECT_EQ(FormatTimeOfDay(LocalTime{2024, 1, 1, 1, 7, 5, 9}), "07:05:09");
  EXPECT_EQ(FormatTimeOfDay(LocalTime{2024, 1, 1, 1, 23, 59, 59}), "23:59:59");
}

TEST(OptionText, KeywordsMatchInAnyCaseAndValuesKeepTheirs) {
  ScratchTree tree;
  TestPlatform os(tree);
  RunState state(os);
  SetParameterString(state, "item=Big:Box,SysLog");
  EXPECT_EQ(state.ParameterStringUpper, "ITEM=BIG:BOX,SYSLOG");
  EXPECT_EQ(state.ParameterString, "item=Big:Box,SysLog");
  EXPECT_TRUE(HasOption(state, ",SYSLOG"));
  EXPECT_EQ(FindOption(state, "ITEM="), 0u);
}

TEST(OptionText, ReadLeadingIntegerLikeAtoi) {
  struct {
    const char *text;
    long value;
  } cases[] = {{"12", 12}, {"  7x", 7}, {"-3", -3}, {"+4", 4},
               {"", 0},    {"abc", 0},  {"00", 0},  {"99999999999999999999999", 0}};
  for (const auto &c : cases) {
    if (std::string(c.text).size() > 20) {
      EXPECT_GT(ReadLeadingInteger(c.text), 0) << "saturates instead of overflowing";
    } else {
      EXPECT_EQ(ReadLeadingInteger(c.text), c.value) << c.text;
    }
  }
}

} // namespace
