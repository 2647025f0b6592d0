// One whole run of the sensor, from the command line to the exit code, without ending the process.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"
#include "rfc/rfc_session.h"

namespace kestrovan {

/// Runs the sensor with the given command line (program path first) and returns its exit code;
/// the RFC library is bound through `bind` when the run first needs it.
int RunSensor(Platform &os, RfcBinder bind, std::vector<std::string> arguments);

/// The same with a library at hand.
int RunSensor(Platform &os, const RfcLibrary *rfc, std::vector<std::string> arguments);

} // namespace kestrovan
