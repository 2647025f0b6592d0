// The checks of one connected system: what the system says about itself, and its missing indices.
// They return what they found; the driver decides what follows and writes the document.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "rfc/rfc_session.h"
#include "rfcapi/rfc_api.h"

namespace kestrovan {

/// The exception text a check keeps holds at most this many characters.
inline constexpr std::size_t kExceptionTextWidth = 255;

inline constexpr std::string_view kDatabaseMismatch = "Error 1018: DataBase mismatch !";
inline constexpr std::string_view kNotDefinedChannel = "Index_Undefined";
inline constexpr std::string_view kMissingChannel = "Missing_Idices";

/// A check the system answered with something other than success.
struct CheckFailure {
  RFC_RC code = RFC_FAILURE;
  std::string exception; // the exception's name for codes 2 and 3
  std::string text;      // the text the error document shows, before the trace detail
};

/// What a check found, or why it found nothing.
template <typename Found> struct CheckResult {
  std::optional<Found> found;
  CheckFailure failure; // meaningful only without found
};

struct SystemInfo {
  std::string host;            // RFCHOST: the application server's host name
  std::string database_system; // RFCDBSYS
};

struct IndexCounts {
  std::uint32_t not_defined = 0;
  std::uint32_t missing = 0;
};

/// Calls RFC_SYSTEM_INFO for the host name and the database system.
CheckResult<SystemInfo> ReadSystemInfo(RfcSession &rfc, RFC_HANDLE handle);

/// The system's database must be Oracle: its name begins with "ORA" (letter case significant).
bool IsOracle(const std::string &database_system);

/// Hears the counts as soon as they are known, before the tables are given back to the library.
using CountsHeard = std::function<void(const IndexCounts &)>;

/// Calls DB_ORA_MISSING_INDICES and counts the indices not defined in the dictionary and those
/// missing in the database. A library failure in the table operations ends the run with 1.
CheckResult<IndexCounts> CheckMissingIndices(RfcSession &rfc, RFC_HANDLE handle,
                                             const CountsHeard &heard = {});

/// A dictionary structure as the library installs it: its elements, for the process's life.
struct StructureDescription {
  RFC_TYPE_ELEMENT *elements;
  unsigned element_count;
};
StructureDescription RfcsiDescription();
StructureDescription DateTimeDescription();
StructureDescription OraMissDescription();

/// A parameter-list entry; the name's length is taken from the name.
RFC_PARAMETER Parameter(const char *name, unsigned type, unsigned length, void *address);
/// A table-list entry for a table created with ItCreate.
RFC_TABLE Table(const char *name, unsigned line_length, ITAB_H table);

/// The text a failed check shows for the library's return code.
std::string CheckFailureText(RFC_RC code, const std::string &exception);

} // namespace kestrovan
