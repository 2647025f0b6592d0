// The single-profile run: the profile read and checked, its one system connected and checked, and
// the document of its counts.
#pragma once

#include <optional>

#include "driver/endings.h"
#include "driver/run.h"
#include "platform/platform.h"

namespace kestrovan {

/// Reads and checks the profile, binds the library and runs the profile's system; returns what
/// ended it short of its result.
std::optional<RunEnding> SingleProfileRun(Run &run, TextSource &profile_text);

} // namespace kestrovan
