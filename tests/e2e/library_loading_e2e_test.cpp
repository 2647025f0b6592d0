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

} // namespace
