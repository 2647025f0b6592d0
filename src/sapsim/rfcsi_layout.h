// Field layout of the RFCSI record that RFC_SYSTEM_INFO returns (200 characters).
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace sapsim {

struct RfcsiField {
  std::string_view name; // as the system file names it: lower case
  std::size_t offset;
  std::size_t length;
};

inline constexpr std::size_t kRfcsiLength = 200;

inline constexpr std::array<RfcsiField, 18> kRfcsiFields = {{
    {"rfcproto", 0, 3},
    {"rfcchartyp", 3, 4},
    {"rfcinttyp", 7, 3},
    {"rfcflotyp", 10, 3},
    {"rfcdest", 13, 32},
    {"rfchost", 45, 8},
    {"rfcsysid", 53, 8},
    {"rfcdatabs", 61, 8},
    {"rfcdbhost", 69, 32},
    {"rfcdbsys", 101, 10},
    {"rfcsaprl", 111, 4},
    {"rfcmach", 115, 5},
    {"rfcopsys", 120, 10},
    {"rfctzone", 130, 6},
    {"rfcdayst", 136, 1},
    {"rfcipaddr", 137, 15},
    {"rfckernrl", 152, 4},
    {"rfcsi_resv", 156, 44},
}};

/// Null when no element has that name.
inline const RfcsiField *FindRfcsiField(std::string_view name) {
  for (const RfcsiField &field : kRfcsiFields) {
    if (field.name == name) {
      return &field;
    }
  }
  return nullptr;
}

} // namespace sapsim
