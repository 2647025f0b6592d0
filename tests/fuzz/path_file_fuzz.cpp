// Fuzzes the monitoring host's path file, C:\PRTG_Path.Txt, through the search for the sensor
// folder, on real files below a scratch drive root.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "driver/run.h"
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
  Run run(os, RfcBinder{});
  try {
    const auto profile = StartUp(run, {"kestrovan", "PRD"});
    // Only a profile in a folder named ExeXml, which really holds it, is taken.
    const std::string &directory = run.profile.directory;
    FUZZ_CHECK(profile != nullptr && os.stdout_text.empty());
    FUZZ_CHECK(directory.size() >= 7 &&
               UpperAscii(directory.substr(directory.size() - 7)) == "EXEXML\\");
    FUZZ_CHECK(os.IsFile(directory + "PRD.P00"));
    FUZZ_CHECK(directory.find('\0') == std::string::npos);
  } catch (const RunEnded &ended) {
    FUZZ_CHECK(ended.exit_code == kExitError);
    FUZZ_CHECK(
        os.stdout_text == "<Prtg>\n<Error>1</Error>\n<Text>Error 1002: Profile PRD.P00 is "
                          "missing...</Text>\n</Prtg>\n" ||
        os.stdout_text ==
            "<Prtg>\n<Error>1</Error>\n<Text>Sorry, invalid Path-Usage...</Text>\n</Prtg>\n");
  }
  return 0;
}
