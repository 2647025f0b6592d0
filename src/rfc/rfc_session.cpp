// Calls into the RFC library, the error handler's registration and the error block.
#include "rfc/rfc_session.h"

#include <cstring>

#include "output/log_lines.h"
#include "output/result_document.h"

namespace kestrovan {

namespace {

/// The library's error handler carries no context of its own, so the session whose scope is open
/// is remembered here; there is one run per process and one thread.
RfcSession *g_handler_session = nullptr;

/// A text field of the error record, never read past its end even without a terminator.
std::string_view Field(const char *text, std::size_t size) {
  return std::string_view(text, strnlen(text, size));
}

} // namespace

RunLog RunLog::Open(Platform &os, const std::string &profile_directory) {
  RunLog log;
  log.file_ = os.OpenAppend(profile_directory + std::string(kLogFileName));
  return log;
}

void RunLog::Write(std::uint32_t handle, std::string_view event, std::string_view detail) {
  if (!file_) return;
  std::string line = std::to_string(static_cast<std::int32_t>(handle));
  line += ' ';
  line += event;
  line += ' ';
  line += detail;
  line += '\n';
  file_->Write(line);
}

void RfcSession::Bind() {
  if (library_) return;
  std::string problem = "no RFC library is configured...";
  if (binder_) library_ = binder_(&problem);
  if (!library_) EndWithErrorDocument(os_, problem);
}

void RfcSession::EndIfHandlerRan() {
  if (error_reported_) throw RunEnded{kExitRfcError};
}

RFC_HANDLE RfcSession::Open(RFC_OPTIONS *options) { return Checked(library_->Open(options)); }

RFC_HANDLE RfcSession::OpenEx(const char *connect_text, RFC_ERROR_INFO_EX *error_info) {
  return Checked(library_->OpenEx(connect_text, error_info));
}

RFC_RC RfcSession::Call(RFC_HANDLE handle, const char *function, RFC_PARAMETER *exporting,
                        RFC_TABLE *tables) {
  return Checked(library_->Call(handle, function, exporting, tables));
}

RFC_RC RfcSession::Receive(RFC_HANDLE handle, RFC_PARAMETER *importing, RFC_TABLE *tables,
                           char **exception) {
  return Checked(library_->Receive(handle, importing, tables, exception));
}

ITAB_H RfcSession::ItCreate(const char *name, unsigned line_length) {
  return Checked(library_->ItCreate(const_cast<char *>(name), line_length, 0, 0));
}

unsigned RfcSession::ItFill(ITAB_H table) { return Checked(library_->ItFill(table)); }

void *RfcSession::ItGetLine(ITAB_H table, unsigned line) {
  return Checked(library_->ItGetLine(table, line));
}

int RfcSession::ItDelete(ITAB_H table) { return Checked(library_->ItDelete(table)); }

void RfcSession::Close(RFC_HANDLE handle) {
  library_->Close(handle);
  EndIfHandlerRan();
}

RFC_TYPEHANDLE RfcSession::Structure(const char *name, RFC_TYPE_ELEMENT *elements, unsigned count) {
  const auto known = structures_.find(std::string_view(name));
  if (known != structures_.end()) return known->second;
  RFC_TYPEHANDLE handle = 0;
  if (Checked(library_->InstallStructure(name, elements, count, &handle)) != RFC_OK)
    AbortOnRfcError("RfcInstallStructure");
  structures_.emplace(name, handle);
  return handle;
}

void RfcSession::PrintErrorBlock(std::string_view operation) {
  error_reported_ = true;
  os_.WriteStdout("RFC error\n");
  PrintLabelled(os_, "operation/code", 0, kErrorLabelWidth, operation);
  RFC_ERROR_INFO info;
  std::memset(&info, 0, sizeof info);
  if (library_) library_->LastError(&info);
  PrintLabelled(os_, "key", 0, kErrorLabelWidth, Field(info.key, sizeof info.key));
  PrintLabelled(os_, "status", 0, kErrorLabelWidth, Field(info.status, sizeof info.status));
  PrintLabelled(os_, "message", 0, kErrorLabelWidth, Field(info.message, sizeof info.message));
  PrintLabelled(os_, "internal status", 0, kErrorLabelWidth,
                Field(info.intstat, sizeof info.intstat));
  os_.WriteStdout("\n");
  if (library_) library_->Close(0);
  os_.WriteStdout("* Programm aborted...\n");
}

void RfcSession::AbortOnRfcError(std::string_view operation) {
  PrintErrorBlock(operation);
  throw RunEnded{kExitRfcError};
}

ErrorHandlerScope::ErrorHandlerScope(RfcSession &session) : previous_(g_handler_session) {
  g_handler_session = &session;
  session.environment_ = RFC_ENV{RfcErrorHandler, nullptr};
  session.library_->Environment(&session.environment_);
  if (session.error_reported_) {
    g_handler_session = previous_; // no destructor runs for a scope that was never made
    throw RunEnded{kExitRfcError};
  }
}

ErrorHandlerScope::~ErrorHandlerScope() { g_handler_session = previous_; }

extern "C" void RFC_CALL RfcErrorHandler(char *operation) {
  // Without a session, or after the block was printed once, the library goes on with its failure.
  if (!g_handler_session || g_handler_session->error_reported_) return;
  g_handler_session->PrintErrorBlock(operation ? operation : "");
}

} // namespace kestrovan
