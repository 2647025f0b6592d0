// The profile password: the run-time key and the unscrambling of a stored value.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kestrovan {

/// Length of a stored password value: four header characters and twenty body characters.
inline constexpr std::size_t kStoredPasswordLength = 24;
inline constexpr std::size_t kPasswordBodyLength = 20;
/// The body is unscrambled with key bytes k .. k+19, where k is at most this.
inline constexpr int kMaxKeyOffset = 9;

using PasswordKeyBytes = std::array<unsigned char, 32>;

/// The 32 key bytes, none zero. Built at run time so the table is not a plain constant in the
/// executable; the profile writer uses the same function.
const PasswordKeyBytes &PasswordKey();

enum class PasswordFault {
  None,
  Malformed, // not 24 characters, or the header is not four digits
  WrongCheck // the check digit does not match the unscrambled text
};

struct UnscrambledPassword {
  PasswordFault fault = PasswordFault::None;
  std::string password; // set only without a fault
};

UnscrambledPassword UnscramblePassword(std::string_view stored);

/// Last decimal digit of the sum of the character codes of the ASCII letters and digits.
int CheckDigit(std::string_view plain);

} // namespace kestrovan
