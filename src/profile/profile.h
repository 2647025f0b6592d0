// The profile format: twelve-character keys, a skipped column, values of up to 60 characters;
// reading a profile into the connection values and checking what was read.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/text_pieces.h"

namespace kestrovan {

/// A single-profile run reads profile lines in pieces of this many characters at most.
inline constexpr std::size_t kSingleProfilePiece = 159;
/// A global listing run reads each system's profile lines in pieces of this many at most.
inline constexpr std::size_t kGlobalProfilePiece = 199;
/// Keys are 12 characters including dots and colon; column 13 is skipped.
inline constexpr std::size_t kProfileKeyWidth = 12;
/// Values start in column 14 and hold at most 60 characters.
inline constexpr std::size_t kProfileValueWidth = 60;

/// The eleven text values of a profile.
struct ConnectionParameters {
  std::string extcompany;
  std::string destination;
  std::string client;
  std::string user;
  std::string password;
  std::string language;
  std::string mode;
  std::string hostname;
  std::string sysnr;
  std::string gwhost;
  std::string gwservice;
};

/// One key of the profile format, the field it fills and the shortest value the checks accept.
struct ProfileField {
  std::string_view key;
  std::string ConnectionParameters::*field;
  std::size_t minimum;
};

/// The eleven keys, in the order a complete profile lists them.
const std::array<ProfileField, 11> &ProfileFields();

enum class ProfileReading {
  StopAtFault,   // single-profile run: the first password fault ends the reading
  ContinueAfter, // global listing run: faults are only noted
};

struct ProfileReadResult {
  bool valid = true;       // no password fault was found
  std::string first_fault; // the message of the first fault, empty when valid
};

/// Reads profile lines into values; only the fields whose keys occur are overwritten, so a
/// global walk carries the others over from the profile before. A "Hostname" line also sets
/// display_host, the host that progress lines show until the system names its own.
ProfileReadResult ReadProfile(TextSource &text, std::size_t piece_length, ProfileReading reading,
                              std::string_view profile_name, ConnectionParameters &values,
                              std::string &display_host);

/// The first failing check after reading (user, password, minimum lengths), or "" when all pass.
std::string CheckProfile(const ConnectionParameters &values, std::string_view profile_name);

} // namespace kestrovan
