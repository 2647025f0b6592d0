// A run after start-up, as the single-profile run and the global listing run both work on it:
// the run record, the binding of the library and the console lines they share.
#pragma once

#include <optional>
#include <string>

#include "driver/endings.h"
#include "driver/startup.h"
#include "platform/platform.h"
#include "profile/profile.h"
#include "session/open_connection.h"
#include "session/rfc_session.h"

namespace kestrovan {

/// The values of the system being worked on. A global listing run carries them from one profile
/// to the next: a profile overwrites only the fields it names.
struct SystemValues {
  ConnectionParameters connection;
  std::string display_host; // the profile's host until the system names its own
};

/// A run after start-up: what start-up decided, the session with the library, and when the run
/// began, from which its time limit counts.
struct Run {
  Run(Platform &platform, RunSetup run_setup, RfcBinder binder, RunClock::time_point began)
      : os(platform), setup(std::move(run_setup)), rfc(platform, std::move(binder)),
        started(began) {}

  Platform &os;
  RunSetup setup;
  RfcSession rfc;
  RunClock::time_point started;
  /// When the run's time is up; set with its options, by PrepareSession.
  RunClock::time_point deadline = RunClock::time_point::max();
};

/// Binds the library for a run that has its options, and sets the run's deadline, which the
/// session keeps as well; the ending when no library can be used.
std::optional<RunEnding> PrepareSession(Run &run, const RunOptions &options);

/// What became of one system, and the host name it gave for itself when it answered.
struct SystemRun {
  SystemOutcome outcome;
  std::optional<std::string> host;
};

/// Opens the system, checks it and closes it again, in one hand-off to the library's thread; heard
/// learns the counts there, while the run's thread waits. A system whose close was left running
/// at the deadline comes to what its checks found; the session then takes no further call.
SystemRun CheckSystem(Run &run, ConnectionParameters connection, ConnectionOverrides overrides,
                      CountsHeard heard = {});

/// "* time entry, host, destination, sysnr, client": the system a run is working on.
std::string SystemLine(const SystemValues &system, const std::string &time,
                       const std::string &entry);

/// "\n* time SAP Kestrovan now processed...\n", with the time taken anew.
std::string EndLine(Platform &os);

} // namespace kestrovan
