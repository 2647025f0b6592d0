// One whole run of the sensor, from the command line to the exit code, without ending the process.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

struct RfcLibrary;

/// Runs the sensor with the given command line (program path first) and returns its exit code.
int RunSensor(Platform &os, const RfcLibrary *rfc, std::vector<std::string> arguments);
