// What both run kinds share after start-up: binding the library with the run's options, and the
// console lines that name a system and close the run.
#include "driver/run.h"

#include <memory>

#include "output/log_lines.h"

namespace kestrovan {

std::optional<RunEnding> PrepareSession(Run &run, const RunOptions &options) {
  if (std::optional<std::string> problem = run.rfc.Bind()) {
    return ErrorEnding{std::move(*problem)};
  }
  run.deadline = run.started + std::chrono::seconds(options.time_limit_seconds);
  run.rfc.SetDeadline(run.deadline);
  if (options.syslog) {
    run.rfc.OpenLog(run.setup.profile.directory);
  }
  return std::nullopt;
}

SystemRun CheckSystem(Run &run, ConnectionParameters connection, ConnectionOverrides overrides,
                      CountsHeard heard) {
  if (const std::optional<RfcStop> &stop = run.rfc.stopped()) {
    return {*stop, std::nullopt};
  }
  // What the work finds is its own: after a step it was left in, the run's thread reads only
  // what it had found before the close, written before that step began.
  struct Found {
    SystemRun run{NotOpened{}, std::nullopt};
    std::optional<SystemCheck> before_close;
  };
  const auto found = std::make_shared<Found>();
  const bool back = run.rfc.OnLibraryThread([found, connection = std::move(connection),
                                             overrides = std::move(overrides),
                                             heard = std::move(heard)](RfcSession &rfc) {
    const RFC_HANDLE handle = OpenConnection(rfc, connection, overrides);
    if (rfc.stopped()) {
      found->run.outcome = *rfc.stopped();
      return;
    }
    if (handle == 0) {
      const bool test_library = RefusedByTestLibrary(rfc);
      found->run.outcome =
          rfc.stopped() ? SystemOutcome(*rfc.stopped()) : SystemOutcome(NotOpened{test_library});
      return;
    }
    const SystemCheck check = CheckConnectedSystem(
        rfc, handle, heard, [found](const SystemCheck &so_far) { found->before_close = so_far; });
    found->run = {OutcomeOf(check), check.host};
  });
  if (back) {
    return found->run;
  }
  if (found->before_close) {
    const SystemCheck check = AfterTheClose(*found->before_close, run.rfc);
    return {OutcomeOf(check), check.host};
  }
  return {*run.rfc.stopped(), std::nullopt};
}

std::string SystemLine(const SystemValues &system, const std::string &time,
                       const std::string &entry) {
  const ConnectionParameters &c = system.connection;
  return "* " + time + " " + entry + ", " + system.display_host + ", " + c.destination + ", " +
         c.sysnr + ", " + c.client;
}

std::string EndLine(Platform &os) {
  return "\n* " + TimeOfDay(os) + " SAP " + std::string(kProgramName) + " now processed...\n";
}

} // namespace kestrovan
