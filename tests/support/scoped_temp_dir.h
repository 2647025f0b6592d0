// Temporary folders and working-directory changes that undo themselves at the end of a scope.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kestrovan_test {

/// A fresh folder under the system's temporary directory, removed with everything in it.
class ScopedTempDir {
public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir &) = delete;
  ScopedTempDir &operator=(const ScopedTempDir &) = delete;

  const std::filesystem::path &Path() const { return path_; }
  /// Writes a file (bytes exactly as given) into the folder and returns its path.
  std::filesystem::path Write(std::string_view name, std::string_view content) const;
  /// Reads a file of the folder; empty when it does not exist.
  std::string Read(std::string_view name) const;
  bool Exists(std::string_view name) const;

private:
  std::filesystem::path path_;
};

/// Makes a folder the working directory until the end of the scope, then restores the old one.
class ScopedWorkingDirectory {
public:
  explicit ScopedWorkingDirectory(const std::filesystem::path &folder);
  ~ScopedWorkingDirectory();
  ScopedWorkingDirectory(const ScopedWorkingDirectory &) = delete;
  ScopedWorkingDirectory &operator=(const ScopedWorkingDirectory &) = delete;

private:
  std::filesystem::path previous_;
};

} // namespace kestrovan_test
