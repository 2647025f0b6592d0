// Small line-oriented readers; every input is outside data, so each is bounded by the text itself.
#include "rfc/nwrfc_config.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "platform/text_pieces.h"

namespace kestrovan {

namespace {

constexpr std::chrono::milliseconds kLongestLimit{3600 * 1000};

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && blank(text.back()))
    text.remove_suffix(1);
  return text;
}

/// Calls line(text) for every line; CR LF and LF both end a line.
template <typename Line> void ForEachLine(std::string_view text, Line line) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    line(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

} // namespace

bool ParseLimitDuration(std::string_view text, std::chrono::milliseconds &duration) {
  text = Trim(text);
  double scale = 1000.0;
  if (text.ends_with("ms")) {
    scale = 1.0;
    text.remove_suffix(2);
  } else if (text.ends_with('s')) {
    text.remove_suffix(1);
  }
  text = Trim(text);
  if (text.empty() || !(text.front() >= '0' && text.front() <= '9')) return false;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
    return false;
  const double milliseconds = std::round(value * scale);
  if (milliseconds < 1 || milliseconds > static_cast<double>(kLongestLimit.count())) return false;
  duration = std::chrono::milliseconds(static_cast<long long>(milliseconds));
  return true;
}

NwRfcLimits ParseNwRfcLimits(std::string_view text) {
  NwRfcLimits limits;
  ForEachLine(text, [&](std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() == '#' || line.front() == '*' || line.front() == ';') return;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return;
    const std::string key = UpperAscii(Trim(line.substr(0, equals)));
    std::chrono::milliseconds value{};
    if (!ParseLimitDuration(line.substr(equals + 1), value)) return;
    if (key == "CONNECT_TIMEOUT") limits.connect = value;
    if (key == "CALL_TIMEOUT") limits.call = value;
    if (key == "CONNECTION_TIMEOUT") limits.connection = value;
  });
  return limits;
}

bool ParseConnectText(std::string_view text, ConnectValues &values, std::string &problem) {
  std::size_t i = 0;
  while (true) {
    while (i < text.size() && text[i] == ' ')
      ++i;
    if (i >= text.size()) return true;
    const std::size_t equals = text.find('=', i);
    const std::size_t blank = text.find(' ', i);
    if (equals == std::string_view::npos || (blank != std::string_view::npos && blank < equals)) {
      problem = "a connect text entry without '='";
      return false;
    }
    const std::string key = UpperAscii(text.substr(i, equals - i));
    if (key.empty()) {
      problem = "a connect text entry without a key";
      return false;
    }
    i = equals + 1;
    std::string value;
    if (i < text.size() && text[i] == '"') {
      const std::size_t close = text.find('"', i + 1);
      if (close == std::string_view::npos) {
        problem = "an unterminated quoted value for " + key;
        return false;
      }
      value.assign(text.substr(i + 1, close - i - 1));
      i = close + 1;
    } else {
      const std::size_t end = std::min(text.find(' ', i), text.size());
      value.assign(text.substr(i, end - i));
      i = end;
    }
    values[key] = std::move(value);
  }
}

bool FindDestinationEntry(std::string_view content, std::string_view destination,
                          ConnectValues &entry) {
  bool in_comment = false;
  bool in_entry = false;
  bool found = false;
  ConnectValues collected;
  ForEachLine(content, [&](std::string_view raw) {
    // Comments go first, across lines: what is left of a line is read as KEY=value.
    std::string line;
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
    if (text.empty() || text.front() == '*' || text.front() == '#') return;
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) return;
    const std::string key = UpperAscii(Trim(text.substr(0, equals)));
    const std::string_view value = Trim(text.substr(equals + 1));
    if (key.empty()) return; // "=value" names nothing
    if (key == "DEST") {
      if (found && in_entry)
        in_entry = false; // the first matching entry wins
      else if (!found) {
        in_entry = value == destination;
        found = in_entry;
      }
      return;
    }
    if (in_entry) collected[key] = std::string(value);
  });
  if (found) entry = std::move(collected);
  return found;
}

} // namespace kestrovan
