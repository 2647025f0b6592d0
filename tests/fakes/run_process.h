// Running a built program as the monitoring host would: arguments, environment, working directory.
#pragma once

#include <map>
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
