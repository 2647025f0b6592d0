// One whole run of the sensor, from the command line to the exit code, without ending the process.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"
#include "session/rfc_session.h"

namespace kestrovan {

/// Runs the sensor with the given command line (program path first) and returns its exit code;
/// the RFC library is bound through `bind` when the run first needs it. *call_left_running learns
/// whether a library call was still running when the run's time was up: the process must then end
/// without waiting for it.
int RunSensor(Platform &os, RfcBinder bind, std::vector<std::string> arguments,
              bool *call_left_running = nullptr);

/// The same with a library at hand.
int RunSensor(Platform &os, const RfcLibrary *rfc, std::vector<std::string> arguments);

} // namespace kestrovan
