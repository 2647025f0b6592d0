// What the benchmarks share: files below a scratch drive root, and one run of the built sensor in
// its own working directory with standard output in a file, measured for time and peak memory.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace kestrovan_bench {

namespace fs = std::filesystem;

inline void WriteFile(const fs::path &path, const std::string &content) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

struct MeasuredRun {
  double seconds = 0;
  long peak_kib = 0; // the sensor's own peak resident memory
  /// The sensor's processor time (user and system, all its threads) and how often its threads
  /// went to sleep or were put aside: unlike the wall time, neither swings with the load other
  /// machines put on a shared host.
  double cpu_seconds = 0;
  long voluntary_switches = 0, involuntary_switches = 0;
  int exit_code = -1;
  std::vector<std::string> stdout_lines;
};

/// Runs the sensor with the arguments, in work, with its drive letters below root.
inline MeasuredRun RunSensorMeasured(const fs::path &work, const fs::path &root,
                                     std::vector<std::string> arguments) {
  const fs::path out = work / "stdout.txt";
  arguments.insert(arguments.begin(), KESTROVAN_BIN);
  std::vector<char *> argv;
  for (std::string &argument : arguments)
    argv.push_back(argument.data());
  argv.push_back(nullptr);

  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(work.c_str()) != 0) _exit(127);
    setenv("KESTROVAN_DRIVE_ROOT", root.c_str(), 1);
    if (!std::freopen(out.c_str(), "w", stdout)) _exit(127);
    execv(KESTROVAN_BIN, argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  MeasuredRun run;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.peak_kib = usage.ru_maxrss;
  const auto seconds_of = [](const timeval &t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  run.cpu_seconds = seconds_of(usage.ru_utime) + seconds_of(usage.ru_stime);
  run.voluntary_switches = usage.ru_nvcsw;
  run.involuntary_switches = usage.ru_nivcsw;
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(out);
  for (std::string line; std::getline(in, line);)
    run.stdout_lines.push_back(line);
  return run;
}

} // namespace kestrovan_bench
