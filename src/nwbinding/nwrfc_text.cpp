// Windows-1252 is Latin-1 except for 0x80..0x9F, where it holds typographic characters.
#include "nwbinding/nwrfc_text.h"

#include <array>

namespace kestrovan::nwbinding {

namespace {

/// 0x80..0x9F; the five bytes Windows-1252 leaves undefined keep their Latin-1 control, as
/// Windows' own conversion does.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char NarrowOne(char16_t unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
    return static_cast<char>(unit);
  }
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == unit) {
      return static_cast<char>(0x80 + i);
    }
  }
  return '#';
}

char16_t WidenOne(unsigned char byte) {
  return byte >= 0x80 && byte <= 0x9F ? kHighControls[byte - 0x80] : static_cast<char16_t>(byte);
}

/// The length of the well-formed UTF-8 sequence at the start of text (no overlong form, no
/// surrogate, nothing beyond U+10FFFF), with its code point; 0 when there is none.
std::size_t Utf8Sequence(std::string_view text, char32_t &point) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  char32_t least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    point = lead & 0x1F;
    least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    point = lead & 0x0F;
    least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    point = lead & 0x07;
    least = 0x10000;
  } else {
    return 0;
  }
  if (text.size() < length) {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) {
      return 0;
    }
    point = (point << 6) | (byte(i) & 0x3F);
  }
  if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
    return 0;
  }
  return length;
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

} // namespace

std::u16string WidenAnsi(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (const char c : text) {
    wide.push_back(WidenOne(static_cast<unsigned char>(c)));
  }
  return wide;
}

std::u16string WidenUtf8OrAnsi(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  while (!text.empty()) {
    char32_t point = 0;
    const std::size_t length = Utf8Sequence(text, point);
    if (length == 0) {
      wide.push_back(WidenOne(static_cast<unsigned char>(text.front())));
      text.remove_prefix(1);
      continue;
    }
    if (point >= 0x10000) {
      point -= 0x10000;
      wide.push_back(static_cast<char16_t>(0xD800 + (point >> 10)));
      wide.push_back(static_cast<char16_t>(0xDC00 + (point & 0x3FF)));
    } else {
      wide.push_back(static_cast<char16_t>(point));
    }
    text.remove_prefix(length);
  }
  return wide;
}

std::u16string WidenProfileText(std::string_view text) {
#ifdef _WIN32
  return WidenAnsi(text);
#else
  return WidenUtf8OrAnsi(text);
#endif
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
  while (length < units && text[length] != 0) {
    ++length;
  }
  return std::u16string_view(text, length);
}

} // namespace kestrovan::nwbinding
