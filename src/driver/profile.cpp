// The profile format: twelve-character keys, a skipped separator column, values of up to 60
// characters.
#include "driver/profile.h"

#include "driver/password.h"
#include "output/option_text.h"
#include "platform/text_pieces.h"

namespace {

constexpr std::array<ProfileField, 11> kKeys{{
    {"Extcompany.:", &ConnectionParameters::extcompany, 2},
    {"Destination:", &ConnectionParameters::destination, 3},
    {"Client.....:", &ConnectionParameters::client, 3},
    {"User.......:", &ConnectionParameters::user, 2},
    {"Password...:", &ConnectionParameters::password, 2},
    {"Language...:", &ConnectionParameters::language, 1},
    {"Mode.......:", &ConnectionParameters::mode, 3},
    {"Hostname...:", &ConnectionParameters::hostname, 2},
    {"Sysnr......:", &ConnectionParameters::sysnr, 2},
    {"Gwhost.....:", &ConnectionParameters::gwhost, 2},
    {"Gwservice..:", &ConnectionParameters::gwservice, 2},
}};

std::string Message(std::string_view head, const std::string &profile, std::string_view tail) {
  std::string text(head);
  text += profile;
  text += tail;
  return text;
}

} // namespace

const std::array<ProfileField, 11> &ProfileFields() { return kKeys; }

ProfileReadResult ReadProfile(RunState &state, std::string_view text, std::size_t piece_length,
                              ProfileReading reading) {
  ProfileReadResult result;
  ConnectionParameters &values = state.Connection;
  TextPieces pieces(text);
  std::string line;
  while (pieces.Next(piece_length, &line)) {
    StripLineFeed(&line);
    if (line.size() < kProfileKeyWidth) continue;
    const std::string_view key = std::string_view(line).substr(0, kProfileKeyWidth);
    const ProfileField *match = nullptr;
    for (const ProfileField &candidate : kKeys) {
      if (candidate.key == key) match = &candidate;
    }
    if (!match) continue;

    const std::string value = line.size() > kProfileKeyWidth + 1
                                  ? line.substr(kProfileKeyWidth + 1, kProfileValueWidth)
                                  : "";
    if (match->field == &ConnectionParameters::user) {
      values.user = UpperAscii(value);
    } else if (match->field == &ConnectionParameters::password) {
      if (value.empty()) {
        values.password.clear();
        continue;
      }
      UnscrambledPassword unscrambled = UnscramblePassword(value);
      if (unscrambled.fault == PasswordFault::None) {
        values.password = std::move(unscrambled.password);
        continue;
      }
      // A faulty password line leaves the earlier password in place.
      if (result.valid) {
        result.first_fault =
            unscrambled.fault == PasswordFault::Malformed
                ? Message("Error 1004: Invalid Password in Profile ", state.ProfileName,
                          " found...")
                : Message("Error 1005: Wrong Password in Profile ", state.ProfileName, " found...");
      }
      result.valid = false;
      if (reading == ProfileReading::StopAtFault) return result;
    } else if (match->field == &ConnectionParameters::hostname) {
      values.hostname = value;
      state.DisplayHost = value;
    } else {
      values.*(match->field) = value;
    }
  }
  return result;
}

std::string CheckProfile(const RunState &state) {
  const ConnectionParameters &values = state.Connection;
  if (values.user.empty())
    return Message("Error 1006: Username in Profile ", state.ProfileName, " is missing...");
  if (values.password.empty())
    return Message("Error 1007: Password in Profile ", state.ProfileName, " is missing...");
  for (const ProfileField &key : kKeys) {
    if ((values.*(key.field)).size() < key.minimum)
      return Message("Error 1003: Invalid Parameter(s) at ", state.ProfileName, " found...");
  }
  return {};
}
