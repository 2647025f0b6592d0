// Reads text in pieces the way fgets does: a line with its line feed when it fits, else a bounded
// part.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

/// Cuts already-translated text (line feeds only) into pieces of at most a given length.
/// A piece ends after its line feed, or when it reaches the length; the rest of a long
/// line comes back as further pieces.
class TextPieces {
public:
  explicit TextPieces(std::string_view text) : text_(text) {}

  /// The next piece of at most max_chars characters, line feed included; false at the end.
  bool Next(std::size_t max_chars, std::string *piece);

private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

/// Applies Windows text-mode reading to raw bytes: CR LF becomes LF, and Ctrl-Z ends the text.
std::string TranslateTextMode(std::string_view bytes);

/// Removes one final line feed, if there is one.
void StripLineFeed(std::string *line);
