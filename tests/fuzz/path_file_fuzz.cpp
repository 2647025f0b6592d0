// Fuzzes the monitoring host's path file, C:\PRTG_Path.Txt, through the search for the sensor
// folder, on real files below a scratch drive root.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "driver/run.h"
#include "test_platform.h"

using namespace kestrovan;

namespace {

void Require(bool holds) {
  if (!holds) std::abort();
}

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
    Require(profile != nullptr && os.stdout_text.empty());
    Require(directory.size() >= 7 &&
            UpperAscii(directory.substr(directory.size() - 7)) == "EXEXML\\");
    Require(os.IsFile(directory + "PRD.P00"));
    Require(directory.find('\0') == std::string::npos);
  } catch (const RunEnded &ended) {
    Require(ended.exit_code == kExitError);
    Require(os.stdout_text == "<Prtg>\n<Error>1</Error>\n<Text>Error 1002: Profile PRD.P00 is "
                              "missing...</Text>\n</Prtg>\n" ||
            os.stdout_text ==
                "<Prtg>\n<Error>1</Error>\n<Text>Sorry, invalid Path-Usage...</Text>\n</Prtg>\n");
  }
  return 0;
}
