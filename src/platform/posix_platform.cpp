// The platform on POSIX systems: Windows paths mapped below a drive root, stdio for the rest.
#ifndef _WIN32
#include "platform/path_mapping.h"
#include "platform/platform.h"
#include "platform/text_pieces.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/stat.h>

namespace {

class PosixAppendFile : public AppendFile {
public:
  explicit PosixAppendFile(std::FILE *file) : file_(file) {}
  ~PosixAppendFile() override { std::fclose(file_); }
  void Write(std::string_view text) override {
    std::fwrite(text.data(), 1, text.size(), file_);
    std::fflush(file_);
  }

private:
  std::FILE *file_;
};

class PosixPlatform : public Platform {
public:
  explicit PosixPlatform(std::string drive_root) : drive_root_(std::move(drive_root)) {}

  std::optional<std::string> ReadText(const std::string &path) override {
    auto bytes = ReadBytes(path);
    if (!bytes) return std::nullopt;
    return TranslateTextMode(*bytes);
  }

  std::optional<std::string> ReadBytes(const std::string &path) override {
    const std::string real = ResolveIgnoringCase(MapWindowsPath(path, drive_root_));
    std::FILE *file = std::fopen(real.c_str(), "rb");
    if (!file) return std::nullopt;
    struct stat info {};
    if (fstat(fileno(file), &info) != 0 || S_ISDIR(info.st_mode)) {
      std::fclose(file); // fopen succeeds on a directory here; Windows refuses it
      return std::nullopt;
    }
    std::string content;
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return std::nullopt;
    return content;
  }

  bool WriteBytes(const std::string &path, std::string_view bytes) override {
    const std::string real = ResolveIgnoringCase(MapWindowsPath(path, drive_root_));
    std::FILE *file = std::fopen(real.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return (std::fclose(file) == 0) && written;
  }

  void RemoveFile(const std::string &path) override {
    std::remove(ResolveIgnoringCase(MapWindowsPath(path, drive_root_)).c_str());
  }

  std::unique_ptr<AppendFile> OpenAppend(const std::string &path) override {
    const std::string real = ResolveIgnoringCase(MapWindowsPath(path, drive_root_));
    std::FILE *file = std::fopen(real.c_str(), "a");
    if (!file) return nullptr;
    return std::make_unique<PosixAppendFile>(file);
  }

  LocalTime Now() override {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_wday,
                     parts.tm_hour,        parts.tm_min,     parts.tm_sec};
  }

  void WriteStdout(std::string_view text) override {
    std::fwrite(text.data(), 1, text.size(), stdout);
  }

private:
  std::string drive_root_;
};

} // namespace

std::string SystemDriveRoot() {
  const char *root = std::getenv("KESTROVAN_DRIVE_ROOT");
  return root && *root ? root : "/";
}

std::unique_ptr<Platform> MakeSystemPlatform(const std::string &drive_root) {
  return std::make_unique<PosixPlatform>(drive_root);
}
#endif
