// Piecewise reading of text files, shared by every reader of profiles, listings and traces.
#include "platform/text_pieces.h"

#include <algorithm>
#include <cstdlib>

#include "wire/text_util.h"

namespace kestrovan {

bool TextPieces::Next(std::size_t max_chars, std::string *piece) {
  if (pos_ >= text_.size() || max_chars == 0) {
    return false;
  }
  std::size_t end = pos_;
  const std::size_t limit = std::min(text_.size(), pos_ + max_chars);
  while (end < limit) {
    if (text_[end++] == '\n') {
      break;
    }
  }
  piece->assign(text_.substr(pos_, end - pos_));
  pos_ = end;
  return true;
}

std::string TranslateTextMode(std::string_view bytes) { return rfcwire::TranslateTextMode(bytes); }

void StripLineFeed(std::string *line) {
  if (!line->empty() && line->back() == '\n') {
    line->pop_back();
  }
}

std::string UpperAscii(std::string_view text) { return rfcwire::ToUpper(text); }

long ReadLeadingInteger(std::string_view text) {
  const std::string terminated(text.substr(0, text.find('\0')));
  return std::strtol(terminated.c_str(), nullptr, 10);
}

} // namespace kestrovan
