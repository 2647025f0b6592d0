// The operating-system boundary: files by Windows path, local time, standard output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/text_pieces.h"

namespace kestrovan {

/// The local time of day and date, as the clock of the machine gives it.
struct LocalTime {
  int year = 1970, month = 1, day = 1; // month 1..12
  int weekday = 4;                     // 0 = Sunday
  int hour = 0, minute = 0, second = 0;
};

/// A file opened for appending lines (the log); every write is flushed at once.
class AppendFile {
public:
  virtual ~AppendFile() = default;
  virtual void Write(std::string_view text) = 0;
};

/// Everything the sensor needs from the operating system. Paths are Windows paths
/// ("C:\dir\file", "\dir\file" on the current drive, or relative to the working directory).
///
/// A path names a file only up to its end, so a path holding a NUL byte names no file: every
/// operation treats it as a file that cannot be opened, written or removed. Only regular files
/// are read, written or removed (never a directory, FIFO, device or socket), and no operation
/// waits for another process: a FIFO without a writer is refused, not waited on.
class Platform {
public:
  virtual ~Platform() = default;

  /// The text of a regular file, read as Windows reads text files (CR LF becomes LF, Ctrl-Z
  /// ends the text, exactly as TranslateTextMode does) in pieces as TextPieces hands them out,
  /// in memory that does not grow with the file. Null when the path names no regular file that
  /// can be opened for reading. A read error ends the text.
  virtual std::unique_ptr<TextSource> OpenText(const std::string &path) = 0;
  /// The text of the last `last_bytes` bytes of a regular file, read as OpenText reads the whole
  /// file, from the first line that begins within them; a file no larger is given whole. What a
  /// file ends with is read in a time that does not grow with the file.
  virtual std::unique_ptr<TextSource> OpenTextEnd(const std::string &path,
                                                  std::uint64_t last_bytes) = 0;
  /// Copies a regular file of at most `largest` bytes byte for byte, creating or truncating the
  /// target. False when the source cannot be opened, is larger (the target is then left as it
  /// was) or the target cannot be written completely. Copying a file onto itself leaves it as it
  /// is and succeeds.
  virtual bool CopyFile(const std::string &from, const std::string &to, std::uint64_t largest) = 0;
  /// True when the path names a regular file that can be opened for reading; nothing is read.
  virtual bool IsFile(const std::string &path) = 0;

  /// Deletes a regular file; anything else is left. A missing file or a failed deletion is not
  /// reported.
  virtual void RemoveFile(const std::string &path) = 0;
  /// Opens a regular file (created when missing) for appending text lines; null when it cannot
  /// be opened.
  virtual std::unique_ptr<AppendFile> OpenAppend(const std::string &path) = 0;

  virtual LocalTime Now() = 0;
  virtual void WriteStdout(std::string_view text) = 0;
  /// True once a write to standard output failed or was short: what the program printed did not
  /// all arrive.
  virtual bool StdoutFailed() const = 0;
};

/// How many bytes OpenText, OpenTextEnd and CopyFile read from the file at a time.
inline constexpr std::size_t kFileReadChunk = 64 * 1024;

/// The platform of the machine the program runs on. On POSIX systems Windows paths are
/// mapped below drive_root ("X:\rest" -> drive_root/X/rest); Windows uses paths as given.
std::unique_ptr<Platform> MakeSystemPlatform(const std::string &drive_root);

/// Where the drive letters live on this system: $KESTROVAN_DRIVE_ROOT on POSIX systems
/// ("/" without it); empty on Windows, which reads no environment variable.
std::string SystemDriveRoot();

/// Call first thing in main, before any file is opened. Standard input, output or error that
/// the starting process left closed is opened on the null device, so that no file the program
/// opens later takes its number and receives its output. False when standard output was closed:
/// nothing the program prints can arrive then.
bool OpenMissingStandardStreams();

} // namespace kestrovan
