// Binding the RFC library when a run first needs it.
#pragma once

#include "state/run_state.h"

/// Binds state.rfc through state.BindRfc unless it is bound already; when no library can be
/// used, the run ends with an error document that names the library and what is missing.
void EnsureRfcLibrary(RunState &state);
