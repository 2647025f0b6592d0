// Producing the stored form of a profile password: the unscrambling run backwards.
#pragma once

#include <optional>
#include <random>
#include <string>
#include <string_view>

namespace kestrovan {

/// The longest password a profile can hold.
inline constexpr std::size_t kMaxPasswordLength = 20;

/// The 24-character stored value for a password of 1 to 20 characters, with random filler.
/// The value never holds NUL, CR, LF or Ctrl-Z, and is printable whenever the key offset and
/// the filler allow it. nullopt when the password cannot be stored (empty, too long, or made
/// of bytes that would scramble into a line end whatever the offset).
std::optional<std::string> ScramblePassword(std::string_view password, std::mt19937 &random);

} // namespace kestrovan
