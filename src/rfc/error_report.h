// Reporting RFC failures: a failed check as an error document with the trace file's detail,
// and a library failure as the library's error block with exit code 1.
#pragma once

#include <string_view>

#include "rfc/rfc_api.h"
#include "state/run_state.h"

/// Exit code after the RFC error handler.
inline constexpr int kExitRfcError = 1;
/// The library's trace file in the working directory.
inline constexpr std::string_view kTraceFile = "Dev_Rfc.Trc";
/// The trace file is scanned in pieces of at most this many characters.
inline constexpr std::size_t kTracePiece = 99;
/// Width the error block pads its labels to.
inline constexpr int kErrorLabelWidth = 15;

/// Appends " - " and the last error text of the trace file to ResultDocument, or a hint when
/// the file has none or cannot be opened.
void AppendTraceDetail(RunState &state);

/// After a failed check: adds the trace detail, turns ResultDocument's text into the error
/// document and prints it. The caller closes the connection and ends the run with 2.
void ReportCheckFailure(RunState &state);

/// Prints the library's error block for the failed operation, closes every connection and
/// ends the run with exit code 1.
[[noreturn]] void AbortOnRfcError(RunState &state, std::string_view operation);

/// Installs the error handler with the library (RfcEnvironment) for this run.
void InstallErrorHandler(RunState &state);

/// Forgets the run the library's error handler reports to; called when the run is over.
void ForgetErrorHandlerRun(const RunState &state);

/// The handler the library calls: reports to the run that installed it.
extern "C" void RFC_CALL RfcErrorHandler(char *operation);
