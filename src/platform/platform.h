// The operating-system boundary: files by Windows path, local time, standard output.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/text_pieces.h"

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
class Platform {
public:
  virtual ~Platform() = default;

  /// Whole content of a file read as Windows reads text files (CR LF becomes LF, Ctrl-Z ends
  /// the text); nullopt when it cannot be opened for reading. A directory cannot be opened.
  virtual std::optional<std::string> ReadText(const std::string &path) = 0;
  /// A regular file read piece by piece in text mode; null when it cannot be opened.
  virtual std::unique_ptr<TextSource> OpenText(const std::string &path) {
    auto text = ReadText(path);
    if (!text) return nullptr;
    struct Owned : TextSource {
      std::string text;
      TextPieces pieces{text};
      explicit Owned(std::string t) : text(std::move(t)), pieces(text) {}
      bool Next(std::size_t max_chars, std::string *piece) override {
        return pieces.Next(max_chars, piece);
      }
    };
    return std::make_unique<Owned>(std::move(*text));
  }
  /// True when the path names a regular file that can be opened for reading.
  virtual bool IsFile(const std::string &path) { return ReadText(path).has_value(); }
  /// Copies a regular file byte for byte; false when it cannot be read or written whole.
  virtual bool CopyFile(const std::string &from, const std::string &to) {
    auto bytes = ReadBytes(from);
    return bytes && WriteBytes(to, *bytes);
  }
  /// Whole content byte for byte; nullopt when it cannot be opened.
  virtual std::optional<std::string> ReadBytes(const std::string &path) = 0;
  /// Creates or truncates the file and writes the bytes; false when that fails.
  virtual bool WriteBytes(const std::string &path, std::string_view bytes) = 0;
  /// Deletes the file; a missing file or a failed deletion is not reported.
  virtual void RemoveFile(const std::string &path) = 0;
  /// Opens the file for appending text lines; null when it cannot be opened.
  virtual std::unique_ptr<AppendFile> OpenAppend(const std::string &path) = 0;

  virtual LocalTime Now() = 0;
  virtual void WriteStdout(std::string_view text) = 0;
};

/// The platform of the machine the program runs on. On POSIX systems Windows paths are
/// mapped below drive_root ("X:\rest" -> drive_root/X/rest); Windows uses paths as given.
std::unique_ptr<Platform> MakeSystemPlatform(const std::string &drive_root);

/// Where the drive letters live on this system: $KESTROVAN_DRIVE_ROOT on POSIX systems
/// ("/" without it); empty on Windows, which reads no environment variable.
std::string SystemDriveRoot();
