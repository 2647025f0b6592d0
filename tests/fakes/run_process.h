// Running a built program as the monitoring host would: arguments, environment, working directory.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

struct ProcessResult {
  int exit_code = -1; // -1 when the program did not end normally
  std::string stdout_text;
  std::string stderr_text;
};

/// Runs program with the arguments in directory cwd, with the given extra environment and
/// standard input, and waits for it to end.
ProcessResult RunProcess(const std::string &program, const std::vector<std::string> &arguments,
                         const std::string &cwd,
                         const std::map<std::string, std::string> &environment,
                         const std::string &stdin_text = "");

/// Why no network namespace of the test's own can be made on this machine; nothing when one can.
/// Such a namespace has its loopback device up, which also carries the addresses asked for, and
/// no other device up: what a program sends there cannot leave the machine.
std::optional<std::string> OwnNetworkUnavailable();

/// Runs program as RunProcess does, inside a network namespace of its own whose loopback device
/// carries addresses (IPv4 or IPv6, each on its own); call only where OwnNetworkUnavailable()
/// says nothing.
ProcessResult RunProcessInOwnNetwork(const std::string &program,
                                     const std::vector<std::string> &arguments,
                                     const std::string &cwd,
                                     const std::map<std::string, std::string> &environment,
                                     const std::vector<std::string> &addresses);
