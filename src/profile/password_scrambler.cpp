// Scrambling a password for a profile, choosing the key offset and filler for a clean text file.
#include "profile/password_scrambler.h"

#include "profile/password.h"

namespace kestrovan {

namespace {

bool ForbiddenInTextFile(unsigned char c) { return c == 0 || c == '\r' || c == '\n' || c == 0x1A; }
bool Printable(unsigned char c) { return c >= 0x20 && c <= 0x7E; }

/// Prefers printable values, and no blank at either end, which editors like to trim.
int Score(const std::string &stored) {
  int score = 0;
  for (char c : stored) {
    score += Printable(static_cast<unsigned char>(c)) ? 2 : 0;
  }
  if (stored.front() != ' ') {
    ++score;
  }
  if (stored.back() != ' ') {
    ++score;
  }
  return score;
}

std::optional<std::string> Attempt(std::string_view password, int k, std::mt19937 &random) {
  const PasswordKeyBytes &key = PasswordKey();
  // Position in the body that holds the i-th character of the plain text.
  auto body_index = [](std::size_t i) {
    return i % 2 == 0 ? i / 2 : kPasswordBodyLength - 1 - i / 2;
  };

  std::string plain(password);
  static constexpr std::string_view kFiller =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::uniform_int_distribution<std::size_t> pick(0, kFiller.size() - 1);
  for (std::size_t i = plain.size(); i < kPasswordBodyLength; ++i) {
    const unsigned char key_byte = key[static_cast<std::size_t>(k) + body_index(i)];
    char filler = kFiller[pick(random)];
    for (int tries = 0; tries < 16 && !Printable(static_cast<unsigned char>(filler) ^ key_byte);
         ++tries) {
      filler = kFiller[pick(random)];
    }
    plain.push_back(filler);
  }

  const std::size_t n = password.size();
  const int header[4] = {CheckDigit(plain), k, static_cast<int>(n / 10), static_cast<int>(n % 10)};
  std::string stored(kStoredPasswordLength, '\0');
  for (std::size_t i = 0; i < 4; ++i) {
    stored[i] = static_cast<char>(('0' + header[i]) ^ key[i]);
  }
  for (std::size_t i = 0; i < kPasswordBodyLength; ++i) {
    stored[4 + body_index(i)] = static_cast<char>(static_cast<unsigned char>(plain[i]) ^
                                                  key[static_cast<std::size_t>(k) + body_index(i)]);
  }
  for (char c : stored) {
    if (ForbiddenInTextFile(static_cast<unsigned char>(c))) {
      return std::nullopt;
    }
  }
  return stored;
}

} // namespace

std::optional<std::string> ScramblePassword(std::string_view password, std::mt19937 &random) {
  if (password.empty() || password.size() > kMaxPasswordLength) {
    return std::nullopt;
  }
  for (char c : password) {
    if (c == '\0') {
      return std::nullopt;
    }
  }
  std::optional<std::string> best;
  int best_score = -1;
  const int perfect = 2 * static_cast<int>(kStoredPasswordLength) + 2;
  std::uniform_int_distribution<int> first_offset(0, kMaxKeyOffset);
  const int start = first_offset(random);
  for (int step = 0; step <= kMaxKeyOffset && best_score < perfect; ++step) {
    const int k = (start + step) % (kMaxKeyOffset + 1);
    for (int round = 0; round < 8 && best_score < perfect; ++round) {
      auto stored = Attempt(password, k, random);
      if (stored && Score(*stored) > best_score) {
        best_score = Score(*stored);
        best = std::move(stored);
      }
    }
  }
  return best;
}

} // namespace kestrovan
