// Padded label-and-value console lines, and the time of day that starts progress lines.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace kestrovan {

/// Writes indent blanks, the label padded to width (a longer one whole), " : ", the value, a line
/// feed.
void PrintLabelled(Platform &os, std::string_view label, int indent, int width,
                   std::string_view value);

/// hh:mm:ss of a given time, 24-hour clock.
std::string FormatTimeOfDay(const LocalTime &time);

/// The local time as hh:mm:ss, taken anew at every call.
inline std::string TimeOfDay(Platform &os) { return FormatTimeOfDay(os.Now()); }

} // namespace kestrovan
