// Ending the run with the monitoring host's error document and exit code 2.
#pragma once

#include <string_view>

#include "state/run_state.h"

/// Exit code of a run that completed and printed its result.
inline constexpr int kExitDone = 0;
/// Exit code of every ending that prints an error document.
inline constexpr int kExitError = 2;

/// Builds the error document with the text, writes it to standard output, ends the run with 2.
[[noreturn]] void EndWithErrorDocument(RunState &state, std::string_view text);
