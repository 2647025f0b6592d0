// Benchmark: one global listing run over many simulated systems; reports time per system and
// the sensor's peak memory. Not a test: it asserts nothing and is not run by ctest.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "support/simulated_system.h"
#include "profile/password_scrambler.h"

namespace fs = std::filesystem;

namespace {

void WriteFile(const fs::path &path, const std::string &content) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

struct RunResult {
  double seconds = 0;
  long peak_kib = 0;
  int exit_code = -1;
  std::string summary;
};

RunResult RunSensor(const fs::path &work, const fs::path &root) {
  const fs::path out = work / "stdout.txt";
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(work.c_str()) != 0) _exit(127);
    setenv("KESTROVAN_DRIVE_ROOT", root.c_str(), 1);
    if (!std::freopen(out.c_str(), "w", stdout)) _exit(127);
    execl(KESTROVAN_BIN, KESTROVAN_BIN, "GLOBAL", "BENCH", static_cast<char *>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  RunResult result;
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.peak_kib = usage.ru_maxrss;
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(out);
  std::string line;
  while (std::getline(in, line))
    if (line.find("(***)") != std::string::npos) result.summary = line;
  return result;
}

} // namespace

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
  for (int i = 0; i < simulators; ++i)
    sims.push_back(std::make_unique<kestrovan_test::SimulatedSystem>(system_file, 3300));

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

  const RunResult r = RunSensor(work, root);
  std::printf("systems:            %d (served by %d simulators)\n", systems, simulators);
  std::printf("exit code:          %d\n", r.exit_code);
  std::printf("summary:            %s\n", r.summary.c_str());
  std::printf("wall time:          %.3f s\n", r.seconds);
  std::printf("time per system:    %.3f ms\n", 1000.0 * r.seconds / systems);
  std::printf("sensor peak memory: %ld KiB\n", r.peak_kib);

  sims.clear();
  std::error_code ec;
  if (!std::getenv("KEEP")) fs::remove_all(base, ec);
  return r.exit_code == 0 ? 0 : 1;
}
