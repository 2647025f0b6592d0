// Option keyword search over the upper-case copy of the option text.
#include "output/option_text.h"

#include <cctype>
#include <limits>

std::size_t FindOption(const RunState &state, std::string_view keyword) {
  return state.ParameterStringUpper.find(keyword);
}

void SetParameterString(RunState &state, std::string text) {
  state.ParameterStringUpper = UpperAscii(text);
  state.ParameterString = std::move(text);
}

long ReadLeadingInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value > (std::numeric_limits<long>::max() - 9) / 10)
      break; // saturate instead of overflowing
    value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}
