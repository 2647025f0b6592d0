// The profile format: twelve-character keys, a skipped separator column, values of up to 60
// characters.
#include "profile/profile.h"

#include "profile/password.h"

namespace kestrovan {

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

std::string Message(std::string_view head, std::string_view profile, std::string_view tail) {
  std::string text(head);
  text += profile;
  text += tail;
  return text;
}

} // namespace

const std::array<ProfileField, 11> &ProfileFields() { return kKeys; }

ProfileReadResult ReadProfile(TextSource &text, std::size_t piece_length, ProfileReading reading,
                              std::string_view profile_name, ConnectionParameters &values,
                              std::string &display_host) {
  ProfileReadResult result;
  std::string line;
  while (text.Next(piece_length, &line)) {
    StripLineFeed(&line);
    if (line.size() < kProfileKeyWidth) {
      continue;
    }
    const std::string_view key = std::string_view(line).substr(0, kProfileKeyWidth);
    const ProfileField *match = nullptr;
    for (const ProfileField &candidate : kKeys) {
      if (candidate.key == key) {
        match = &candidate;
      }
    }
    if (!match) {
      continue;
    }

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
                ? Message("Error 1004: Invalid Password in Profile ", profile_name, " found...")
                : Message("Error 1005: Wrong Password in Profile ", profile_name, " found...");
      }
      result.valid = false;
      if (reading == ProfileReading::StopAtFault) {
        return result;
      }
    } else if (match->field == &ConnectionParameters::hostname) {
      values.hostname = value;
      display_host = value;
    } else {
      values.*(match->field) = value;
    }
  }
  return result;
}

std::string CheckProfile(const ConnectionParameters &values, std::string_view profile_name) {
  if (values.user.empty()) {
    return Message("Error 1006: Username in Profile ", profile_name, " is missing...");
  }
  if (values.password.empty()) {
    return Message("Error 1007: Password in Profile ", profile_name, " is missing...");
  }
  for (const ProfileField &key : kKeys) {
    if ((values.*(key.field)).size() < key.minimum) {
      return Message("Error 1003: Invalid Parameter(s) at ", profile_name, " found...");
    }
  }
  return {};
}

} // namespace kestrovan
