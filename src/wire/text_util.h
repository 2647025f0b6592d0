// Small text helpers shared by the library stand-in and the simulated system.
#pragma once

#include <cstddef>
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

/// Decimal digits only, at most max; false for anything else or a larger number.
inline bool ParseUnsigned(std::string_view text, unsigned long max, unsigned long &value) {
  if (!AllDigits(text) || text.size() > 12) {
    return false;
  }
  unsigned long result = 0;
  for (char c : text) {
    result = result * 10 + static_cast<unsigned long>(c - '0');
  }
  if (result > max) {
    return false;
  }
  value = result;
  return true;
}

} // namespace rfcwire
