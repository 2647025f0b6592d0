// Reads text in pieces the way fgets does: a line with its line feed when it fits, else a bounded
// part.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrovan {

/// Text handed out piece by piece as fgets hands out a file read in text mode: a piece ends
/// after its line feed, or when it reaches the length asked for; the rest of a long line comes
/// back as further pieces.
class TextSource {
public:
  virtual ~TextSource() = default;
  /// The next piece of at most max_chars characters, line feed included; false at the end.
  virtual bool Next(std::size_t max_chars, std::string *piece) = 0;
};

/// Pieces of already-translated text (line feeds only) held in memory.
class TextPieces : public TextSource {
public:
  explicit TextPieces(std::string_view text) : text_(text) {}

  bool Next(std::size_t max_chars, std::string *piece) override;

private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

/// Applies Windows text-mode reading to raw bytes: CR LF becomes LF, and Ctrl-Z ends the text.
std::string TranslateTextMode(std::string_view bytes);

/// Removes one final line feed, if there is one.
void StripLineFeed(std::string *line);

/// Letters a to z raised; every other character unchanged.
std::string UpperAscii(std::string_view text);

/// A decimal integer read as the C library's atoi reads it (leading white space, an optional
/// sign, digits up to the first other character; no digits give 0), but held at the range of
/// long instead of running over.
long ReadLeadingInteger(std::string_view text);

} // namespace kestrovan
