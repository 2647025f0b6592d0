// Scratch trees and the in-process test platform.
#include "test_platform.h"

#include <fstream>
#include <sstream>
#include <unistd.h>

#include "platform/path_mapping.h"

namespace fs = std::filesystem;
using namespace kestrovan;

ScratchTree::ScratchTree() : base_(folder_.Path()) {
  fs::create_directories(root() / "C");
  fs::create_directories(work());
  in_work_.emplace(work());
}

fs::path ScratchTree::Local(const std::string &windows_path) const {
  const std::string mapped = MapWindowsPath(windows_path, root().string());
  const fs::path p(mapped);
  return p.is_absolute() ? p : work() / p;
}

void ScratchTree::Write(const std::string &windows_path, const std::string &bytes) const {
  const fs::path p = Local(windows_path);
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

bool ScratchTree::Exists(const std::string &windows_path) const {
  return fs::exists(Local(windows_path));
}

std::string ScratchTree::Read(const std::string &windows_path) const {
  std::ifstream in(Local(windows_path), std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

TestPlatform::TestPlatform(const ScratchTree &tree)
    : real_(MakeSystemPlatform(tree.root().string())) {}

std::optional<std::string> ReadAllText(Platform &os, const std::string &path) {
  const auto source = os.OpenText(path);
  if (!source) {
    return std::nullopt;
  }
  std::string text, piece;
  while (source->Next(4096, &piece)) {
    text += piece;
  }
  return text;
}
