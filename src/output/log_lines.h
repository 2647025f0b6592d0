// Log event lines, padded label-and-value console lines, and the time of day that starts progress
// lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "state/run_state.h"

/// Writes "handle event detail" to the log when ",SYSLOG" is among the options and the log is open.
void WriteLogLine(RunState &state, std::uint32_t handle, std::string_view event,
                  std::string_view detail);

/// Writes indent blanks, the label padded to width (a longer one whole), " : ", the value, a line
/// feed.
void PrintLabelled(RunState &state, std::string_view label, int indent, int width,
                   std::string_view value);

/// The local time as hh:mm:ss, 24-hour clock, taken anew at every call.
std::string TimeOfDay(RunState &state);

/// hh:mm:ss of a given time.
std::string FormatTimeOfDay(const LocalTime &time);

/// The log written when ",SYSLOG" is among the options: this file, appended to, in the
/// directory where the profile was found.
inline constexpr std::string_view kLogFileName = "Kestrovan.Log";

/// Opens the log when the options ask for it; a log that cannot be opened is silently skipped.
void OpenLogStream(RunState &state);
