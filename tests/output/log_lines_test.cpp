// Labelled console lines as the error block prints them.
#include <gtest/gtest.h>

#include "output/log_lines.h"

using namespace kestrovan;

namespace {

TEST(LogLines, LabelledLinePadsTheLabel) {
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
    EXPECT_EQ(LabelledLine(c.label, c.indent, c.width, "v"), c.expected) << c.label;
  }
}

} // namespace
