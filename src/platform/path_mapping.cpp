// Windows path to POSIX path mapping, with Windows' case-insensitive file lookup.
#include "platform/path_mapping.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace kestrovan {

namespace fs = std::filesystem;

std::string MapWindowsPath(const std::string &path, const std::string &drive_root) {
  std::string root = drive_root.empty() ? "/" : drive_root;
  if (root.back() != '/') {
    root.push_back('/');
  }

  std::string mapped;
  if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') {
    mapped = root + static_cast<char>(std::toupper(static_cast<unsigned char>(path[0]))) + "/" +
             path.substr(2);
  } else if (!path.empty() && path[0] == '\\') {
    mapped = root + "C" + path;
  } else {
    mapped = path;
  }
  std::replace(mapped.begin(), mapped.end(), '\\', '/');
  // Collapse doubled slashes that joining produced, keeping a leading one.
  std::string clean;
  for (char c : mapped) {
    if (c == '/' && !clean.empty() && clean.back() == '/') {
      continue;
    }
    clean.push_back(c);
  }
  return clean;
}

static bool SameIgnoringCase(const std::string &a, const std::string &b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string ResolveIgnoringCase(const std::string &posix_path) {
  std::error_code ec;
  if (posix_path.empty() || fs::exists(posix_path, ec)) {
    return posix_path;
  }

  const fs::path wanted(posix_path);
  fs::path current = wanted.is_absolute() ? wanted.root_path() : fs::path();
  bool lost = false; // once a component is missing, the rest is kept as written
  for (const fs::path &component : wanted.relative_path()) {
    const std::string name = component.string();
    if (lost || name.empty() || name == "." || fs::exists(current / name, ec)) {
      current /= name;
      continue;
    }
    bool found = false;
    const fs::path directory = current.empty() ? fs::path(".") : current;
    for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string candidate = it->path().filename().string();
      if (SameIgnoringCase(candidate, name)) {
        current /= candidate;
        found = true;
        break;
      }
    }
    if (!found) {
      current /= name;
      lost = true;
    }
  }
  return current.string();
}

} // namespace kestrovan
