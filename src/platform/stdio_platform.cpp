// The platform over the C library's files, shared by Windows and POSIX systems; only how a path
// reaches the file system, the directory test and the local clock differ.
#include "platform/platform.h"
#include "platform/text_pieces.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/stat.h>

#ifndef _WIN32
#include "platform/path_mapping.h"
#endif

namespace {

class StdioAppendFile : public AppendFile {
public:
  explicit StdioAppendFile(std::FILE *file) : file_(file) {}
  ~StdioAppendFile() override { std::fclose(file_); }
  StdioAppendFile(const StdioAppendFile &) = delete;
  StdioAppendFile &operator=(const StdioAppendFile &) = delete;
  void Write(std::string_view text) override {
    std::fwrite(text.data(), 1, text.size(), file_);
    std::fflush(file_);
  }

private:
  std::FILE *file_;
};

/// fopen succeeds on a directory on POSIX systems; Windows refuses it, and so does the sensor.
bool IsDirectory(std::FILE *file, const std::string &path) {
#ifdef _WIN32
  (void)file;
  struct _stat info {};
  return _stat(path.c_str(), &info) == 0 && (info.st_mode & _S_IFDIR);
#else
  (void)path;
  struct stat info {};
  return fstat(fileno(file), &info) != 0 || S_ISDIR(info.st_mode);
#endif
}

class StdioPlatform : public Platform {
public:
  explicit StdioPlatform(std::string drive_root) : drive_root_(std::move(drive_root)) {}

  std::optional<std::string> ReadText(const std::string &path) override {
    auto bytes = ReadBytes(path);
    if (!bytes) return std::nullopt;
    return TranslateTextMode(*bytes);
  }

  std::optional<std::string> ReadBytes(const std::string &path) override {
    const std::string real = Native(path);
    std::FILE *file = std::fopen(real.c_str(), "rb");
    if (!file) return std::nullopt;
    if (IsDirectory(file, real)) {
      std::fclose(file);
      return std::nullopt;
    }
    std::string content;
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
      content.append(buffer, got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return std::nullopt;
    return content;
  }

  bool WriteBytes(const std::string &path, std::string_view bytes) override {
    std::FILE *file = std::fopen(Native(path).c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return (std::fclose(file) == 0) && written;
  }

  void RemoveFile(const std::string &path) override { std::remove(Native(path).c_str()); }

  std::unique_ptr<AppendFile> OpenAppend(const std::string &path) override {
    std::FILE *file = std::fopen(Native(path).c_str(), "a");
    if (!file) return nullptr;
    return std::make_unique<StdioAppendFile>(file);
  }

  LocalTime Now() override {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
#ifdef _WIN32
    localtime_s(&parts, &now);
#else
    localtime_r(&now, &parts);
#endif
    return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_wday,
                     parts.tm_hour,        parts.tm_min,     parts.tm_sec};
  }

  void WriteStdout(std::string_view text) override {
    // On Windows standard output is in text mode, so every LF goes out as CR LF.
    std::fwrite(text.data(), 1, text.size(), stdout);
  }

private:
  std::string Native(const std::string &path) const {
#ifdef _WIN32
    return path;
#else
    return ResolveIgnoringCase(MapWindowsPath(path, drive_root_));
#endif
  }

  std::string drive_root_;
};

} // namespace

std::string SystemDriveRoot() {
#ifdef _WIN32
  return {};
#else
  const char *root = std::getenv("KESTROVAN_DRIVE_ROOT");
  return root && *root ? root : "/";
#endif
}

std::unique_ptr<Platform> MakeSystemPlatform(const std::string &drive_root) {
  return std::make_unique<StdioPlatform>(drive_root);
}
