// Benchmark: one single-profile run whose DB_ORA_MISSING_INDICES answer holds many 30-byte rows
// (1,000,000 by default); reports the sensor's wall time and peak memory. The stand-in keeps rows
// that arrive at the table's own line length in the received frame itself, one block per table,
// so the peak stays near the rows' bytes plus the program: under 64 MB for a million rows.
// Not a test: it asserts nothing and is not run by ctest.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "measured_run.h"
#include "profile/password_scrambler.h"
#include "support/simulated_system.h"

using namespace kestrovan_bench;

int main(int argc, char **argv) {
  const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
  if (rows < 0 || rows > 1000000) {
    std::fprintf(stderr, "usage: %s [ROWS]  (0..1000000 rows of MISSING_INDEX)\n", argv[0]);
    return 2;
  }
  const fs::path base =
      fs::temp_directory_path() / ("kestrovan-large-reply-" + std::to_string(getpid()));
  const fs::path root = base / "root";
  const fs::path work = base / "work";
  fs::create_directories(work);

  kestrovan_test::SimulatedSystem system("rfchost = bench\nrfcdbsys = ORACLE\nclient = 100\n"
                                         "user = MONITOR\npassword = Bench1\nmissing_index = " +
                                             std::to_string(rows) + "\nindex_not_defined = 0\n",
                                         3300);
  std::mt19937 random(1);
  WriteFile(root / "C/Program Files/PRTG Network Monitor/Custom Sensors/ExeXml/BIG.P00",
            "Extcompany.: Bench\nDestination: BIG\nClient.....: 100\nUser.......: monitor\n"
            "Password...: " +
                *kestrovan::ScramblePassword("Bench1", random) +
                "\nLanguage...: E\nMode.......: R/3\nHostname...: " + system.Address() +
                "\nSysnr......: 00\nGwhost.....: gw\nGwservice..: sapgw00\n");

  const MeasuredRun run = RunSensorMeasured(work, root, {"BIG"});
  std::string text;
  for (const std::string &line : run.stdout_lines) {
    if (line.starts_with("<Text>")) {
      text = line;
    }
  }
  std::printf("rows:               %ld of 30 bytes\n", rows);
  std::printf("exit code:          %d\n", run.exit_code);
  std::printf("text:               %s\n", text.c_str());
  std::printf("wall time:          %.3f s\n", run.seconds);
  std::printf("sensor peak memory: %ld KiB (%.1f MB)\n", run.peak_kib,
              static_cast<double>(run.peak_kib) * 1024.0 / 1e6);

  std::error_code ec;
  if (!std::getenv("KEEP")) {
    fs::remove_all(base, ec);
  }
  return run.exit_code == 0 ? 0 : 1;
}
