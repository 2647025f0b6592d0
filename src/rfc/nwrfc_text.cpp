// Windows-1252 is Latin-1 except for 0x80..0x9F, where it holds typographic characters.
#include "rfc/nwrfc_text.h"

#include <array>

namespace kestrovan {

namespace {

/// 0x80..0x9F; the five bytes Windows-1252 leaves undefined keep their Latin-1 control, as
/// Windows' own conversion does.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char NarrowOne(char16_t unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<char>(unit);
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == unit) return static_cast<char>(0x80 + i);
  }
  return '#';
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

} // namespace

std::u16string WidenAnsi(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    wide.push_back(byte >= 0x80 && byte <= 0x9F ? kHighControls[byte - 0x80]
                                                : static_cast<char16_t>(byte));
  }
  return wide;
}

std::string NarrowToAnsi(std::u16string_view text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      narrow.push_back('#'); // one character outside the code page, in two units
      ++i;
      continue;
    }
    narrow.push_back(NarrowOne(text[i]));
  }
  return narrow;
}

std::u16string_view TerminatedText(const char16_t *text, std::size_t units) {
  std::size_t length = 0;
  while (length < units && text[length] != 0)
    ++length;
  return std::u16string_view(text, length);
}

} // namespace kestrovan
