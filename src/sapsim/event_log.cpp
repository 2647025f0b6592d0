// Serialised writes to standard error.
#include "sapsim/event_log.h"

#include <cstdio>

namespace sapsim {

void EventLog::Write(const std::string &line) {
  const std::lock_guard<std::mutex> lock(mutex_);
  std::fprintf(stderr, "sapsim: %s\n", line.c_str());
  std::fflush(stderr);
}

} // namespace sapsim
