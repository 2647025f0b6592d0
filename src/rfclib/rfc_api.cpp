// The C entry points: each runs its work guarded, then calls the error handler if the partner broke
// the protocol.
#include "rfcapi/rfc_api.h"
#include "rfcfiles/guarded_entry.h"
#include "rfclib/library.h"

namespace {

using rfclib::Library;

template <typename Result, typename Work>
Result Guarded(const char *operation, Result failed, Work work) {
  return rfcfiles::Guarded(
      operation, failed, work,
      [](const char *name, const char *what) { Library::Instance().RecordInternal(name, what); },
      [] { return Library::Instance().Handler(); });
}

} // namespace

extern "C" {

void RFC_CALL RfcEnvironment(RFC_ENV *environment) {
  Library::Instance().SetEnvironment(environment);
}

RFC_HANDLE RFC_CALL RfcOpen(RFC_OPTIONS *options) {
  return Guarded("RfcOpen", RFC_HANDLE{0},
                 [&](bool &violation) { return Library::Instance().Open(options, violation); });
}

RFC_HANDLE RFC_CALL RfcOpenEx(const char *connect_param, RFC_ERROR_INFO_EX *error_info) {
  return Guarded("RfcOpenEx", RFC_HANDLE{0}, [&](bool &violation) {
    return Library::Instance().OpenEx(connect_param, error_info, violation);
  });
}

RFC_RC RFC_CALL RfcInstallStructure(const char *name, RFC_TYPE_ELEMENT *elements, unsigned entries,
                                    RFC_TYPEHANDLE *type_handle) {
  return Guarded("RfcInstallStructure", RFC_RC{RFC_FAILURE}, [&](bool &) {
    return Library::Instance().InstallStructure(name, elements, entries, type_handle);
  });
}

RFC_RC RFC_CALL RfcCall(RFC_HANDLE handle, const char *function, RFC_PARAMETER *exporting,
                        RFC_TABLE *tables) {
  return Guarded("RfcCall", RFC_RC{RFC_FAILURE}, [&](bool &violation) {
    return Library::Instance().Call(handle, function, exporting, tables, violation);
  });
}

RFC_RC RFC_CALL RfcReceive(RFC_HANDLE handle, RFC_PARAMETER *importing, RFC_TABLE *tables,
                           char **exception) {
  return Guarded("RfcReceive", RFC_RC{RFC_FAILURE}, [&](bool &violation) {
    return Library::Instance().Receive(handle, importing, tables, exception, violation);
  });
}

ITAB_H RFC_CALL ItCreate(char *name, unsigned leng, unsigned, unsigned) {
  return Guarded("ItCreate", ITAB_H{0},
                 [&](bool &) { return Library::Instance().ItCreate(name, leng); });
}

unsigned RFC_CALL ItFill(ITAB_H table) {
  return Guarded("ItFill", 0u, [&](bool &) { return Library::Instance().ItFill(table); });
}

void *RFC_CALL ItGetLine(ITAB_H table, unsigned line) {
  return Guarded("ItGetLine", static_cast<void *>(nullptr),
                 [&](bool &) { return Library::Instance().ItGetLine(table, line); });
}

void *RFC_CALL ItAppLine(ITAB_H table) {
  return Guarded("ItAppLine", static_cast<void *>(nullptr),
                 [&](bool &) { return Library::Instance().ItAppLine(table); });
}

int RFC_CALL ItDelete(ITAB_H table) {
  return Guarded("ItDelete", 1, [&](bool &) { return Library::Instance().ItDelete(table); });
}

int RFC_CALL RfcLastError(RFC_ERROR_INFO *error_info) {
  return Library::Instance().LastError(error_info);
}

void RFC_CALL RfcClose(RFC_HANDLE handle) { Library::Instance().Close(handle); }

} // extern "C"
