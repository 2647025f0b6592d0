// The description of the simulated system: what it answers, whom it lets in, and its faults.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "sapsim/fault.h"

namespace sapsim {

/// More would not fit into one reply frame.
inline constexpr unsigned long kMaxIndexLines = 1000000;
inline constexpr long long kMaxDelayMilliseconds = 600000;

struct FunctionBehaviour {
  Fault fault;
  std::chrono::milliseconds delay{0};
};

struct SystemDescription {
  /// RFCSI element values by lower-case element name; elements not given are blanks.
  std::map<std::string, std::string> rfcsi;
  std::string client;
  std::string user;
  std::string password;
  unsigned long missing_index = 0;
  unsigned long index_not_defined = 0;
  std::int32_t current_resources = 10;
  std::int32_t maximal_resources = 10;
  std::int32_t recommended_delay = 0;
  Fault logon_fault;
  std::chrono::milliseconds logon_delay{0};
  /// By function-module name in upper case; modules not listed behave normally.
  std::map<std::string, FunctionBehaviour> functions;
};

/// The function modules this system knows, in upper case.
bool IsKnownFunction(std::string_view name);

/// Parses the text of a system file; the problem names the line.
bool ParseSystemFile(std::string_view content, SystemDescription &system, std::string &problem);

/// Reads and parses the file; the problem names the file.
bool ReadSystemFile(const std::string &path, SystemDescription &system, std::string &problem);

} // namespace sapsim
