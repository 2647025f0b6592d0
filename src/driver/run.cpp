// What both run kinds share after start-up: binding the library with the run's options, and the
// console lines that name a system and close the run.
#include "driver/run.h"

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
