// Library calls followed by the check for an error the handler has already reported.
#include "rfc/rfc_calls.h"

#include "rfc/error_report.h"
#include "rfc/rfc_library.h"

void RfcCalls::EndIfHandlerRan() {
  if (state_.RfcErrorReported) throw RunEnded{kExitRfcError};
}

void RfcCalls::Environment(RFC_ENV *environment) {
  state_.rfc->Environment(environment);
  EndIfHandlerRan();
}

RFC_HANDLE RfcCalls::Open(RFC_OPTIONS *options) { return Checked(state_.rfc->Open(options)); }

RFC_HANDLE RfcCalls::OpenEx(const char *connect_text, RFC_ERROR_INFO_EX *error_info) {
  return Checked(state_.rfc->OpenEx(connect_text, error_info));
}

RFC_RC RfcCalls::InstallStructure(const char *name, RFC_TYPE_ELEMENT *elements, unsigned count,
                                  RFC_TYPEHANDLE *handle) {
  return Checked(state_.rfc->InstallStructure(name, elements, count, handle));
}

RFC_RC RfcCalls::Call(RFC_HANDLE handle, const char *function, RFC_PARAMETER *exporting,
                      RFC_TABLE *tables) {
  return Checked(state_.rfc->Call(handle, function, exporting, tables));
}

RFC_RC RfcCalls::Receive(RFC_HANDLE handle, RFC_PARAMETER *importing, RFC_TABLE *tables,
                         char **exception) {
  return Checked(state_.rfc->Receive(handle, importing, tables, exception));
}

ITAB_H RfcCalls::ItCreate(const char *name, unsigned line_length) {
  return Checked(state_.rfc->ItCreate(const_cast<char *>(name), line_length, 0, 0));
}

unsigned RfcCalls::ItFill(ITAB_H table) { return Checked(state_.rfc->ItFill(table)); }

void *RfcCalls::ItGetLine(ITAB_H table, unsigned line) {
  return Checked(state_.rfc->ItGetLine(table, line));
}

int RfcCalls::ItDelete(ITAB_H table) { return Checked(state_.rfc->ItDelete(table)); }

void RfcCalls::Close(RFC_HANDLE handle) {
  state_.rfc->Close(handle);
  EndIfHandlerRan();
}
