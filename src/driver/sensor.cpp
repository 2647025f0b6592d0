// One whole run of the sensor: start-up, then the single-profile run or the global listing run,
// and the ending that one place writes.
#include "driver/sensor.h"

#include "driver/endings.h"
#include "driver/global_listing_run.h"
#include "driver/run.h"
#include "driver/single_profile_run.h"
#include "driver/startup.h"

namespace kestrovan {

int RunSensor(Platform &os, const RfcLibrary *rfc, std::vector<std::string> arguments) {
  return RunSensor(
      os, [rfc](std::string *) { return rfc; }, std::move(arguments));
}

int RunSensor(Platform &os, RfcBinder bind, std::vector<std::string> arguments,
              bool *call_left_running) {
  const RunClock::time_point started = RunClock::now();
  OrEnding<StartedUp> start = StartUp(os, arguments);
  if (auto *ending = std::get_if<ErrorEnding>(&start)) {
    return WriteEnding(os, *ending);
  }
  StartedUp &started_up = std::get<StartedUp>(start);
  Run run(os, std::move(started_up.setup), std::move(bind), started);
  const std::optional<RunEnding> ending = run.setup.global_listing
                                              ? GlobalListingRun(run)
                                              : SingleProfileRun(run, *started_up.profile_text);
  if (call_left_running) {
    *call_left_running = run.rfc.call_left_running();
  }
  return ending ? WriteEnding(os, *ending) : kExitDone;
}

} // namespace kestrovan
