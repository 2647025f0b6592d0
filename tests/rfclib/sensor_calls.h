// The two remote calls exactly as the sensor makes them: structures, lists and lengths.
#pragma once

#include <array>
#include <cstdint>

#include "rfcapi/rfc_api.h"

namespace kestrovan_test {

/// Installs RFCSI, DATE_TIME and ORA_MISS once per process, as the sensor does.
RFC_TYPEHANDLE RfcsiType();
RFC_TYPEHANDLE DateTimeType();
RFC_TYPEHANDLE OraMissType();

/// RFC_SYSTEM_INFO with its six importing parameters; fields start with non-blank markers so a
/// test sees what the library wrote.
struct SystemInfoCall {
  std::int32_t current_resources = -1;
  std::array<char, 1> dialog_user_type{'?'};
  std::int32_t maximal_resources = -1;
  std::int32_t recommended_delay = -1;
  std::array<char, 200> rfcsi{};
  std::array<char, 1> login_complete{'?'};
  char *exception = nullptr;
  RFC_RC call_rc = -1;
  RFC_RC receive_rc = -1;

  SystemInfoCall();
  /// RfcCall, then RfcReceive only when the call returned 0; returns the last code.
  RFC_RC Run(RFC_HANDLE handle);
  std::array<RFC_PARAMETER, 7> importing{};
};

/// DB_ORA_MISSING_INDICES with its two tables, created by Run and deleted by the destructor.
struct MissingIndicesCall {
  std::array<char, 8> curr_date{};
  std::array<char, 6> curr_time{};
  std::array<char, 14> datetime{};
  ITAB_H not_defined = 0;
  ITAB_H missing = 0;
  char *exception = nullptr;
  RFC_RC call_rc = -1;
  RFC_RC receive_rc = -1;

  MissingIndicesCall();
  ~MissingIndicesCall();
  MissingIndicesCall(const MissingIndicesCall &) = delete;
  MissingIndicesCall &operator=(const MissingIndicesCall &) = delete;
  RFC_RC Run(RFC_HANDLE handle);
  std::array<RFC_PARAMETER, 4> importing{};
  std::array<RFC_TABLE, 3> tables{};
};

} // namespace kestrovan_test
