// The dictionary structures the checks exchange with the system, and the common call step.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

#include "rfcapi/rfc_api.h"
#include "state/run_state.h"

inline constexpr unsigned kRfcsiLength = 200;
inline constexpr unsigned kDateTimeLength = 14;
inline constexpr unsigned kOraMissLength = 30;
/// RFCHOST and RFCDBSYS within RFCSI.
inline constexpr std::size_t kRfcHostOffset = 45, kRfcHostLength = 8;
inline constexpr std::size_t kRfcDbSysOffset = 101, kRfcDbSysLength = 10;
/// The exception text a check keeps holds at most this many characters.
inline constexpr std::size_t kExceptionTextWidth = 255;

/// A structure a call needs installed, and the list entries whose type is its handle.
struct StructureUse {
  const char *name;
  RFC_TYPE_ELEMENT *elements;
  unsigned element_count;
  RFC_TYPEHANDLE *handle; // 0 until installed; kept for the whole process
  std::vector<unsigned *> type_fields;
};

struct StructureDescription {
  RFC_TYPE_ELEMENT *elements;
  unsigned element_count;
};
StructureDescription RfcsiDescription();
StructureDescription DateTimeDescription();
StructureDescription OraMissDescription();

/// Installs what is not yet installed, calls the function module and receives its answer.
/// Returns the library's code; on 2 and 3 the exception name is in *exception.
RFC_RC RemoteCallStep(RunState &state, RFC_HANDLE handle, const char *function,
                      std::vector<StructureUse> structures, RFC_PARAMETER *exporting,
                      RFC_TABLE *tables, RFC_PARAMETER *importing, std::string *exception);

/// A parameter-list entry; the name's length is taken from the name.
RFC_PARAMETER Parameter(const char *name, unsigned type, unsigned length, void *address);
/// A table-list entry for a table created with ItCreate.
RFC_TABLE Table(const char *name, unsigned line_length, ITAB_H table);

/// The message a failed check appends for the library's return code.
std::string CheckFailureText(RFC_RC code, const std::string &exception);
