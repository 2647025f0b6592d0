// Looking up option keywords in the run's option text without regard to letter case.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/text_pieces.h"
#include "state/run_state.h"


/// Where the keyword (given in upper case) first occurs in the option text; npos when absent.
std::size_t FindOption(const RunState &state, std::string_view keyword);

inline bool HasOption(const RunState &state, std::string_view keyword) {
  return FindOption(state, keyword) != std::string::npos;
}

/// Sets both copies of the option text: as typed, and raised for keyword searches.
void SetParameterString(RunState &state, std::string text);

/// Reads a decimal integer as the C library's atoi does: leading white space skipped, an
/// optional sign, digits up to the first other character; no digits give 0.
long ReadLeadingInteger(std::string_view text);
