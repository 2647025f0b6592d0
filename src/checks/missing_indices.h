// The missing-indices check: indices missing in the database or not defined in the dictionary.
#pragma once

#include "rfcapi/rfc_api.h"
#include "state/run_state.h"

/// Calls DB_ORA_MISSING_INDICES and counts both tables. On success sets RunStatus "OK" and
/// writes the result: the whole document of one system, or in a global listing run the one
/// channel ItemName selects, straight to standard output. Otherwise appends the failure
/// message to ResultDocument. Returns the library's code.
RFC_RC CheckMissingIndices(RunState &state, RFC_HANDLE handle);
