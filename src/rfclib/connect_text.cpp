// Tokenizer for connect texts and the line reader for saprfc.ini entries.
#include "rfclib/connect_text.h"

#include "wire/text_util.h"

namespace rfclib {
namespace {

bool ValidKey(std::string_view key) {
  if (key.empty()) {
    return false;
  }
  for (char c : key) {
    const bool ok =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok) {
      return false;
    }
  }
  return true;
}

// Removes /* ... */ comments, keeping line ends so line-based reading still works.
std::string StripBlockComments(std::string_view content) {
  std::string out;
  out.reserve(content.size());
  bool inside = false;
  for (std::size_t i = 0; i < content.size(); ++i) {
    if (!inside && content.substr(i, 2) == "/*") {
      inside = true;
      ++i;
    } else if (inside && content.substr(i, 2) == "*/") {
      inside = false;
      ++i;
    } else if (!inside || content[i] == '\n') {
      out.push_back(content[i]);
    }
  }
  return out;
}

} // namespace

bool ParseConnectText(std::string_view text, Settings &settings, std::string &problem) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (rfcwire::IsBlank(text[i])) {
      ++i;
      continue;
    }
    const std::size_t start = i;
    while (i < text.size() && text[i] != '=' && !rfcwire::IsBlank(text[i])) {
      ++i;
    }
    const std::string_view key = text.substr(start, i - start);
    if (i >= text.size() || text[i] != '=') {
      problem = "connect text: a part at position " + std::to_string(start + 1) + " has no '='";
      return false;
    }
    if (!ValidKey(key)) {
      problem = "connect text: invalid key at position " + std::to_string(start + 1);
      return false;
    }
    ++i; // the '='
    std::string value;
    if (i < text.size() && text[i] == '"') {
      const std::size_t close = text.find('"', i + 1);
      if (close == std::string_view::npos) {
        problem =
            "connect text: the value of " + rfcwire::ToUpper(key) + " lacks its closing quote";
        return false;
      }
      value.assign(text.substr(i + 1, close - i - 1));
      i = close + 1;
    } else {
      const std::size_t value_start = i;
      while (i < text.size() && !rfcwire::IsBlank(text[i])) {
        ++i;
      }
      value.assign(text.substr(value_start, i - value_start));
    }
    settings[rfcwire::ToUpper(key)] = std::move(value);
  }
  return true;
}

bool FindDestination(std::string_view content, std::string_view destination, Settings &entry) {
  const std::string text = StripBlockComments(content);
  bool in_entry = false;
  bool found = false;
  std::size_t position = 0;
  while (position <= text.size()) {
    std::size_t end = text.find('\n', position);
    if (end == std::string::npos) {
      end = text.size();
    }
    const std::string_view line =
        rfcwire::Trim(std::string_view(text).substr(position, end - position));
    position = end + 1;
    if (line.empty() || line.front() == '*' || line.front() == '#') {
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      continue;
    }
    const std::string key = rfcwire::ToUpper(rfcwire::Trim(line.substr(0, equals)));
    const std::string_view value = rfcwire::Trim(line.substr(equals + 1));
    if (key.empty()) {
      continue; // "=value" sets nothing
    }
    if (key == "DEST") {
      if (found) {
        break; // the entry ends where the next begins
      }
      in_entry = value == destination;
      found = in_entry;
    }
    if (in_entry) {
      entry[key] = std::string(value);
    }
  }
  return found;
}

} // namespace rfclib
