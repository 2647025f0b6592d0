// sapsim's command line: --listen ADDRESS:PORT SYSTEM_FILE.
#pragma once

#include <chrono>
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
  std::chrono::seconds idle_limit = kDefaultIdleLimit;
  bool help = false;
};

inline constexpr const char *kUsage =
    "usage: sapsim --listen ADDRESS:PORT [--max-sessions N] [--idle-limit S] SYSTEM_FILE\n"
    "Plays one SAP system for the RFC library stand-in on ADDRESS:PORT (port 0: any free port).\n"
    "Prints \"listening ADDRESS:PORT\" once it accepts connections; SIGTERM or SIGINT end it.\n"
    "Serves at most N connections at once (1 to 10000, default 64) and refuses further ones.\n"
    "Closes a logged-on connection silent for S seconds (1 to 86400, default 120).\n";

inline constexpr unsigned long kMaxMaxSessions = 10000;
inline constexpr unsigned long kMaxIdleLimit = 86400;

/// False with a problem text for anything but one --listen, at most one --max-sessions, one
/// --idle-limit and one file (or --help).
bool ParseCommandLine(const std::vector<std::string> &arguments, CommandLine &command_line,
                      std::string &problem);

} // namespace sapsim
