// A platform held in memory for the fuzz targets: files by exact Windows path, a fixed clock and
// captured standard output, so that an input runs in microseconds and touches no disk.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/text_pieces.h"

class MemoryPlatform : public kestrovan::Platform {
public:
  std::map<std::string, std::string> files; // Windows path -> bytes
  std::string stdout_text;

  std::unique_ptr<kestrovan::TextSource> OpenText(const std::string &path) override {
    return OpenTextEnd(path, UINT64_MAX);
  }
  std::unique_ptr<kestrovan::TextSource> OpenTextEnd(const std::string &path,
                                                     std::uint64_t last_bytes) override {
    const auto found = files.find(path);
    if (found == files.end()) return nullptr;
    struct Owned : kestrovan::TextSource {
      std::string text;
      kestrovan::TextPieces pieces{text};
      explicit Owned(std::string t) : text(std::move(t)), pieces(text) {}
      bool Next(std::size_t max_chars, std::string *piece) override {
        return pieces.Next(max_chars, piece);
      }
    };
    std::string_view bytes = found->second;
    if (bytes.size() > last_bytes) {
      // From the first line that begins within the last bytes.
      const std::size_t line_feed = bytes.find('\n', bytes.size() - last_bytes - 1);
      bytes =
          line_feed == std::string_view::npos ? std::string_view() : bytes.substr(line_feed + 1);
    }
    return std::make_unique<Owned>(kestrovan::TranslateTextMode(bytes));
  }
  bool IsFile(const std::string &path) override { return files.count(path) != 0; }
  bool CopyFile(const std::string &from, const std::string &to, std::uint64_t largest) override {
    const auto found = files.find(from);
    if (found == files.end() || found->second.size() > largest) return false;
    files[to] = found->second;
    return true;
  }
  void RemoveFile(const std::string &path) override { files.erase(path); }
  std::unique_ptr<kestrovan::AppendFile> OpenAppend(const std::string &path) override {
    struct Appender : kestrovan::AppendFile {
      std::string &target;
      explicit Appender(std::string &t) : target(t) {}
      void Write(std::string_view text) override { target.append(text); }
    };
    return std::make_unique<Appender>(files[path]);
  }
  kestrovan::LocalTime Now() override { return kestrovan::LocalTime{2024, 3, 5, 2, 14, 3, 27}; }
  bool StdoutFailed() const override { return false; }
  void WriteStdout(std::string_view text) override { stdout_text.append(text); }
};
