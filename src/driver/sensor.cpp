// The sensor's run: start-up, then a single-profile run or a global listing run.
#include "driver/sensor.h"

#include "driver/global_listing_run.h"
#include "driver/single_profile_run.h"
#include "driver/startup.h"
#include "rfc/error_report.h"

int RunSensor(Platform &os, const RfcLibrary *rfc, std::vector<std::string> arguments) {
  return RunSensor(
      os, [rfc](std::string *) { return rfc; }, std::move(arguments));
}

int RunSensor(Platform &os, RfcBinder bind, std::vector<std::string> arguments) {
  RunState state(os);
  state.BindRfc = std::move(bind);
  state.arguments = std::move(arguments);
  try {
    StartupResult started = StartUp(state);
    if (state.GlobalListing) GlobalListingRun(state);
    SingleProfileRun(state, started.profile_text);
  } catch (const RunEnded &ended) {
    ForgetErrorHandlerRun(state);
    return ended.exit_code;
  }
}
