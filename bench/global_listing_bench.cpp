// Benchmark: one global listing run over many simulated systems; reports time per system and
// the sensor's peak memory. Not a test: it asserts nothing and is not run by ctest.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "measured_run.h"
#include "profile/password_scrambler.h"
#include "support/simulated_system.h"

using namespace kestrovan_bench;

int main(int argc, char **argv) {
  const int systems = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int simulators = argc > 2 ? std::atoi(argv[2]) : systems;
  if (systems < 1 || simulators < 1 || simulators > systems) {
    std::fprintf(stderr, "usage: %s [SYSTEMS [SIMULATORS]]  (1 <= SIMULATORS <= SYSTEMS)\n",
                 argv[0]);
    return 2;
  }
  const fs::path base = fs::temp_directory_path() / ("kestrovan-bench-" + std::to_string(getpid()));
  const fs::path root = base / "root";
  const fs::path work = base / "work";
  const fs::path sensors = root / "C/Program Files/PRTG Network Monitor/Custom Sensors/ExeXml";
  fs::create_directories(work);

  std::printf("starting %d simulated systems...\n", simulators);
  std::fflush(stdout);
  std::vector<std::unique_ptr<kestrovan_test::SimulatedSystem>> sims;
  const std::string system_file =
      "rfchost = bench\nrfcdbsys = ORACLE\nclient = 100\nuser = MONITOR\npassword = Bench1\n"
      "missing_index = 25\nindex_not_defined = 5\n";
  for (int i = 0; i < simulators; ++i) {
    sims.push_back(std::make_unique<kestrovan_test::SimulatedSystem>(system_file, 3300));
  }

  std::mt19937 random(1);
  const std::string password = *kestrovan::ScramblePassword("Bench1", random);
  std::string listing_file = "# Benchmark listing\n";
  std::string line;
  for (int i = 0; i < systems; ++i) {
    const std::string name = "S" + std::to_string(i) + ".P00";
    const auto &sim = *sims[static_cast<std::size_t>(i % simulators)];
    WriteFile(sensors / name,
              "Extcompany.: Bench\nDestination: SID" + std::to_string(i) +
                  "\nClient.....: 100\nUser.......: monitor\nPassword...: " + password +
                  "\nLanguage...: E\nMode.......: R/3\nHostname...: " + sim.Address() +
                  "\nSysnr......: 00\nGwhost.....: gw\nGwservice..: sapgw00\n");
    if (line.size() + name.size() + 1 > 150) {
      listing_file += "# GSNG: BENCH     : " + line + "\n";
      line.clear();
    }
    line += name + "#";
  }
  listing_file += "# GSNG: BENCH     : " + line + "\n";
  listing_file += "# GSNX: BENCH     : Item=Missing_Idices,Sensor=\"SAP Kestrovan\",Alias\n";
  WriteFile(sensors / "SAP Tessaloy.Gbl", listing_file);

  const MeasuredRun r = RunSensorMeasured(work, root, {"GLOBAL", "BENCH"});
  std::string summary;
  for (const std::string &output : r.stdout_lines) {
    if (output.find("(***)") != std::string::npos) {
      summary = output;
    }
  }
  std::printf("systems:            %d (served by %d simulators)\n", systems, simulators);
  std::printf("exit code:          %d\n", r.exit_code);
  std::printf("summary:            %s\n", summary.c_str());
  std::printf("wall time:          %.3f s\n", r.seconds);
  std::printf("time per system:    %.3f ms\n", 1000.0 * r.seconds / systems);
  std::printf("sensor CPU per system: %.3f ms\n", 1000.0 * r.cpu_seconds / systems);
  std::printf("sensor sleeps per system: %.1f (and %.1f times put aside)\n",
              static_cast<double>(r.voluntary_switches) / systems,
              static_cast<double>(r.involuntary_switches) / systems);
  std::printf("sensor peak memory: %ld KiB\n", r.peak_kib);

  sims.clear();
  std::error_code ec;
  if (!std::getenv("KEEP")) {
    fs::remove_all(base, ec);
  }
  return r.exit_code == 0 ? 0 : 1;
}
