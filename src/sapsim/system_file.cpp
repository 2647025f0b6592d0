// Line reader and value checks of system files.
#include "sapsim/system_file.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "wire/text_util.h"
#include "sapsim/rfcsi_layout.h"

namespace sapsim {
namespace {

constexpr std::array<std::string_view, 3> kFunctions = {"RFC_SYSTEM_INFO", "DB_ORA_MISSING_INDICES",
                                                        "RFC_PING"};

// '#' starts a comment at the start of a line or after a blank, so a password may contain one.
std::string_view StripComment(std::string_view line) {
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '#' && (i == 0 || rfcwire::IsBlank(line[i - 1]))) {
      return line.substr(0, i);
    }
  }
  return line;
}

bool ParseCount(std::string_view value, unsigned long max, unsigned long &count,
                std::string &problem) {
  if (!rfcwire::ParseUnsigned(value, max, count)) {
    problem = "expected a whole number from 0 to " + std::to_string(max);
    return false;
  }
  return true;
}

bool ParseInt32(std::string_view value, std::int32_t &number, std::string &problem) {
  unsigned long parsed = 0;
  if (!ParseCount(value, 2147483647UL, parsed, problem)) {
    return false;
  }
  number = static_cast<std::int32_t>(parsed);
  return true;
}

bool ParseDelay(std::string_view value, std::chrono::milliseconds &delay, std::string &problem) {
  unsigned long parsed = 0;
  if (!ParseCount(value, kMaxDelayMilliseconds, parsed, problem)) {
    problem = "expected milliseconds from 0 to " + std::to_string(kMaxDelayMilliseconds);
    return false;
  }
  delay = std::chrono::milliseconds(static_cast<long long>(parsed));
  return true;
}

// "fail.NAME" or "delay.NAME": the function module named, which must be one this system knows.
bool FunctionOf(std::string_view key, std::string_view prefix, std::string &function,
                std::string &problem) {
  function = rfcwire::ToUpper(key.substr(prefix.size()));
  if (!IsKnownFunction(function)) {
    problem = "unknown function module " + std::string(key.substr(prefix.size())) +
              " (known: rfc_system_info, db_ora_missing_indices, rfc_ping)";
    return false;
  }
  return true;
}

bool Apply(std::string_view key, std::string_view value, SystemDescription &system,
           std::string &problem) {
  if (const RfcsiField *field = FindRfcsiField(key)) {
    if (value.size() > field->length) {
      problem = "value has " + std::to_string(value.size()) + " characters, " + std::string(key) +
                " holds " + std::to_string(field->length);
      return false;
    }
    system.rfcsi[std::string(key)] = std::string(value);
    return true;
  }
  if (key == "client" || key == "user" || key == "password") {
    if (value.empty()) {
      problem = std::string(key) + " must not be empty";
      return false;
    }
    std::string &target = key == "client" ? system.client
                          : key == "user" ? system.user
                                          : system.password;
    target = std::string(value);
    return true;
  }
  if (key == "missing_index") {
    return ParseCount(value, kMaxIndexLines, system.missing_index, problem);
  }
  if (key == "index_not_defined") {
    return ParseCount(value, kMaxIndexLines, system.index_not_defined, problem);
  }
  if (key == "current_resources") {
    return ParseInt32(value, system.current_resources, problem);
  }
  if (key == "maximal_resources") {
    return ParseInt32(value, system.maximal_resources, problem);
  }
  if (key == "recommended_delay") {
    return ParseInt32(value, system.recommended_delay, problem);
  }
  if (key == "logon_delay") {
    return ParseDelay(value, system.logon_delay, problem);
  }
  if (key == "fail.logon") {
    return ParseFault(value, true, system.logon_fault, problem);
  }
  std::string function;
  if (key.substr(0, 5) == "fail.") {
    return FunctionOf(key, "fail.", function, problem) &&
           ParseFault(value, false, system.functions[function].fault, problem);
  }
  if (key.substr(0, 6) == "delay.") {
    return FunctionOf(key, "delay.", function, problem) &&
           ParseDelay(value, system.functions[function].delay, problem);
  }
  problem = "unknown key " + std::string(key);
  return false;
}

} // namespace

bool IsKnownFunction(std::string_view name) {
  for (std::string_view known : kFunctions) {
    if (known == name) {
      return true;
    }
  }
  return false;
}

bool ParseSystemFile(std::string_view content, SystemDescription &system, std::string &problem) {
  system = SystemDescription();
  std::set<std::string, std::less<>> seen;
  std::size_t line_number = 0;
  std::size_t position = 0;
  while (position < content.size()) {
    std::size_t end = content.find('\n', position);
    if (end == std::string_view::npos) {
      end = content.size();
    }
    const std::string_view line =
        rfcwire::Trim(StripComment(content.substr(position, end - position)));
    position = end + 1;
    ++line_number;
    if (line.empty()) {
      continue;
    }
    const std::string where = "line " + std::to_string(line_number) + ": ";
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      problem = where + "expected key = value";
      return false;
    }
    const std::string key(rfcwire::Trim(line.substr(0, equals)));
    const std::string_view value = rfcwire::Trim(line.substr(equals + 1));
    if (!seen.insert(key).second) {
      problem = where + key + " is given twice";
      return false;
    }
    std::string why;
    if (!Apply(key, value, system, why)) {
      problem = where + key + ": " + why;
      return false;
    }
  }
  for (const char *required : {"client", "user", "password"}) {
    if (seen.count(required) == 0) {
      problem = std::string("no ") + required + " given: the system needs the one logon it accepts";
      return false;
    }
  }
  return true;
}

bool ReadSystemFile(const std::string &path, SystemDescription &system, std::string &problem) {
  std::error_code ignored;
  std::ifstream file(path, std::ios::binary);
  if (!file || std::filesystem::is_directory(path, ignored)) {
    problem = path + ": cannot be read";
    return false;
  }
  std::ostringstream content;
  content << file.rdbuf();
  if (!ParseSystemFile(content.str(), system, problem)) {
    problem = path + ": " + problem;
    return false;
  }
  return true;
}

} // namespace sapsim
