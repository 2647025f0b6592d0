// Reads RfcStandin.ini; unknown keys and unusable values leave the defaults in force.
#include "rfclib/settings.h"

#include <fstream>
#include <sstream>

#include "wire/text_util.h"

namespace rfclib {

bool ParseDuration(std::string_view text, std::chrono::milliseconds &duration) {
  text = rfcwire::Trim(text);
  unsigned long scale = 1000; // seconds unless said otherwise
  if (text.size() > 2 && text.substr(text.size() - 2) == "ms") {
    scale = 1;
    text.remove_suffix(2);
  } else if (text.size() > 1 && text.back() == 's') {
    text.remove_suffix(1);
  }
  const std::size_t dot = text.find('.');
  std::string_view whole = text.substr(0, dot);
  std::string_view fraction =
      dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
  unsigned long units = 0;
  if (!rfcwire::ParseUnsigned(whole, 3600000, units)) {
    return false;
  }
  unsigned long milliseconds = units * scale;
  if (dot != std::string_view::npos) {
    // Fractions only make sense for seconds, and only down to the millisecond.
    if (scale != 1000 || fraction.empty() || fraction.size() > 3 || !rfcwire::AllDigits(fraction)) {
      return false;
    }
    unsigned long thousandths = 0;
    rfcwire::ParseUnsigned(fraction, 999, thousandths);
    for (std::size_t i = fraction.size(); i < 3; ++i) {
      thousandths *= 10;
    }
    milliseconds += thousandths;
  }
  if (milliseconds < 1 || milliseconds > 3600000) {
    return false;
  }
  duration = std::chrono::milliseconds(static_cast<long long>(milliseconds));
  return true;
}

Timeouts ParseTimeouts(std::string_view content) {
  Timeouts timeouts;
  std::size_t position = 0;
  while (position < content.size()) {
    std::size_t end = content.find('\n', position);
    if (end == std::string_view::npos) {
      end = content.size();
    }
    const std::string_view text = rfcwire::Trim(content.substr(position, end - position));
    position = end + 1;
    if (text.empty() || text.front() == '#' || text.front() == '*' || text.front() == ';') {
      continue;
    }
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
      continue;
    }
    const std::string key = rfcwire::ToUpper(rfcwire::Trim(text.substr(0, equals)));
    const std::string_view value = text.substr(equals + 1);
    std::chrono::milliseconds duration{};
    if (!ParseDuration(value, duration)) {
      continue;
    }
    if (key == "CONNECT_TIMEOUT") {
      timeouts.connect = duration;
    } else if (key == "CALL_TIMEOUT") {
      timeouts.call = duration;
    } else if (key == "CONNECTION_TIMEOUT") {
      timeouts.connection = duration;
    }
  }
  return timeouts;
}

Timeouts ReadTimeouts(const std::string &path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    return Timeouts();
  }
  std::ostringstream content;
  content << file.rdbuf();
  return ParseTimeouts(content.str());
}

} // namespace rfclib
