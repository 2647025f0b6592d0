// Console progress lines: system line, parameter display, end line.
#include "driver/console_lines.h"

#include "output/log_lines.h"

bool IsOracle(const std::string &database_system) { return database_system.rfind("ORA", 0) == 0; }

std::string SystemLine(const RunState &state, const std::string &time, const std::string &entry) {
  const ConnectionParameters &c = state.Connection;
  return "* " + time + " " + entry + ", " + state.DisplayHost + ", " + c.destination + ", " +
         c.sysnr + ", " + c.client;
}

std::string ParameterDisplayText(const std::string &parameters) {
  std::string text = parameters.substr(0, parameters.find('#'));
  text = text.substr(0, text.find('@'));
  if (text == "(Parameters " || text == "(No ") text.clear();
  return text.empty() ? "(No Parameters)" : text;
}

std::string EndLine(RunState &state) {
  return "\n* " + TimeOfDay(state) + " SAP " + std::string(kProgramName) + " now processed...\n";
}
