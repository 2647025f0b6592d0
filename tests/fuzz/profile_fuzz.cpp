// Fuzz target: any bytes as a profile file, read as both kinds of run read it and checked; every
// password read, and the input's first bytes taken as one, must survive scrambling and back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/text_pieces.h"
#include "profile/password.h"
#include "profile/password_scrambler.h"
#include "profile/profile.h"

namespace {

using namespace kestrovan;

/// What ScramblePassword accepts, UnscramblePassword gives back unchanged.
void RequireRoundTrip(std::string_view password, std::uint32_t seed) {
  std::mt19937 random(seed);
  const auto stored = ScramblePassword(password, random);
  if (!stored) return;
  FUZZ_CHECK(stored->size() == kStoredPasswordLength);
  for (char c : *stored)
    FUZZ_CHECK(c != '\0' && c != '\r' && c != '\n' && c != '\x1a');
  const UnscrambledPassword back = UnscramblePassword(*stored);
  FUZZ_CHECK(back.fault == PasswordFault::None);
  FUZZ_CHECK(back.password == password);
}

void ReadAndCheck(std::string_view text, std::size_t piece_length, ProfileReading reading) {
  TextPieces pieces(text);
  ConnectionParameters values;
  std::string display_host;
  const ProfileReadResult read =
      ReadProfile(pieces, piece_length, reading, "FUZZ.P00", values, display_host);
  for (const ProfileField &field : ProfileFields())
    FUZZ_CHECK((values.*(field.field)).size() <= kProfileValueWidth);
  FUZZ_CHECK(display_host.size() <= kProfileValueWidth);
  FUZZ_CHECK(values.password.size() <= kMaxPasswordLength);
  FUZZ_CHECK(read.valid == read.first_fault.empty());
  if (read.valid && CheckProfile(values, "FUZZ.P00").empty())
    FUZZ_CHECK(!values.user.empty() && !values.password.empty());
  if (!values.password.empty())
    RequireRoundTrip(values.password, static_cast<std::uint32_t>(text.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char *>(data), size);
  const std::string text = TranslateTextMode(bytes); // as the file is read on Windows
  for (const std::size_t piece_length : {kSingleProfilePiece, kGlobalProfilePiece}) {
    for (const ProfileReading reading :
         {ProfileReading::StopAtFault, ProfileReading::ContinueAfter})
      ReadAndCheck(text, piece_length, reading);
  }
  RequireRoundTrip(bytes.substr(0, kMaxPasswordLength), static_cast<std::uint32_t>(size));
  return 0;
}
