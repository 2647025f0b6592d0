// The last error text the library left in its trace file, which a failed check's document shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "rfcfiles/file_names.h"

namespace kestrovan {

/// The library's trace file in the working directory.
using rfcfiles::kTraceFile;
/// The trace file is scanned in pieces of at most this many characters.
inline constexpr std::size_t kTracePiece = 99;
/// The detail is the last error text of the trace, and a trace that is never deleted grows with
/// every failure: only this many bytes at its end are scanned, from the first line that begins
/// within them.
inline constexpr std::uint64_t kTraceEndScanned = 1024 * 1024;

/// The last error text of the trace file's end: empty when it holds none, no value when the file
/// cannot be opened.
std::optional<std::string> ReadTraceDetail(Platform &os);

} // namespace kestrovan
