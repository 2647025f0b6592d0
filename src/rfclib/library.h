// The stand-in library's state and the work behind each entry point of the C interface.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "rfcapi/rfc_api.h"
#include "rfclib/connection.h"
#include "rfclib/failure.h"
#include "rfclib/internal_tables.h"
#include "rfclib/structures.h"

namespace rfclib {

/// Open connections are bounded so a caller that never closes gets a failure, not exhaustion.
inline constexpr std::size_t kMaxConnections = 64;

/// One per process. The entry points call these members and, when `violation` came back set,
/// call the installed error handler only after the member has returned: by then no lock, iterator
/// or half-done update is left, so the handler may call RfcLastError and RfcClose and may throw.
class Library {
public:
  static Library &Instance();

  void SetEnvironment(const RFC_ENV *environment);
  RFC_ERROR_HANDLER Handler() const { return handler_; }

  RFC_HANDLE Open(const RFC_OPTIONS *options, bool &violation);
  RFC_HANDLE OpenEx(const char *connect_text, RFC_ERROR_INFO_EX *error_info, bool &violation);
  RFC_RC InstallStructure(const char *name, RFC_TYPE_ELEMENT *elements, unsigned entries,
                          RFC_TYPEHANDLE *type_handle);
  RFC_RC Call(RFC_HANDLE handle, const char *function, const RFC_PARAMETER *exporting,
              const RFC_TABLE *tables, bool &violation);
  RFC_RC Receive(RFC_HANDLE handle, const RFC_PARAMETER *importing, const RFC_TABLE *tables,
                 char **exception, bool &violation);
  ITAB_H ItCreate(const char *name, unsigned leng);
  unsigned ItFill(ITAB_H table);
  void *ItGetLine(ITAB_H table, unsigned line);
  void *ItAppLine(ITAB_H table);
  int ItDelete(ITAB_H table);
  int LastError(RFC_ERROR_INFO *error_info) const;
  void Close(RFC_HANDLE handle);

  /// Records a failure that escaped as a C++ exception (in practice: memory exhausted).
  void RecordInternal(const char *operation, const char *what);

private:
  struct LastFailure {
    std::string key;
    std::string status;
    std::string message;
    std::string intstat;
  };

  RFC_HANDLE OpenAt(const char *operation, const Endpoint &endpoint,
                    const rfcwire::LogonRequest &logon, Failure &failure);
  /// Sets what RfcLastError reports and appends a block to the trace file.
  void Record(const std::string &operation, const Failure &failure, int rc,
              const std::string &where);
  Connection *Find(RFC_HANDLE handle);
  void Drop(RFC_HANDLE handle);
  /// Records, drops a lost connection and raises the violation flag as the failure says.
  RFC_RC Fail(const char *operation, RFC_HANDLE handle, const Failure &failure, bool &violation);

  RFC_ERROR_HANDLER handler_ = nullptr;
  std::map<RFC_HANDLE, std::unique_ptr<Connection>> connections_;
  RFC_HANDLE next_handle_ = 1;
  StructureRegistry structures_;
  TableRegistry tables_;
  LastFailure last_;
  unsigned trace_counter_ = 0;
  /// The exception name RfcReceive hands out; valid until the next receive.
  std::string exception_;
};

} // namespace rfclib
