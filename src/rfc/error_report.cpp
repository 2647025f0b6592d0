// The RFC error report: trace-file detail for failed checks, the error block for library failures.
#include "rfc/error_report.h"

#include <cstring>

#include "output/log_lines.h"
#include "output/result_document.h"
#include "platform/text_pieces.h"
#include "rfc/rfc_calls.h"
#include "rfc/rfc_library.h"

namespace {

/// The library's error handler carries no context of its own, so the run that installed it
/// is remembered here; there is one run per process and one thread.
RunState *g_handler_run = nullptr;

constexpr std::string_view kTraceHeader = "**** ERROR ";
constexpr std::string_view kErrorKey = "ERROR ";
constexpr std::size_t kErrorTextColumn = 12; // "ERROR" padded to 12 characters
constexpr std::string_view kMessageMarker = "======> ";
constexpr std::size_t kMessageMarkerColumn = 7; // after seven blanks

/// A text field of the error record, never read past its end even without a terminator.
std::string_view Field(const char *text, std::size_t size) {
  return std::string_view(text, strnlen(text, size));
}

void SetDetail(std::string &detail, const std::string &piece, std::size_t from) {
  detail = piece.size() > from ? piece.substr(from) : std::string();
  if (!detail.empty() && detail.back() == '\n') detail.pop_back();
  if (!detail.empty() && detail.back() == '\r') detail.pop_back();
}

} // namespace

void AppendTraceDetail(RunState &state) {
  std::string detail;
  const auto trace = state.os.ReadText(std::string(kTraceFile));
  if (!trace) {
    state.ResultDocument += " - Look for Trace-File";
    return;
  }
  TextPieces pieces(*trace);
  std::string piece;
  while (pieces.Next(kTracePiece, &piece)) {
    // When several tests fit one piece, the last one wins.
    if (piece.rfind(kTraceHeader, 0) == 0) detail.clear();
    if (piece.rfind(kErrorKey, 0) == 0) SetDetail(detail, piece, kErrorTextColumn);
    if (piece.size() >= kMessageMarkerColumn + kMessageMarker.size() &&
        piece.compare(kMessageMarkerColumn, kMessageMarker.size(), kMessageMarker) == 0)
      SetDetail(detail, piece, kMessageMarkerColumn + kMessageMarker.size());
  }
  state.ResultDocument +=
      detail.empty() ? std::string(" - Please Check Trace-File !") : " - " + detail;
}

void ReportCheckFailure(RunState &state) {
  AppendTraceDetail(state);
  const std::string text = state.ResultDocument;
  MakeErrorDocument(state, text);
  state.os.WriteStdout(state.ResultDocument);
}

void PrintRfcErrorBlock(RunState &state, std::string_view operation) {
  state.RfcErrorReported = true;
  state.os.WriteStdout("RFC error\n");
  PrintLabelled(state, "operation/code", 0, kErrorLabelWidth, operation);
  RFC_ERROR_INFO info;
  std::memset(&info, 0, sizeof info);
  if (state.rfc) state.rfc->LastError(&info);
  PrintLabelled(state, "key", 0, kErrorLabelWidth, Field(info.key, sizeof info.key));
  PrintLabelled(state, "status", 0, kErrorLabelWidth, Field(info.status, sizeof info.status));
  PrintLabelled(state, "message", 0, kErrorLabelWidth, Field(info.message, sizeof info.message));
  PrintLabelled(state, "internal status", 0, kErrorLabelWidth,
                Field(info.intstat, sizeof info.intstat));
  state.os.WriteStdout("\n");
  if (state.rfc) state.rfc->Close(0);
  state.os.WriteStdout("* Programm aborted...\n");
}

void AbortOnRfcError(RunState &state, std::string_view operation) {
  PrintRfcErrorBlock(state, operation);
  throw RunEnded{kExitRfcError};
}

void InstallErrorHandler(RunState &state) {
  g_handler_run = &state;
  state.Environment = RFC_ENV{RfcErrorHandler, nullptr};
  RfcCalls(state).Environment(&state.Environment);
}

void ForgetErrorHandlerRun(const RunState &state) {
  if (g_handler_run == &state) g_handler_run = nullptr;
}

extern "C" void RFC_CALL RfcErrorHandler(char *operation) {
  // Without a run, or after the block was printed once, the library goes on with its failure.
  if (!g_handler_run || g_handler_run->RfcErrorReported) return;
  PrintRfcErrorBlock(*g_handler_run, operation ? operation : "");
}
