// Reading and appending the libraries' files without ever waiting on or exhausting anything.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace rfcfiles {

enum class FileRead {
  Ok,
  Missing,  // no regular file of that name can be opened for reading
  TooLarge, // more than the limit: nothing of it is used
};

/// The text of a regular file, read in pieces and never more than `limit` bytes of it, as every
/// library of the program reads its files: as Windows reads a text file (CR LF becomes LF,
/// Ctrl-Z ends the text). A FIFO, a device or a directory of that name counts as missing, and
/// opening it never waits.
FileRead ReadTextFile(const std::string &path, std::size_t limit, std::string &content);

/// Appends text to a regular file, created when missing; on Windows every LF goes out as CR LF,
/// as a file written in text mode. False when it is no regular file or cannot be written.
bool AppendToRegularFile(const std::string &path, std::string_view text);

} // namespace rfcfiles
