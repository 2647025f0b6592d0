// Reading a secret from the terminal without echo, and writing files only their owner can read.
#pragma once

#include <optional>
#include <string>
#include <string_view>

/// True when standard input is an interactive terminal.
bool StdinIsTerminal();

/// Shows the prompt on standard error and reads one line from the terminal with echo off;
/// nullopt at end of input.
std::optional<std::string> ReadSecretLine(std::string_view prompt);

/// Creates or truncates a file (a native path) readable and writable by its owner alone.
bool WritePrivateFile(const std::string &path, std::string_view bytes, bool replace);
