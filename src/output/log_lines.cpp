// Log lines, labelled console lines and the time-of-day text.
#include "output/log_lines.h"

#include <cstdio>

#include "output/option_text.h"

void WriteLogLine(RunState &state, std::uint32_t handle, std::string_view event,
                  std::string_view detail) {
  if (!state.LogStream || !HasOption(state, ",SYSLOG")) return;
  std::string line = std::to_string(static_cast<std::int32_t>(handle));
  line += ' ';
  line += event;
  line += ' ';
  line += detail;
  line += '\n';
  state.LogStream->Write(line);
}

void PrintLabelled(RunState &state, std::string_view label, int indent, int width,
                   std::string_view value) {
  std::string line(indent > 0 ? static_cast<std::size_t>(indent) : 0, ' ');
  line += label;
  if (width > 0 && label.size() < static_cast<std::size_t>(width))
    line.append(static_cast<std::size_t>(width) - label.size(), ' ');
  line += " : ";
  line += value;
  line += '\n';
  state.os.WriteStdout(line);
}

std::string FormatTimeOfDay(const LocalTime &time) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", time.hour % 100, time.minute % 100,
                time.second % 100);
  return text;
}

std::string TimeOfDay(RunState &state) { return FormatTimeOfDay(state.os.Now()); }

void OpenLogStream(RunState &state) {
  if (state.LogStream || !HasOption(state, ",SYSLOG")) return;
  state.LogStream = state.os.OpenAppend(state.ProfileDirectory + std::string(kLogFileName));
}
