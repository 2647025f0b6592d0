// Accepts connections and runs one session thread per client until told to stop.
#pragma once

#include <atomic>

#include "wire/transport.h"
#include "sapsim/event_log.h"
#include "sapsim/system_file.h"

namespace sapsim {

/// Returns once stopping is set and every session has ended.
void Serve(rfcwire::Socket &listener, const SystemDescription &system,
           const std::atomic<bool> &stopping, EventLog &log);

} // namespace sapsim
