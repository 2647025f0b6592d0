// System information, the database check and the missing-indices check on one connection.
#include "driver/system_checks.h"

#include "checks/missing_indices.h"
#include "checks/system_info.h"
#include "driver/console_lines.h"
#include "output/error_ending.h"
#include "output/result_document.h"
#include "rfc/error_report.h"
#include "rfc/rfc_calls.h"

void CheckConnectedSystem(RunState &state, RFC_HANDLE handle) {
  state.RunStatus = "ERR";
  ReadSystemInfo(state, handle);
  if (state.RunStatus == "ERR") {
    ReportCheckFailure(state);
    RfcCalls(state).Close(handle);
    throw RunEnded{kExitError};
  }
  if (!IsOracle(state.DatabaseSystem)) {
    MakeErrorDocument(state, kDatabaseMismatch);
    state.os.WriteStdout(state.ResultDocument);
    RfcCalls(state).Close(handle);
    throw RunEnded{kExitError};
  }
  state.RunStatus = "ERR";
  CheckMissingIndices(state, handle);
  RfcCalls(state).Close(handle);
}
