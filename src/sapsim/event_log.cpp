// Serialised writes to standard error.
#include "sapsim/event_log.h"

namespace sapsim {

void EventLog::Write(const std::string &line) {
  if (out_ == nullptr) {
    return;
  }
  const std::lock_guard<std::mutex> lock(mutex_);
  std::fprintf(out_, "sapsim: %s\n", line.c_str());
  std::fflush(out_);
}

} // namespace sapsim
