// Padded label-and-value console lines, the library's error block, and the time of day that
// starts progress lines.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace kestrovan {

/// Indent blanks, the label padded to width (a longer one whole), " : ", the value, a line feed.
std::string LabelledLine(std::string_view label, int indent, int width, std::string_view value);

/// Width the error block pads its labels to.
inline constexpr int kErrorLabelWidth = 15;

/// The operation that failed and the library's last error, as the block shows them.
struct RfcErrorBlockFields {
  std::string_view operation, key, status, message, internal_status;
};

/// What a run ended by the RFC library shows instead of a document: "RFC error", the labelled
/// fields, an empty line and "* Programm aborted...".
std::string RfcErrorBlock(const RfcErrorBlockFields &fields);

/// hh:mm:ss of a given time, 24-hour clock.
std::string FormatTimeOfDay(const LocalTime &time);

/// The local time as hh:mm:ss, taken anew at every call.
inline std::string TimeOfDay(Platform &os) { return FormatTimeOfDay(os.Now()); }

} // namespace kestrovan
