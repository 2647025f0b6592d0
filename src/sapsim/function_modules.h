// What the simulated system's function modules answer when no fault is set.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "wire/wire_messages.h"
#include "sapsim/system_file.h"

namespace sapsim {

inline constexpr std::size_t kIndexNameLength = 30;
inline constexpr const char *kMissingIndexPrefix = "MISSING_INDEX_";
inline constexpr const char *kNotDefinedPrefix = "INDEX_NOT_DEFINED_";

struct CallResult {
  enum class Kind { Reply, SystemException };
  Kind kind = Kind::Reply;
  rfcwire::Reply reply;
  rfcwire::RaisedException raised;
};

/// The 200-character RFCSI record: given fields blank-padded, the rest blanks.
std::vector<std::uint8_t> RfcsiRecord(const SystemDescription &system);

/// Row `number` (from 1) of a generated index table: prefix, seven digits, blanks to 30.
std::string IndexName(const char *prefix, unsigned long number);

/// Runs the named function module; an unknown one ends in the system exception
/// CALL_FUNCTION_NOT_FOUND, as a call of a missing module does on an SAP system.
CallResult RunFunction(const SystemDescription &system, const rfcwire::CallRequest &request,
                       const std::tm &now);

} // namespace sapsim
