// Parsing of sapsim's arguments, including bracketed IPv6 addresses.
#include "sapsim/command_line.h"

#include "wire/text_util.h"

namespace sapsim {
namespace {

bool SplitAddress(const std::string &text, std::string &host, std::string &port,
                  std::string &problem) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) {
    problem = "--listen needs ADDRESS:PORT, got \"" + text + "\"";
    return false;
  }
  host = text.substr(0, colon);
  port = text.substr(colon + 1);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  }
  unsigned long number = 0;
  if (!rfcwire::ParseUnsigned(port, 65535, number)) {
    problem = "port \"" + port + "\" is not a number from 0 to 65535";
    return false;
  }
  return true;
}

// "--name VALUE" or "--name=VALUE" as a number from 1 to most; false when the option is another.
bool NumberOption(const std::vector<std::string> &arguments, std::size_t &i, std::string_view name,
                  unsigned long most, unsigned long &number, std::string &problem) {
  const std::string &argument = arguments[i];
  if (argument != name && argument.rfind(std::string(name) + "=", 0) != 0) {
    return false;
  }
  std::string value;
  if (argument.size() > name.size()) {
    value = argument.substr(name.size() + 1);
  } else if (i + 1 < arguments.size()) {
    value = arguments[++i];
  }
  if (!rfcwire::ParseUnsigned(value, most, number) || number == 0) {
    problem = std::string(name) + " needs a number from 1 to " + std::to_string(most);
  }
  return true;
}

} // namespace

bool ParseCommandLine(const std::vector<std::string> &arguments, CommandLine &command_line,
                      std::string &problem) {
  std::string listen;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string &argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      command_line.help = true;
      return true;
    }
    if (argument == "--listen") {
      if (i + 1 >= arguments.size()) {
        problem = "--listen needs ADDRESS:PORT";
        return false;
      }
      listen = arguments[++i];
    } else if (argument.rfind("--listen=", 0) == 0) {
      listen = argument.substr(9);
    } else if (unsigned long number = 0;
               NumberOption(arguments, i, "--max-sessions", kMaxMaxSessions, number, problem)) {
      if (!problem.empty()) {
        return false;
      }
      command_line.max_sessions = number;
    } else if (NumberOption(arguments, i, "--idle-limit", kMaxIdleLimit, number, problem)) {
      if (!problem.empty()) {
        return false;
      }
      command_line.idle_limit = std::chrono::seconds(number);
    } else if (!argument.empty() && argument[0] == '-') {
      problem = "unknown option " + argument;
      return false;
    } else if (command_line.system_file.empty()) {
      command_line.system_file = argument;
    } else {
      problem = "only one SYSTEM_FILE may be given";
      return false;
    }
  }
  if (listen.empty()) {
    problem = "--listen ADDRESS:PORT is required";
    return false;
  }
  if (command_line.system_file.empty()) {
    problem = "SYSTEM_FILE is required";
    return false;
  }
  return SplitAddress(listen, command_line.host, command_line.port, problem);
}

} // namespace sapsim
