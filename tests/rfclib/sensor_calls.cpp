// The sensor's call sequence against the stand-in, with the sensor's structure descriptions.
#include "sensor_calls.h"

#include <cstring>

#include "checks/structure_descriptions.h"

namespace kestrovan_test {

using kestrovan::DateTimeDescription;
using kestrovan::OraMissDescription;
using kestrovan::Parameter;
using kestrovan::RfcsiDescription;

namespace {

char *Name(const char *text) { return const_cast<char *>(text); }

RFC_TYPEHANDLE Install(const char *name, RFC_TYPE_ELEMENT *elements, unsigned count) {
  RFC_TYPEHANDLE handle = 0;
  RfcInstallStructure(name, elements, count, &handle);
  return handle;
}

RFC_TABLE Table(const char *name, unsigned type, ITAB_H handle) {
  return RFC_TABLE{Name(name), static_cast<unsigned>(std::strlen(name)), type, 30, handle, 0, 0};
}

} // namespace

// The structure descriptions are the sensor's own, so the stand-in is tested with what it gets.
RFC_TYPEHANDLE RfcsiType() {
  static const RFC_TYPEHANDLE handle =
      Install("RFCSI", RfcsiDescription().elements, RfcsiDescription().element_count);
  return handle;
}

RFC_TYPEHANDLE DateTimeType() {
  static const RFC_TYPEHANDLE handle =
      Install("DATE_TIME", DateTimeDescription().elements, DateTimeDescription().element_count);
  return handle;
}

RFC_TYPEHANDLE OraMissType() {
  static const RFC_TYPEHANDLE handle =
      Install("ORA_MISS", OraMissDescription().elements, OraMissDescription().element_count);
  return handle;
}

SystemInfoCall::SystemInfoCall() {
  rfcsi.fill('?');
  importing = {
      Parameter("CURRENT_RESOURCES", TYPINT, 4, &current_resources),
      Parameter("DIALOG_USER_TYPE", TYPC, 1, dialog_user_type.data()),
      Parameter("MAXIMAL_RESOURCES", TYPINT, 4, &maximal_resources),
      Parameter("RECOMMENDED_DELAY", TYPINT, 4, &recommended_delay),
      Parameter("RFCSI_EXPORT", RfcsiType(), 200, rfcsi.data()),
      Parameter("RFC_LOGIN_COMPLETE", TYPC, 1, login_complete.data()),
      RFC_PARAMETER{},
  };
}

RFC_RC SystemInfoCall::Run(RFC_HANDLE handle) {
  RFC_PARAMETER exporting[1] = {};
  RFC_TABLE no_tables[1] = {};
  call_rc = RfcCall(handle, "RFC_SYSTEM_INFO", exporting, no_tables);
  if (call_rc != RFC_OK) {
    return call_rc;
  }
  receive_rc = RfcReceive(handle, importing.data(), no_tables, &exception);
  return receive_rc;
}

MissingIndicesCall::MissingIndicesCall() {
  curr_date.fill('?');
  curr_time.fill('?');
  datetime.fill('?');
  importing = {
      Parameter("CURR_DATE", TYPDATE, 8, curr_date.data()),
      Parameter("CURR_TIME", TYPTIME, 6, curr_time.data()),
      Parameter("DATETIME", DateTimeType(), 14, datetime.data()),
      RFC_PARAMETER{},
  };
}

MissingIndicesCall::~MissingIndicesCall() {
  if (not_defined != 0) {
    ItDelete(not_defined);
  }
  if (missing != 0) {
    ItDelete(missing);
  }
}

RFC_RC MissingIndicesCall::Run(RFC_HANDLE handle) {
  not_defined = ItCreate(Name("INDEX_NOT_DEFINED"), 30, 0, 0);
  missing = ItCreate(Name("MISSING_INDEX"), 30, 0, 0);
  tables = {Table("INDEX_NOT_DEFINED", OraMissType(), not_defined),
            Table("MISSING_INDEX", OraMissType(), missing), RFC_TABLE{}};
  RFC_PARAMETER exporting[1] = {};
  call_rc = RfcCall(handle, "DB_ORA_MISSING_INDICES", exporting, tables.data());
  if (call_rc != RFC_OK) {
    return call_rc;
  }
  receive_rc = RfcReceive(handle, importing.data(), tables.data(), &exception);
  return receive_rc;
}

} // namespace kestrovan_test
