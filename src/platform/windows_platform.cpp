// The platform on Windows: paths as Windows gives them, the C runtime's files and console.
#ifdef _WIN32
#include "platform/platform.h"
#include "platform/text_pieces.h"

#include <cstdio>
#include <ctime>
#include <sys/stat.h>

namespace {

class WindowsAppendFile : public AppendFile {
public:
  explicit WindowsAppendFile(std::FILE *file) : file_(file) {}
  ~WindowsAppendFile() override { std::fclose(file_); }
  void Write(std::string_view text) override {
    std::fwrite(text.data(), 1, text.size(), file_);
    std::fflush(file_);
  }

private:
  std::FILE *file_;
};

class WindowsPlatform : public Platform {
public:
  std::optional<std::string> ReadText(const std::string &path) override {
    auto bytes = ReadBytes(path);
    if (!bytes) return std::nullopt;
    return TranslateTextMode(*bytes);
  }

  std::optional<std::string> ReadBytes(const std::string &path) override {
    struct _stat info {};
    if (_stat(path.c_str(), &info) == 0 && (info.st_mode & _S_IFDIR)) return std::nullopt;
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file) return std::nullopt;
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
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return (std::fclose(file) == 0) && written;
  }

  void RemoveFile(const std::string &path) override { std::remove(path.c_str()); }

  std::unique_ptr<AppendFile> OpenAppend(const std::string &path) override {
    std::FILE *file = std::fopen(path.c_str(), "a");
    if (!file) return nullptr;
    return std::make_unique<WindowsAppendFile>(file);
  }

  LocalTime Now() override {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_s(&parts, &now);
    return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_wday,
                     parts.tm_hour,        parts.tm_min,     parts.tm_sec};
  }

  void WriteStdout(std::string_view text) override {
    std::fwrite(text.data(), 1, text.size(), stdout); // text mode: LF goes out as CR LF
  }
};

} // namespace

std::string SystemDriveRoot() { return {}; }

std::unique_ptr<Platform> MakeSystemPlatform(const std::string &) {
  return std::make_unique<WindowsPlatform>();
}
#endif
