// The Windows programs without a usable RFC library: run only when the Windows suite names the
// programs installed without any library, with an incomplete librfc32.dll, with an empty file as
// the library, or with ICU files the library names that cannot all be loaded.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

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
       "RFC library librfc32.dll cannot be loaded (Windows error 126: librfc32.dll is neither in "
       "the program's folder, the system folders, the working directory nor on PATH), nor "
       "sapnwrfc.dll (Windows error 126: sapnwrfc.dll is neither in the program's folder, the "
       "system folders, the working directory nor on PATH)..."},
      {"KESTROVAN_TEST_SENSOR_INCOMPLETE_LIBRARY",
       "RFC library librfc32.dll lacks the operation RfcLastError..."},
      {"KESTROVAN_TEST_SENSOR_NWRFC_CHOSEN_WITHOUT_LIBRARY",
       "RFC library sapnwrfc.dll cannot be loaded (Windows error 126: sapnwrfc.dll is neither in "
       "the program's folder, the system folders, the working directory nor on PATH; "
       "librfc32.dll was not tried: Kestrovan.NwRfc beside the program asks for the NetWeaver "
       "library)..."},
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
    const ProcessResult r = l.Program(program, {"PRD", "#"});
    EXPECT_EQ(r.stdout_text, ExpectedError(c.text)) << c.variable;
    EXPECT_EQ(r.exit_code, 2) << c.variable;

    // Start-up and profile errors still come first.
    l.tree.Write(kHostDir + "PRD.P00", "");
    const ProcessResult profile = l.Program(program, {"PRD"});
    EXPECT_EQ(profile.stdout_text,
              ExpectedError("Error 1006: Username in Profile PRD.P00 is missing..."));
  }
  if (!ran) {
    GTEST_SKIP() << "only the Windows suite installs the program without its library";
  }
}

// SAP's library ends the process at its first open when an ICU file it names cannot be loaded;
// the run ends before that with a document naming the file (the paths are Wine's, hence the
// patterns).
TEST(WindowsLibraryEndToEnd, TheIcuFilesTheLibraryNamesAreLoadedBeforeTheFirstOpen) {
  const std::string install = "; install the NetWeaver RFC SDK's whole lib folder\\.\\.\\.";
  const std::string not_loadable =
      "RFC library sapnwrfc\\.dll needs icudt50\\.dll, which cannot be "
      "loaded \\(Windows error [0-9]+: [^<]*\\\\icudt50\\.dll ";
  const struct {
    const char *variable;
    std::string text; // a regular expression
  } cases[] = {
      {"KESTROVAN_TEST_SENSOR_ICU_MISSING",
       "RFC library sapnwrfc\\.dll needs icudt50\\.dll, which is neither in the program's folder, "
       "the system folders, the working directory nor on PATH" +
           install},
      {"KESTROVAN_TEST_SENSOR_ICU_EMPTY", not_loadable + "is empty\\)" + install},
      {"KESTROVAN_TEST_SENSOR_ICU_OTHER_BITS",
       not_loadable + "is a (32|64)-bit library; this program needs the (32|64)-bit one\\)" +
           install},
      {"KESTROVAN_TEST_SENSOR_ICU_COMPLETE", "Error 1011: RFC-Open for PRD failed !"},
      {"KESTROVAN_TEST_SENSOR_NOT_A_LIBRARY",
       "RFC library sapnwrfc\\.dll cannot be loaded \\(Windows error [0-9]+: "
       "[^<]*\\\\sapnwrfc\\.dll is empty\\)\\.\\.\\."},
  };
  bool ran = false;
  for (const auto &c : cases) {
    const std::string program = Installed(c.variable);
    if (program.empty()) {
      continue;
    }
    ran = true;
    Landscape l;
    l.tree.Write(kHostDir + "PRD.P00",
                 ProfileFor("PRD", kestrovan_test::RandomLoopbackAddress(), 35));
    const ProcessResult r = l.Program(program, {"PRD"});
    EXPECT_TRUE(std::regex_match(r.stdout_text, std::regex("<Prtg>\n<Error>1</Error>\n<Text>" +
                                                           c.text + "</Text>\n</Prtg>\n")))
        << c.variable << "\n"
        << r.stdout_text;
    EXPECT_EQ(r.exit_code, 2) << c.variable;
  }
  if (!ran) {
    GTEST_SKIP() << "only the Windows suite installs the programs with ICU files";
  }
}

} // namespace
