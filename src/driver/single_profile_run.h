// The single-profile run: reading and checking the one profile, then the run of its system.
#pragma once

#include <string>

#include "state/run_state.h"

/// Reads the profile text start-up found, checks it and runs its system; ends by throwing RunEnded.
[[noreturn]] void SingleProfileRun(RunState &state, const std::string &profile_text);
