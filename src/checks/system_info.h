// The system information check: the application server's host name and the database system.
#pragma once

#include "rfcapi/rfc_api.h"
#include "state/run_state.h"

/// Calls RFC_SYSTEM_INFO. On success sets RunStatus "OK", DisplayHost and DatabaseSystem;
/// otherwise appends the failure message to ResultDocument. Returns the library's code.
RFC_RC ReadSystemInfo(RunState &state, RFC_HANDLE handle);
