// Accepts connections and runs one session thread per client until told to stop.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>

#include "wire/transport.h"
#include "sapsim/event_log.h"
#include "sapsim/session.h"
#include "sapsim/system_file.h"

namespace sapsim {

/// Sessions served at once unless the command line says otherwise: plenty for a sensor, which
/// holds one connection per system, and few enough threads for any test machine.
inline constexpr std::size_t kDefaultMaxSessions = 64;

/// Returns once stopping is set and every session has ended. A client arriving while
/// max_sessions sessions run gets a failure notice and is closed, with one line on the log.
/// On stop, open sessions are cut off at once, even in the middle of a frame. A logged-on session
/// whose client sends nothing for idle_limit is closed.
void Serve(rfcwire::Socket &listener, const SystemDescription &system,
           const std::atomic<bool> &stopping, EventLog &log,
           std::size_t max_sessions = kDefaultMaxSessions,
           std::chrono::seconds idle_limit = kDefaultIdleLimit);

} // namespace sapsim
