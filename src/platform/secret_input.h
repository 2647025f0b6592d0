// Reading a secret from the terminal without echo, and writing files only their owner can read.
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

/// Writes a file (a native path) readable and writable by its owner alone, all of it or nothing.
/// Without replace only a new file is created: anything at the path, a link included, stays
/// and the result is false. With replace the bytes go to a new file beside the target, which
/// is then renamed over it: an existing file's mode is not kept, and a link at the path is
/// replaced by the file while what it points to stays untouched. On Windows, which has no
/// modes, the new file gets the permissions of its folder.
bool WritePrivateFile(const std::string &path, std::string_view bytes, bool replace);

} // namespace kestrovan
