// Fuzzes the monitoring host's path file, C:\PRTG_Path.Txt, through the search for the sensor
// folder, on real files below a scratch drive root.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "driver/startup.h"
#include "fuzz_check.h"
#include "test_platform.h"

using namespace kestrovan;

namespace {
struct Scratch {
  ScratchTree tree;
  Scratch() {
    // Profiles where a path file may lead, and one where no sensor folder is.
    tree.Write("D:\\Monitor\\PRTG Network Monitor\\Custom Sensors\\ExeXml\\PRD.P00", "p");
    tree.Write("D:\\Monitor\\Custom Sensors\\ExeXml\\PRD.P00", "p");
    tree.Write("E:\\exexml\\PRD.P00", "p");
    tree.Write("D:\\Elsewhere\\PRD.P00", "p");
    tree.Write("\\Custom Sensors\\ExeXml\\PRD.P00", "p");
  }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  static Scratch scratch;
  scratch.tree.Write("C:\\PRTG_Path.Txt", std::string(reinterpret_cast<const char *>(data), size));
  TestPlatform os(scratch.tree);
  const OrEnding<StartedUp> started = StartUp(os, {"kestrovan", "PRD"});
  // Start-up writes nothing itself: what ends the run is handed back.
  FUZZ_CHECK(os.stdout_text.empty());
  if (const auto *ending = std::get_if<ErrorEnding>(&started)) {
    FUZZ_CHECK(ending->text == "Error 1002: Profile PRD.P00 is missing..." ||
               ending->text == "Sorry, invalid Path-Usage...");
    return 0;
  }
  // Only a profile in a folder named ExeXml, which really holds it, is taken.
  const StartedUp &up = std::get<StartedUp>(started);
  const std::string &directory = up.setup.profile.directory;
  FUZZ_CHECK(up.profile_text != nullptr);
  FUZZ_CHECK(directory.size() >= 7 &&
             UpperAscii(directory.substr(directory.size() - 7)) == "EXEXML\\");
  FUZZ_CHECK(os.IsFile(directory + "PRD.P00"));
  FUZZ_CHECK(directory.find('\0') == std::string::npos);
  return 0;
}
