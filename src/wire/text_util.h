// Small text helpers with one rule each (trimming, upper-casing, digits), shared by the sensor,
// the library stand-ins and the simulated system.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace rfcwire {

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

inline std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

/// SAP's fixed-length fields arrive padded with blanks; the padding is not part of the value.
inline std::string_view TrimTrailingBlanks(std::string_view text) {
  while (!text.empty() && text.back() == ' ') {
    text.remove_suffix(1);
  }
  return text;
}

/// A file's bytes as Windows reads a text file: CR LF becomes LF, Ctrl-Z ends the text.
inline std::string TranslateTextMode(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\x1a') {
      break;
    }
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      continue;
    }
    text.push_back(c);
  }
  return text;
}

inline std::string ToUpper(std::string_view text) {
  std::string upper(text);
  for (char &c : upper) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return upper;
}

inline bool AllDigits(std::string_view text) {
  if (text.empty()) {
    return false;
  }
  for (char c : text) {
    if (c < '0' || c > '9') {
      return false;
    }
  }
  return true;
}

/// Decimal digits only, at most max; false for anything else or a larger number. The range is
/// checked on the parsed 64-bit value, so no number wraps into range where long has 32 bits.
inline bool ParseUnsigned(std::string_view text, unsigned long max, unsigned long &value) {
  if (!AllDigits(text)) {
    return false;
  }
  std::uint64_t result = 0;
  const char *end = text.data() + text.size();
  const std::from_chars_result parsed = std::from_chars(text.data(), end, result);
  if (parsed.ec != std::errc() || parsed.ptr != end || result > max) {
    return false;
  }
  value = static_cast<unsigned long>(result);
  return true;
}

} // namespace rfcwire
