// The global listing run: every system of the listing checked, one channel each, and a summary.
#pragma once

#include "state/run_state.h"

/// Reads the selection, walks the listing and ends the run; never returns normally.
[[noreturn]] void GlobalListingRun(RunState &state);
