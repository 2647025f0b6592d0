// The global listing run: every system of the listing checked, one channel each, a summary.
#pragma once

#include <optional>

#include "driver/endings.h"
#include "driver/run.h"

namespace kestrovan {

/// Returns what ended the walk early, or nothing when it completed.
std::optional<RunEnding> GlobalListingRun(Run &run);

} // namespace kestrovan
