// sapsim's command line: --listen ADDRESS:PORT SYSTEM_FILE.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "sapsim/server.h"

namespace sapsim {

struct CommandLine {
  std::string host;
  std::string port;
  std::string system_file;
  std::size_t max_sessions = kDefaultMaxSessions;
  bool help = false;
};

inline constexpr const char *kUsage =
    "usage: sapsim --listen ADDRESS:PORT [--max-sessions N] SYSTEM_FILE\n"
    "Plays one SAP system for the RFC library stand-in on ADDRESS:PORT (port 0: any free port).\n"
    "Prints \"listening ADDRESS:PORT\" once it accepts connections; SIGTERM or SIGINT end it.\n"
    "Serves at most N connections at once (1 to 10000, default 64) and refuses further ones.\n";

inline constexpr unsigned long kMaxMaxSessions = 10000;

/// False with a problem text for anything but one --listen, at most one --max-sessions and one
/// file (or --help).
bool ParseCommandLine(const std::vector<std::string> &arguments, CommandLine &command_line,
                      std::string &problem);

} // namespace sapsim
