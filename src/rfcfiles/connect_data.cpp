// Tokenizer of connect texts and the line reader of SapRfc.ini entries.
#include "rfcfiles/connect_data.h"

#include "rfcfiles/text_lines.h"

namespace rfcfiles {

namespace {

bool ValidKey(std::string_view key) {
  if (key.empty()) {
    return false;
  }
  for (const char c : key) {
    const bool ok =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok) {
      return false;
    }
  }
  return true;
}

} // namespace

bool ParseConnectText(std::string_view text, ConnectValues &values, std::string &problem) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (IsBlank(text[i])) {
      ++i;
      continue;
    }
    const std::size_t start = i;
    while (i < text.size() && text[i] != '=' && !IsBlank(text[i])) {
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
      while (i < text.size() && !IsBlank(text[i])) {
        ++i;
      }
      value.assign(text.substr(value_start, i - value_start));
    }
    values[rfcwire::ToUpper(key)] = std::move(value);
  }
  return true;
}

bool FindDestinationEntry(std::string_view content, std::string_view destination,
                          ConnectValues &entry) {
  bool in_comment = false;
  bool in_entry = false;
  bool found = false;
  ConnectValues collected;
  std::string line;
  ForEachLine(content, [&](std::string_view raw) {
    if (found && !in_entry) {
      return; // the entry has ended: the rest of the file is not read
    }
    // Comments go first, across lines: what is left of a line is read as KEY=value.
    line.clear();
    for (std::size_t i = 0; i < raw.size(); ++i) {
      if (in_comment) {
        if (raw.substr(i).starts_with("*/")) {
          in_comment = false;
          ++i;
        }
      } else if (raw.substr(i).starts_with("/*")) {
        in_comment = true;
        ++i;
      } else {
        line.push_back(raw[i]);
      }
    }
    const std::string_view text = Trim(line);
    if (text.empty() || text.front() == '*' || text.front() == '#') {
      return;
    }
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
      return;
    }
    const std::string key = rfcwire::ToUpper(Trim(text.substr(0, equals)));
    const std::string_view value = Trim(text.substr(equals + 1));
    if (key.empty()) {
      return; // "=value" names nothing
    }
    if (key == "DEST") {
      in_entry = !found && value == destination;
      found = found || in_entry;
      return;
    }
    if (in_entry) {
      collected[key] = std::string(value);
    }
  });
  if (found) {
    entry = std::move(collected);
  }
  return found;
}

RoutedHost SplitRoute(const std::string &host) {
  const std::size_t last = host.rfind("/H/");
  if (!host.starts_with("/H/") || last == 0) {
    return {"", host};
  }
  std::string target = host.substr(last + 3);
  target = target.substr(0, target.find('/'));
  return {host.substr(0, last), target};
}

std::string MaskRoutePasswords(std::string text) {
  for (std::size_t at = 0; at + 3 <= text.size(); ++at) {
    if (text[at] != '/' || (text[at + 1] != 'W' && text[at + 1] != 'w') || text[at + 2] != '/') {
      continue;
    }
    std::size_t end = at + 3;
    while (end < text.size() && text[end] != '/' && text[end] != ' ' && text[end] != '\t' &&
           text[end] != '\n' && text[end] != '\r') {
      text[end++] = '*';
    }
    at = end - 1;
  }
  return text;
}

void MaskPassword(std::string &text, std::string_view password) {
  if (password.empty()) {
    return;
  }
  for (std::size_t at = text.find(password); at != std::string::npos;
       at = text.find(password, at + password.size())) {
    text.replace(at, password.size(), password.size(), '*');
  }
}

} // namespace rfcfiles
