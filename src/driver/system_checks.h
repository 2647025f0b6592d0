// The checks every run makes of one connected system, with the error endings both runs share.
#pragma once

#include "rfcapi/rfc_api.h"
#include "state/run_state.h"

/// System information, the Oracle check and missing indices, then the connection is closed.
/// A failed system information call or a database that is not Oracle ends the run with its
/// error document (exit code 2); otherwise RunStatus tells how the missing-indices check went.
void CheckConnectedSystem(RunState &state, RFC_HANDLE handle);
