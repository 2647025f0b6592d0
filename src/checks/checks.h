// The checks of one connected system: what the system says about itself, and its missing indices.
// They return what they found; the driver decides what follows and writes the document.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "session/rfc_session.h"
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
  /// The last error text of the library's trace, read when the check failed in a system check;
  /// no value when the trace file could not be opened.
  std::optional<std::string> trace_detail;
};

/// What a check found, why it found nothing, or why the session stopped under it.
template <typename Found> struct CheckResult {
  std::optional<Found> found;
  CheckFailure failure;        // meaningful only without found and stop
  std::optional<RfcStop> stop; // the library's error block, or the run's deadline
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
/// missing in the database. A library failure in the table operations stops the session.
CheckResult<IndexCounts> CheckMissingIndices(RfcSession &rfc, RFC_HANDLE handle,
                                             const CountsHeard &heard = {});

/// The check of one connected system that failed.
enum class CheckStep { SystemInfo, MissingIndices };
struct FailedCheck {
  CheckStep step;
  CheckFailure failure;
};
/// The database is not Oracle.
struct NotOracle {};

/// What the checks of one connected system came to, and the host name the system gave for itself
/// when it answered RFC_SYSTEM_INFO.
struct SystemCheck {
  std::optional<std::string> host;
  std::variant<IndexCounts, FailedCheck, NotOracle, RfcStop> outcome;
};

/// Hears what the checks found as it stands before the close, should the close not come back.
using FoundBeforeClose = std::function<void(const SystemCheck &)>;

/// System information, the Oracle check and missing indices on an open connection, which is
/// closed after (unless the session stopped). What the checks found stays the outcome when the
/// run's time runs out on the close; only the library's error block replaces it. The trace of a
/// failed system information call is read before the close, that of a failed missing-indices
/// check after it; heard learns the counts before the tables go, before_close what was found.
SystemCheck CheckConnectedSystem(RfcSession &rfc, RFC_HANDLE handle, const CountsHeard &heard = {},
                                 const FoundBeforeClose &before_close = {});

/// What a check comes to once its close is over, or was left running: what it found, with the
/// trace of a failed missing-indices check, which is read after the close.
SystemCheck AfterTheClose(SystemCheck found, RfcSession &rfc);

} // namespace kestrovan
