// How the Linux program finds its RFC library: copies of the built sensor installed with and
// without SAP's library file beside them or on the library path, run against a simulated system.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "programs.h"
#include "sapsim_fixture.h"

namespace {

namespace fs = std::filesystem;

/// A copy of the built sensor in a folder of its own, with the given files beside it.
std::string Install(const ScratchTree &tree, const std::string &name,
                    const std::vector<std::pair<std::string, std::string>> &beside) {
  const fs::path folder = tree.base() / "programs" / name;
  fs::create_directories(folder);
  fs::copy_file(KESTROVAN_BIN, folder / "kestrovan", fs::copy_options::overwrite_existing);
  for (const auto &[file, source] : beside) {
    if (source.empty()) {
      std::ofstream(folder / file).close();
    } else {
      fs::copy_file(source, folder / file, fs::copy_options::overwrite_existing);
    }
  }
  return (folder / "kestrovan").string();
}

bool SkipForInstalledPrograms() {
  return TestingWindowsPrograms() || std::getenv("KESTROVAN_TEST_SENSOR") != nullptr;
}

TEST(LibraryLoadingEndToEnd, SapsLibraryIsUsedWhereverItIsFound) {
  if (SkipForInstalledPrograms()) {
    GTEST_SKIP() << "installs copies of the Linux program it was built with";
  }
  const std::string standin = KESTROVAN_NWRFC_STANDIN;
  const std::string standin_folder = fs::path(standin).parent_path().string();
  Landscape l;
  l.tree.Write(kHostDir + "PRD.P00",
               ProfileFor("PRD", kestrovan_test::RandomLoopbackAddress(), 32));
  const struct {
    const char *name;
    std::vector<std::pair<std::string, std::string>> beside;
    std::string library_path;
    const char *trace_header; // names the library that wrote the trace
  } cases[] = {
      {"beside_without_switch", {{"libsapnwrfc.so", standin}}, "", "RFC-VER 3 NWRFC"},
      {"on_the_library_path", {}, standin_folder, "RFC-VER 3 NWRFC"},
      {"nowhere", {}, "", "RFC-VER 3 STANDIN"},
      {"stand_in_switch_wins",
       {{"libsapnwrfc.so", standin}, {"Kestrovan.RfcStandin", ""}},
       "",
       "RFC-VER 3 STANDIN"},
  };
  for (const auto &c : cases) {
    const std::string program = Install(l.tree, c.name, c.beside);
    std::map<std::string, std::string> environment{{"KESTROVAN_DRIVE_ROOT", l.tree.root().string()},
                                                   {"LD_LIBRARY_PATH", c.library_path}};
    fs::remove(l.tree.Local("Dev_Rfc.Trc"));
    const ProcessResult r = RunProcess(program, {"PRD"}, l.tree.work().string(), environment);
    EXPECT_EQ(r.stdout_text, ExpectedError("Error 1011: RFC-Open for PRD failed !")) << c.name;
    EXPECT_EQ(r.exit_code, 2) << c.name;
    EXPECT_NE(l.tree.Read("Dev_Rfc.Trc").find(c.trace_header), std::string::npos)
        << c.name << "\n"
        << l.tree.Read("Dev_Rfc.Trc");
  }
}

// SAP's library ends the process at its first open when an ICU file cannot be loaded: the run
// ends before that with a document naming the file. Our own stand-in needs no ICU.
TEST(LibraryLoadingEndToEnd, SapsIcuFilesAreCheckedBeforeTheFirstOpen) {
  if (SkipForInstalledPrograms()) {
    GTEST_SKIP() << "installs copies of the Linux program it was built with";
  }
  const std::string sap_like = KESTROVAN_SAP_LIKE_NWRFC;
  const std::string opened = ExpectedError("Error 1011: RFC-Open for PRD failed !");
  const auto missing = [](const std::string &file) {
    return ExpectedError("RFC library libsapnwrfc.so needs " + file +
                         ", which is neither beside it nor on the library path; install the "
                         "NetWeaver RFC SDK's whole lib folder...");
  };
  Landscape l;
  l.tree.Write(kHostDir + "PRD.P00",
               ProfileFor("PRD", kestrovan_test::RandomLoopbackAddress(), 33));
  const fs::path elsewhere = l.tree.base() / "icu34";
  fs::create_directories(elsewhere);
  for (const char *file : {"libicuuc.so.34", "libicui18n.so.34", "libicudata.so.34"}) {
    std::ofstream(elsewhere / file).close();
  }
  const struct {
    const char *name;
    std::vector<std::pair<std::string, std::string>> beside;
    std::map<std::string, std::string> environment;
    std::string document;
    int exit_code;
  } cases[] = {
      {"no_icu", {{"libsapnwrfc.so", sap_like}}, {}, missing("libicuuc.so.*"), 2},
      {"data_file_missing",
       {{"libsapnwrfc.so", sap_like}, {"libicuuc.so.50", ""}, {"libicui18n.so.50", ""}},
       {},
       missing("libicudata.so.50"),
       2},
      {"mixed_versions",
       {{"libsapnwrfc.so", sap_like},
        {"libicuuc.so.50", ""},
        {"libicui18n.so.74", ""},
        {"libicudata.so.74", ""}},
       {},
       missing("libicuuc.so.74"),
       2},
      {"all_beside",
       {{"libsapnwrfc.so", sap_like},
        {"libicuuc.so.50", ""},
        {"libicui18n.so.50", ""},
        {"libicudata.so.50", ""}},
       {},
       opened,
       2},
      {"on_the_library_path",
       {{"libsapnwrfc.so", sap_like}},
       {{"LD_LIBRARY_PATH", elsewhere.string()}},
       opened,
       2},
      {"seven_bit_fallback",
       {{"libsapnwrfc.so", sap_like}},
       {{"NLSUI_7BIT_FALLBACK", "1"}},
       opened,
       2},
      {"own_standin_needs_none", {{"libsapnwrfc.so", KESTROVAN_NWRFC_STANDIN}}, {}, opened, 2},
  };
  for (const auto &c : cases) {
    const std::string program = Install(l.tree, c.name, c.beside);
    std::map<std::string, std::string> environment = c.environment;
    environment["KESTROVAN_DRIVE_ROOT"] = l.tree.root().string();
    environment.emplace("LD_LIBRARY_PATH", "");
    const ProcessResult r = RunProcess(program, {"PRD"}, l.tree.work().string(), environment);
    EXPECT_EQ(r.stdout_text, c.document) << c.name;
    EXPECT_EQ(r.exit_code, c.exit_code) << c.name;
  }
}

// A library that is there but cannot be loaded is named, with what is wrong with it; the run
// never goes on with the stand-in instead.
TEST(LibraryLoadingEndToEnd, ALibraryThatCannotBeLoadedSaysWhy) {
  if (SkipForInstalledPrograms()) {
    GTEST_SKIP() << "installs copies of the Linux program it was built with";
  }
  Landscape l;
  l.tree.Write(kHostDir + "PRD.P00",
               ProfileFor("PRD", kestrovan_test::RandomLoopbackAddress(), 34));
  // A 32-bit shared object as far as the loader reads before it refuses one.
  const fs::path narrow = l.tree.base() / "narrow" / "libsapnwrfc.so";
  fs::create_directories(narrow.parent_path());
  std::ofstream(narrow, std::ios::binary) << std::string("\x7f"
                                                         "ELF\x01\x01\x01",
                                                         7) +
                                                 std::string(1017, '\0');
  const std::string elsewhere = (l.tree.base() / "programs" / "on_the_library_path").string();
  const struct {
    const char *name;
    std::vector<std::pair<std::string, std::string>> beside;
    std::string library_path;
    std::string text;
  } cases[] = {
      {"other_class_beside",
       {{"libsapnwrfc.so", narrow.string()}},
       "",
       "RFC library libsapnwrfc.so cannot be loaded (" +
           (l.tree.base() / "programs" / "other_class_beside" / "libsapnwrfc.so").string() +
           " is a 32-bit library; this program needs the 64-bit one)..."},
      {"other_class_on_the_library_path",
       {},
       narrow.parent_path().string(),
       "RFC library libsapnwrfc.so cannot be loaded (" + narrow.string() +
           " is a 32-bit library; this program needs the 64-bit one)..."},
      {"dependency_missing",
       {{"libsapnwrfc.so", KESTROVAN_NEEDS_ABSENT}},
       "",
       "RFC library libsapnwrfc.so cannot be loaded (" +
           (l.tree.base() / "programs" / "dependency_missing" / "libsapnwrfc.so").string() +
           " needs libsapucum.so, which the system's search (LD_LIBRARY_PATH, ldconfig) does not "
           "find)..."},
  };
  for (const auto &c : cases) {
    const std::string program = Install(l.tree, c.name, c.beside);
    const ProcessResult r = RunProcess(
        program, {"PRD"}, l.tree.work().string(),
        {{"KESTROVAN_DRIVE_ROOT", l.tree.root().string()}, {"LD_LIBRARY_PATH", c.library_path}});
    EXPECT_EQ(r.stdout_text, ExpectedError(c.text)) << c.name;
    EXPECT_EQ(r.exit_code, 2) << c.name;
  }
}

} // namespace
