// The line rule the libraries' text files share: LF ends a line, a CR before it is a blank.
#pragma once

#include <string_view>

#include "wire/text_util.h"

namespace rfcfiles {

using rfcwire::IsBlank;
using rfcwire::Trim;

/// Calls line(text) for every line, line end not included.
template <typename Line> void ForEachLine(std::string_view text, Line line) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    line(text.substr(0, end));
    if (end == std::string_view::npos) {
      return;
    }
    text.remove_prefix(end + 1);
  }
}

} // namespace rfcfiles
