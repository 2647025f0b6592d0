// The last error text the library left in its trace file, which a failed check's document shows.
#pragma once

#include <cstddef>
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

/// The last error text of the trace file: empty when the file holds none, no value when the file
/// cannot be opened.
std::optional<std::string> ReadTraceDetail(Platform &os);

} // namespace kestrovan
