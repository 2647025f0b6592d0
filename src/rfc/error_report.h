// A failed check as the error document, with the detail the library left in its trace file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace kestrovan {

/// The library's trace file in the working directory.
inline constexpr std::string_view kTraceFile = "Dev_Rfc.Trc";
/// The trace file is scanned in pieces of at most this many characters.
inline constexpr std::size_t kTracePiece = 99;

/// The text followed by " - " and the last error text of the trace file, or by a hint when the
/// file has none or cannot be opened.
std::string AppendTraceDetail(Platform &os, std::string text);

/// Prints the error document of a failed check: its text with the trace detail. The caller
/// closes the connection and ends the run with 2.
void ReportCheckFailure(Platform &os, const std::string &failure_text);

} // namespace kestrovan
