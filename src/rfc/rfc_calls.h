// Every call of the sensor into the RFC library: when the library reported an error to the
// installed handler during a call, the run ends with exit code 1 as soon as the call returns.
#pragma once

#include "rfcapi/rfc_api.h"
#include "state/run_state.h"

/// The run ends from the sensor's own frames, never by unwinding through the library's: a
/// library built by another compiler (SAP's own DLL) cannot pass C++ exceptions.
class RfcCalls {
public:
  explicit RfcCalls(RunState &state) : state_(state) {}

  void Environment(RFC_ENV *environment);
  RFC_HANDLE Open(RFC_OPTIONS *options);
  RFC_HANDLE OpenEx(const char *connect_text, RFC_ERROR_INFO_EX *error_info);
  RFC_RC InstallStructure(const char *name, RFC_TYPE_ELEMENT *elements, unsigned count,
                          RFC_TYPEHANDLE *handle);
  RFC_RC Call(RFC_HANDLE handle, const char *function, RFC_PARAMETER *exporting, RFC_TABLE *tables);
  RFC_RC Receive(RFC_HANDLE handle, RFC_PARAMETER *importing, RFC_TABLE *tables, char **exception);
  ITAB_H ItCreate(const char *name, unsigned line_length);
  unsigned ItFill(ITAB_H table);
  void *ItGetLine(ITAB_H table, unsigned line);
  int ItDelete(ITAB_H table);
  void Close(RFC_HANDLE handle);

private:
  /// Ends the run (exit code 1) when the error handler ran during the last call.
  void EndIfHandlerRan();
  template <typename Result> Result Checked(Result result) {
    EndIfHandlerRan();
    return result;
  }

  RunState &state_;
};
