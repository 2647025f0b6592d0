// What every fuzz target asserts with: a failed property stops the run like a crash, so libFuzzer
// keeps the input that broke it.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(condition)                                                                      \
  do {                                                                                             \
    if (!(condition)) {                                                                            \
      std::fprintf(stderr, "%s:%d: property does not hold: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                                \
    }                                                                                              \
  } while (false)

/// The bounds a time limit read from a settings file keeps.
inline constexpr std::chrono::milliseconds kLeast{1};
inline constexpr std::chrono::milliseconds kMost{3600000};

/// A time limit read from a settings file is its default, or lies within the bounds and its key
/// is named in the text.
inline void CheckLimit(std::chrono::milliseconds value, std::chrono::milliseconds fallback,
                       const std::string &upper_text, const char *key) {
  FUZZ_CHECK(value == fallback || (value >= kLeast && value <= kMost));
  FUZZ_CHECK(value == fallback || upper_text.find(key) != std::string::npos);
}
