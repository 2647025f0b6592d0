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
    fs::create_directories((folder / file).parent_path());
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

/// A file the loader takes for a 32-bit shared object, as far as it reads before refusing one.
std::string NarrowElf() {
  return std::string("\x7f"
                     "ELF\x01\x01\x01",
                     7) +
         std::string(1017, '\0');
}

// SAP's library ends the process at its first open when an ICU file it names cannot be loaded:
// the run ends before that with a document naming the file. Which files, its own files say
// (here the unicode layer beside it names ICU 50, and has the run path $ORIGIN/icu).
TEST(LibraryLoadingEndToEnd, TheIcuFilesSapsLibraryNamesAreLoadedBeforeTheFirstOpen) {
  if (SkipForInstalledPrograms()) {
    GTEST_SKIP() << "installs copies of the Linux program it was built with";
  }
  const std::string standin = KESTROVAN_NWRFC_STANDIN;
  const std::string unicode = KESTROVAN_SAPUCUM_STANDIN;
  const std::string icu = KESTROVAN_ICU_STANDIN;
  const std::string opened = ExpectedError("Error 1011: RFC-Open for PRD failed !");
  Landscape l;
  l.tree.Write(kHostDir + "PRD.P00",
               ProfileFor("PRD", kestrovan_test::RandomLoopbackAddress(), 33));
  l.tree.Write(kHostDir + "SAP Tessaloy.Gbl",
               "# GSNG: PROD      : PRD.P00#\r\n# GSNX: PROD      : Item=Missing_Idices"
               ",Sensor=\"SAP Kestrovan\"\r\n");
  const fs::path narrow = l.tree.base() / "narrow";
  std::ofstream(narrow, std::ios::binary) << NarrowElf();
  const auto folder_of = [&](const char *name) {
    return (l.tree.base() / "programs" / name).string();
  };
  const auto set_in = [&](const fs::path &folder, const std::string &version) {
    fs::create_directories(folder);
    for (const char *file : {"libicuuc.so.", "libicui18n.so.", "libicudata.so."}) {
      fs::copy_file(icu, folder / (file + version), fs::copy_options::overwrite_existing);
    }
    return folder.string();
  };
  const std::string icu50 = set_in(l.tree.base() / "icu50", "50");
  const std::string icu72 = set_in(l.tree.base() / "icu72", "72");
  const auto missing = [&](const char *name) {
    return ExpectedError("RFC library libsapnwrfc.so needs libicudata.so.50, which is neither on "
                         "LD_LIBRARY_PATH, in " +
                         folder_of(name) +
                         "/icu nor in the system's search (ldconfig); install the NetWeaver RFC "
                         "SDK's whole lib folder...");
  };
  const auto not_loadable = [&](const char *name, const std::string &why) {
    return ExpectedError("RFC library libsapnwrfc.so needs libicudata.so.50, which cannot be "
                         "loaded (" +
                         folder_of(name) + "/icu/libicudata.so.50 " + why +
                         "); install the NetWeaver RFC SDK's whole lib folder...");
  };
  using Files = std::vector<std::pair<std::string, std::string>>;
  const Files sap = {{"libsapnwrfc.so", standin}, {"libsapucum.so", unicode}};
  const auto with = [&](Files files, const Files &more) {
    files.insert(files.end(), more.begin(), more.end());
    return files;
  };
  const Files in_run_path = with(
      sap,
      {{"icu/libicuuc.so.50", icu}, {"icu/libicui18n.so.50", icu}, {"icu/libicudata.so.50", icu}});
  const struct {
    const char *name;
    Files beside;
    std::map<std::string, std::string> environment;
    std::string document;
  } cases[] = {
      {"none_named", {{"libsapnwrfc.so", standin}}, {}, opened},
      {"missing", sap, {}, missing("missing")},
      {"another_version_only", sap, {{"LD_LIBRARY_PATH", icu72}}, missing("another_version_only")},
      {"on_the_library_path", sap, {{"LD_LIBRARY_PATH", icu50}}, opened},
      {"in_the_run_path", in_run_path, {}, opened},
      {"empty",
       with(sap, {{"icu/libicuuc.so.50", icu},
                  {"icu/libicui18n.so.50", icu},
                  {"icu/libicudata.so.50", ""}}),
       {},
       not_loadable("empty", "is empty")},
      {"other_class",
       with(sap, {{"icu/libicuuc.so.50", icu},
                  {"icu/libicui18n.so.50", icu},
                  {"icu/libicudata.so.50", narrow.string()}}),
       {},
       not_loadable("other_class", "is a 32-bit library; this program needs the 64-bit one")},
      {"seven_bit_fallback_set_empty", sap, {{"NLSUI_7BIT_FALLBACK", ""}}, opened},
      {"seven_bit_fallback_set_to_0", sap, {{"NLSUI_7BIT_FALLBACK", "0"}}, opened},
  };
  for (const auto &c : cases) {
    const std::string program = Install(l.tree, c.name, c.beside);
    std::map<std::string, std::string> environment = c.environment;
    environment["KESTROVAN_DRIVE_ROOT"] = l.tree.root().string();
    environment.emplace("LD_LIBRARY_PATH", "");
    const ProcessResult r = RunProcess(program, {"PRD"}, l.tree.work().string(), environment);
    EXPECT_EQ(r.stdout_text, c.document) << c.name;
    EXPECT_EQ(r.exit_code, 2) << c.name;
    EXPECT_EQ(r.stderr_text, "") << c.name;
    if (c.document != opened) {
      const ProcessResult global =
          RunProcess(program, {"GLOBAL", "PROD"}, l.tree.work().string(), environment);
      EXPECT_EQ(global.stdout_text, c.document) << c.name;
      EXPECT_EQ(global.exit_code, 2) << c.name;
    }
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
  std::ofstream(narrow, std::ios::binary) << NarrowElf();
  const fs::path text = l.tree.base() / "text";
  std::ofstream(text) << "not a library\n";
  const auto path_beside = [&](const char *name) {
    return (l.tree.base() / "programs" / name / "libsapnwrfc.so").string();
  };
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
      {"not_a_library",
       {{"libsapnwrfc.so", text.string()}},
       "",
       "RFC library libsapnwrfc.so cannot be loaded (" + path_beside("not_a_library") +
           " is not a library)..."},
      {"empty",
       {{"libsapnwrfc.so", ""}},
       "",
       "RFC library libsapnwrfc.so cannot be loaded (" + path_beside("empty") + " is empty)..."},
      // Another library under SAP's name is told so before its ICU files are looked for.
      {"another_library",
       {{"libsapnwrfc.so", KESTROVAN_ICU_STANDIN}, {"libsapucum.so", KESTROVAN_SAPUCUM_STANDIN}},
       "",
       "RFC library libsapnwrfc.so lacks the operation RfcOpenConnection..."},
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
