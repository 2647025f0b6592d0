// The faults a system file can put on the logon or on a function module.
#pragma once

#include <string>
#include <string_view>

namespace sapsim {

struct Fault {
  enum class Kind {
    None,
    Exception,
    SystemException,
    Failure,
    Hang,
    Drop,
    Garbage,
    Stall,
    Trickle
  };
  /// Call: instead of accepting the call (so RfcCall fails); Reply: instead of the reply.
  enum class Phase { Call, Reply };

  Kind kind = Kind::None;
  Phase phase = Phase::Reply;
  std::string name; // exception name
  std::string text; // failure or exception text; empty = a default
};

/// Reads a fault word with its arguments: "exception NAME [TEXT]", "system_exception [TEXT]",
/// "failure [TEXT]", "hang", "drop", "garbage", "stall", "trickle", and "call_failure [TEXT]",
/// "call_hang", "call_drop", "call_garbage". With for_logon only failure, hang, drop and garbage
/// are allowed.
bool ParseFault(std::string_view text, bool for_logon, Fault &fault, std::string &problem);

} // namespace sapsim
