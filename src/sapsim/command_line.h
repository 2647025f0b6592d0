// sapsim's command line: --listen ADDRESS:PORT SYSTEM_FILE.
#pragma once

#include <string>
#include <vector>

namespace sapsim {

struct CommandLine {
  std::string host;
  std::string port;
  std::string system_file;
  bool help = false;
};

inline constexpr const char *kUsage =
    "usage: sapsim --listen ADDRESS:PORT SYSTEM_FILE\n"
    "Plays one SAP system for the RFC library stand-in on ADDRESS:PORT (port 0: any free port).\n"
    "Prints \"listening ADDRESS:PORT\" once it accepts connections; SIGTERM or SIGINT end it.\n";

/// False with a problem text for anything but one --listen and one file (or --help).
bool ParseCommandLine(const std::vector<std::string> &arguments, CommandLine &command_line,
                      std::string &problem);

} // namespace sapsim
