// One line per event on standard error, so a test that fails can show what the system saw.
#pragma once

#include <mutex>
#include <string>

namespace sapsim {

class EventLog {
public:
  /// Writes "sapsim: " and the line; lines of parallel sessions never interleave.
  void Write(const std::string &line);

private:
  std::mutex mutex_;
};

} // namespace sapsim
