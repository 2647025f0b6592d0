// The run of one system: connect, system information, the Oracle check, missing indices, report.
#include "driver/run_one_system.h"

#include "checks/missing_indices.h"
#include "checks/system_info.h"
#include "driver/console_lines.h"
#include "output/error_ending.h"
#include "output/result_document.h"
#include "output/log_lines.h"
#include "rfc/error_report.h"
#include "rfc/open_connection.h"
#include "rfc/rfc_library.h"

namespace {

constexpr int kExitDone = 0;

/// After a failed check: the error document with the trace detail, then exit code 2.
[[noreturn]] void EndAfterFailedCheck(RunState &state) {
  ReportCheckFailure(state);
  throw RunEnded{kExitError};
}

} // namespace

void RunOneSystem(RunState &state) {
  WriteLogLine(state, 0, "program started", state.arguments.empty() ? "" : state.arguments[0]);
  InstallErrorHandler(state);
  WriteLogLine(state, 0, "RfcEnvironment called", "");
  state.ResultDocument.clear();
  state.RunStatus = "ERR";

  if (state.ConsoleMode) {
    const std::string time = TimeOfDay(state);
    state.os.WriteStdout(state.BannerLine + "\n");
    state.os.WriteStdout(SystemLine(state, time, state.ProfileName) + " State=Processing\n");
    state.os.WriteStdout("* " + time + " " + std::string(kProgramName) + " - " +
                         ParameterDisplayText(state.ParameterString) + " State=Executing\n");
  }

  const RFC_HANDLE handle = OpenConnection(state);
  if (handle == 0)
    EndWithErrorDocument(state, "Error 1011: RFC-Open for " + state.Connection.destination + " failed !");

  state.RunStatus = "ERR";
  ReadSystemInfo(state, handle);
  if (state.RunStatus == "ERR") {
    ReportCheckFailure(state);
    state.rfc->Close(handle);
    throw RunEnded{kExitError};
  }

  if (!IsOracle(state.DatabaseSystem)) {
    MakeErrorDocument(state, kDatabaseMismatch);
    state.os.WriteStdout(state.ResultDocument);
    state.rfc->Close(handle);
    throw RunEnded{kExitError};
  }

  state.RunStatus = "ERR";
  CheckMissingIndices(state, handle);
  state.rfc->Close(handle);

  if (state.RunStatus != "OK") EndAfterFailedCheck(state);
  state.os.WriteStdout(state.ResultDocument);
  state.os.RemoveFile(std::string(kTraceFile));
  if (state.ConsoleMode) state.os.WriteStdout(EndLine(state));
  throw RunEnded{kExitDone};
}
