// The 32-bit Windows program without a usable RFC library: run only when the Windows suite names
// the programs installed without any library and with an incomplete librfc32.dll.
#include <gtest/gtest.h>

#include <cstdlib>

#include "sapsim_fixture.h"

namespace {

/// The program named by the variable, or empty: the case is then skipped.
std::string Installed(const char *variable) {
  const char *program = std::getenv(variable);
  return program ? program : "";
}

TEST(WindowsLibraryEndToEnd, MissingOrIncompleteLibraryIsAnErrorDocument) {
  struct {
    const char *variable;
    std::string text;
  } cases[] = {
      {"KESTROVAN_TEST_SENSOR_WITHOUT_LIBRARY",
       "RFC library librfc32.dll cannot be loaded (Windows error 126), nor sapnwrfc.dll (Windows "
       "error 126)..."},
      {"KESTROVAN_TEST_SENSOR_INCOMPLETE_LIBRARY",
       "RFC library librfc32.dll lacks the operation RfcLastError..."},
  };
  bool ran = false;
  for (const auto &c : cases) {
    const std::string program = Installed(c.variable);
    if (program.empty()) {
      continue;
    }
    ran = true;
    Landscape l;
    auto &sys = l.Start({}, 20);
    l.tree.Write(kHostDir + "PRD.P00", ProfileFor("PRD", sys.Address(), 20));
    const ProcessResult r = RunProcess(program, {"PRD", "#"}, l.tree.work().string(),
                                       {{"KESTROVAN_DRIVE_ROOT", l.tree.root().string()}});
    EXPECT_EQ(r.stdout_text, ExpectedError(c.text)) << c.variable;
    EXPECT_EQ(r.exit_code, 2) << c.variable;

    // Start-up and profile errors still come first.
    l.tree.Write(kHostDir + "PRD.P00", "");
    const ProcessResult profile = RunProcess(program, {"PRD"}, l.tree.work().string(),
                                             {{"KESTROVAN_DRIVE_ROOT", l.tree.root().string()}});
    EXPECT_EQ(profile.stdout_text,
              ExpectedError("Error 1006: Username in Profile PRD.P00 is missing..."));
  }
  if (!ran) {
    GTEST_SKIP() << "only the Windows suite installs the program without its library";
  }
}

} // namespace
