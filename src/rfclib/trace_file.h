// The error file Dev_Rfc.Trc, appended in the block shape of the classic library's error file.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace rfclib {

inline constexpr const char *kTraceFileName = "Dev_Rfc.Trc";
inline constexpr const char *kTraceHeaderPrefix = "**** ERROR file opened at ";
/// Keys stand in the first 12 columns; readers take the value from column 13.
inline constexpr std::size_t kTraceKeyWidth = 12;

struct TraceEntry {
  std::string location; // operation and partner
  std::string error;    // the reason a reader shows the user
  int rc = 1;
  std::string detail; // more on the cause, when there is more
};

/// One block: header line, keyed lines, an empty line. Control characters become blanks so a
/// text from the partner cannot forge lines.
std::string FormatTraceBlock(const TraceEntry &entry, const std::tm &local_time,
                             std::string_view zone, unsigned counter);

/// Appends a block stamped with the local time; a file that cannot be written is skipped silently,
/// since tracing must never turn into a failure of its own.
void AppendTraceBlock(const std::string &path, const TraceEntry &entry, unsigned counter);

} // namespace rfclib
