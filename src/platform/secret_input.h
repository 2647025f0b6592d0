// Reading a secret from the terminal without echo.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrovan {

/// True when standard input is an interactive terminal.
bool StdinIsTerminal();

/// Shows the prompt on standard error and reads one line from the terminal with echo off;
/// nullopt at end of input.
std::optional<std::string> ReadSecretLine(std::string_view prompt);

} // namespace kestrovan
