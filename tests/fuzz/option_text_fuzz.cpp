// Fuzzes the option text through a whole single-profile run against the scripted library: the
// second argument of the command line, as the monitoring host passes whatever a sensor's
// settings hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

#include "driver/options.h"
#include "driver/sensor.h"
#include "fake_rfc_library.h"
#include "fuzz_check.h"
#include "memory_platform.h"
#include "profile/password_scrambler.h"
#include "sensor_texts.h"

using namespace kestrovan;

namespace {
const std::string &Profile() {
  static const std::string text = [] {
    std::mt19937 random(11);
    return "Extcompany.: Monitoring\nDestination: PRD\nClient.....: 100\nUser.......: monitor\n"
           "Password...: " +
           *ScramblePassword("Secret1", random) +
           "\nLanguage...: E\nMode.......: R/3\nHostname...: prdhost\nSysnr......: 00\n"
           "Gwhost.....: prdgw\nGwservice..: sapgw00\n";
  }();
  return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string options(reinterpret_cast<const char *>(data), size);
  // Whatever the text, the run keeps a time limit the monitor can wait for.
  const int seconds = ParseOptions(options).time_limit_seconds;
  FUZZ_CHECK(seconds >= 1 && seconds <= kLongestTimeLimitSeconds);
  MemoryPlatform os;
  os.files[kHostDir + "PRD.P00"] = Profile();
  os.files["PRD.P00"] = Profile();
  os.files[kHostDir + "Tessaloy.Prf"] = "# Gsng: PROD      : PRD.P00#QAS.P00#\n";
  os.files["Tessaloy.Prf"] = "# Gsng: PROD      : PRD.P00#\n";
  FakeRfc fake;
  fake.rfcsi = Rfcsi("sapprd", "ORACLE");
  fake.missing_rows = 2;

  const int exit_code =
      RunSensor(os, fake.Library(), {"C:\\Sensors\\kestrovan.exe", "PRD", options});
  FUZZ_CHECK(exit_code == 0 || exit_code == 2);
  if (exit_code == 0)
    FUZZ_CHECK(os.stdout_text.find("\n</Prtg>\n") != std::string::npos);
  else
    FUZZ_CHECK(os.stdout_text.find("<Prtg>\n<Error>1</Error>\n<Text>") != std::string::npos);
  // The logon password shows nowhere: not on standard output (unless the options hold it and
  // the console lines show them), not in any file.
  if (options.find("Secret1") == std::string::npos)
    FUZZ_CHECK(os.stdout_text.find("Secret1") == std::string::npos);
  for (const auto &[path, bytes] : os.files)
    FUZZ_CHECK(bytes.find("Secret1") == std::string::npos);
  return 0;
}
