// Benchmark: one single-profile run whose DB_ORA_MISSING_INDICES answer holds many 30-byte rows
// (1,000,000 by default); reports the sensor's wall time and peak memory. The stand-in copies a
// reply's rows once, into one block per table, so the peak stays near twice the rows' bytes
// (the frame and the table) plus the program itself: under 64 MB for a million rows.
// Not a test: it asserts nothing and is not run by ctest.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "profile/password_scrambler.h"
#include "support/simulated_system.h"

namespace fs = std::filesystem;

namespace {

void WriteFile(const fs::path &path, const std::string &content) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

} // namespace

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

  const fs::path out = work / "stdout.txt";
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(work.c_str()) != 0) _exit(127);
    setenv("KESTROVAN_DRIVE_ROOT", root.c_str(), 1);
    if (!std::freopen(out.c_str(), "w", stdout)) _exit(127);
    execl(KESTROVAN_BIN, KESTROVAN_BIN, "BIG", static_cast<char *>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const int exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(out);
  std::string text;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("<Text>", 0) == 0) text = line;
  }
  std::printf("rows:               %ld of 30 bytes\n", rows);
  std::printf("exit code:          %d\n", exit_code);
  std::printf("text:               %s\n", text.c_str());
  std::printf("wall time:          %.3f s\n", seconds);
  std::printf("sensor peak memory: %ld KiB (%.1f MB)\n", usage.ru_maxrss,
              static_cast<double>(usage.ru_maxrss) * 1024.0 / 1e6);

  std::error_code ec;
  if (!std::getenv("KEEP")) fs::remove_all(base, ec);
  return exit_code == 0 ? 0 : 1;
}
