// The run of one system: connect, system information, the Oracle check, missing indices, report.
#include "driver/run_one_system.h"

#include "driver/console_lines.h"
#include "driver/system_checks.h"
#include "output/error_ending.h"
#include "output/log_lines.h"
#include "rfc/error_report.h"
#include "rfc/open_connection.h"

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
    EndWithErrorDocument(state,
                         "Error 1011: RFC-Open for " + state.Connection.destination + " failed !");

  CheckConnectedSystem(state, handle);

  if (state.RunStatus != "OK") {
    ReportCheckFailure(state);
    throw RunEnded{kExitError};
  }
  state.os.WriteStdout(state.ResultDocument);
  state.os.RemoveFile(std::string(kTraceFile));
  if (state.ConsoleMode) state.os.WriteStdout(EndLine(state));
  throw RunEnded{kExitDone};
}
