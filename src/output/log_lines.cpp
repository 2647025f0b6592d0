// Labelled console lines, the library's error block and the time-of-day text.
#include "output/log_lines.h"

#include <cstdio>

namespace kestrovan {

std::string LabelledLine(std::string_view label, int indent, int width, std::string_view value) {
  std::string line(indent > 0 ? static_cast<std::size_t>(indent) : 0, ' ');
  line += label;
  if (width > 0 && label.size() < static_cast<std::size_t>(width)) {
    line.append(static_cast<std::size_t>(width) - label.size(), ' ');
  }
  line += " : ";
  line += value;
  line += '\n';
  return line;
}

std::string RfcErrorBlock(const RfcErrorBlockFields &fields) {
  std::string block = "RFC error\n";
  block += LabelledLine("operation/code", 0, kErrorLabelWidth, fields.operation);
  block += LabelledLine("key", 0, kErrorLabelWidth, fields.key);
  block += LabelledLine("status", 0, kErrorLabelWidth, fields.status);
  block += LabelledLine("message", 0, kErrorLabelWidth, fields.message);
  block += LabelledLine("internal status", 0, kErrorLabelWidth, fields.internal_status);
  block += "\n* Programm aborted...\n";
  return block;
}

std::string FormatTimeOfDay(const LocalTime &time) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", time.hour % 100, time.minute % 100,
                time.second % 100);
  return text;
}

} // namespace kestrovan
