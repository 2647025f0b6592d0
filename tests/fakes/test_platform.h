// A platform for in-process tests: real files below a scratch drive root, a fixed clock, captured
// stdout.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "support/scoped_temp_dir.h"

// The tests name the platform's types as the sensor's code does, without the namespace.
using kestrovan::AppendFile;
using kestrovan::LocalTime;
using kestrovan::Platform;
using kestrovan::TextSource;

/// A scratch directory that holds a drive root ("root/C", "root/D", ...) and a working
/// directory on drive C: ("C:\work", as when a Windows program is started there); the
/// process's working directory is moved there for the test's life.
class ScratchTree {
public:
  ScratchTree();
  ScratchTree(const ScratchTree &) = delete;
  ScratchTree &operator=(const ScratchTree &) = delete;

  const std::filesystem::path &base() const { return base_; }
  std::filesystem::path root() const { return base_ / "root"; }
  std::filesystem::path work() const { return base_ / "root" / "C" / "work"; }

  /// Writes a file below the drive root given as a Windows path ("C:\dir\f", "\dir\f") or
  /// relative to the working directory; parent directories are created.
  void Write(const std::string &windows_path, const std::string &bytes) const;
  /// The POSIX path of a Windows path in this tree.
  std::filesystem::path Local(const std::string &windows_path) const;
  bool Exists(const std::string &windows_path) const;
  std::string Read(const std::string &windows_path) const;

private:
  kestrovan_test::ScopedTempDir folder_; // removed last, after the working directory is back
  std::filesystem::path base_;
  std::optional<kestrovan_test::ScopedWorkingDirectory> in_work_;
};

/// All the text a file gives when read in pieces; nullopt when it cannot be opened.
std::optional<std::string> ReadAllText(Platform &os, const std::string &path);

class TestPlatform : public Platform {
public:
  explicit TestPlatform(const ScratchTree &tree);

  std::unique_ptr<TextSource> OpenText(const std::string &path) override {
    return real_->OpenText(path);
  }
  std::unique_ptr<TextSource> OpenTextEnd(const std::string &path,
                                          std::uint64_t last_bytes) override {
    return real_->OpenTextEnd(path, last_bytes);
  }
  bool CopyFile(const std::string &from, const std::string &to, std::uint64_t largest) override {
    return real_->CopyFile(from, to, largest);
  }
  bool IsFile(const std::string &path) override { return real_->IsFile(path); }
  void RemoveFile(const std::string &path) override { real_->RemoveFile(path); }
  std::unique_ptr<AppendFile> OpenAppend(const std::string &path) override {
    return real_->OpenAppend(path);
  }
  LocalTime Now() override { return clock; }
  void WriteStdout(std::string_view text) override { stdout_text.append(text); }
  bool StdoutFailed() const override { return false; }

  LocalTime clock{2024, 3, 5, 2, 14, 3, 27};
  std::string stdout_text;

private:
  std::unique_ptr<Platform> real_;
};
