// One line per event on standard error, so a test that fails can show what the system saw.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

namespace sapsim {

class EventLog {
public:
  /// Lines go to `out`; null discards them (for harnesses that run sessions by the million).
  explicit EventLog(std::FILE *out = stderr) : out_(out) {}

  /// Writes "sapsim: " and the line; lines of parallel sessions never interleave.
  void Write(const std::string &line);

private:
  std::FILE *out_;
  std::mutex mutex_;
};

} // namespace sapsim
