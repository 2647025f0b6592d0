// Unscrambling the stored profile password with the run-time key.
#include "profile/password.h"

namespace kestrovan {

const PasswordKeyBytes &PasswordKey() {
  static const PasswordKeyBytes key = [] {
    // Small key bytes keep a printable password printable once scrambled.
    PasswordKeyBytes bytes{};
    unsigned state = 0x5A;
    for (auto &b : bytes) {
      state = (state * 73u + 41u) & 0xFFu;
      b = static_cast<unsigned char>(1 + state % 31);
    }
    return bytes;
  }();
  return key;
}

static bool IsAsciiAlnum(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

int CheckDigit(std::string_view plain) {
  unsigned long sum = 0;
  for (char c : plain) {
    const auto u = static_cast<unsigned char>(c);
    if (IsAsciiAlnum(u)) {
      sum += u;
    }
  }
  return static_cast<int>(sum % 10);
}

UnscrambledPassword UnscramblePassword(std::string_view stored) {
  const PasswordKeyBytes &key = PasswordKey();
  if (stored.size() != kStoredPasswordLength) {
    return {PasswordFault::Malformed, {}};
  }

  int digits[4];
  for (int i = 0; i < 4; ++i) {
    const int d = static_cast<unsigned char>(stored[static_cast<std::size_t>(i)]) ^
                  key[static_cast<std::size_t>(i)];
    if (d < '0' || d > '9') {
      return {PasswordFault::Malformed, {}};
    }
    digits[i] = d - '0';
  }
  const int k = digits[1];
  const std::size_t n = static_cast<std::size_t>(digits[2] * 10 + digits[3]);

  std::array<unsigned char, kPasswordBodyLength> body{};
  for (std::size_t i = 0; i < kPasswordBodyLength; ++i) {
    body[i] = static_cast<unsigned char>(static_cast<unsigned char>(stored[4 + i]) ^
                                         key[static_cast<std::size_t>(k) + i]);
  }

  // The body holds the password's characters from both ends inwards; a zero byte adds nothing.
  std::string plain;
  for (std::size_t j = 0; j < kPasswordBodyLength / 2; ++j) {
    if (body[j] != 0) {
      plain.push_back(static_cast<char>(body[j]));
    }
    if (body[kPasswordBodyLength - 1 - j] != 0) {
      plain.push_back(static_cast<char>(body[kPasswordBodyLength - 1 - j]));
    }
  }
  if (CheckDigit(plain) != digits[0]) {
    return {PasswordFault::WrongCheck, {}};
  }
  return {PasswordFault::None, plain.substr(0, n)};
}

} // namespace kestrovan
