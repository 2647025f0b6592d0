// The run of one system: connect, check, print the result, end the process.
#pragma once

#include "state/run_state.h"

/// Works on the filled connection values; never returns normally.
[[noreturn]] void RunOneSystem(RunState &state);
