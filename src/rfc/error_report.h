// Reporting RFC failures: a failed check as an error document with the trace file's detail,
// and a library failure as the library's error block with exit code 1.
#pragma once

#include <string_view>

#include "rfcapi/rfc_api.h"
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

/// Prints the library's error block for the failed operation and closes every connection.
void PrintRfcErrorBlock(RunState &state, std::string_view operation);

/// The block for a failure the sensor found in a library operation itself; ends the run with 1.
[[noreturn]] void AbortOnRfcError(RunState &state, std::string_view operation);

/// Installs the error handler with the library (RfcEnvironment) for this run.
void InstallErrorHandler(RunState &state);

/// Forgets the run the library's error handler reports to; called when the run is over.
void ForgetErrorHandlerRun(const RunState &state);

/// The handler the library calls: prints the block for the run that installed it and returns,
/// so the library's own frames are never unwound; the run ends with exit code 1 as soon as the
/// library call returns (see RfcCalls).
extern "C" void RFC_CALL RfcErrorHandler(char *operation);
