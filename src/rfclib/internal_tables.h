// Internal tables: rows of a fixed line length, addressed by opaque handles.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "rfcapi/rfc_api.h"

namespace rfclib {

/// Bounds one table so a runaway caller gets a failure, not an exhausted address space.
inline constexpr std::size_t kMaxRows = 16u * 1024u * 1024u;

struct InternalTable {
  std::string name;
  unsigned line_length = 0;
  /// One vector per row: a row's address stays valid while further rows are appended.
  std::vector<std::vector<std::uint8_t>> rows;
};

class TableRegistry {
public:
  /// The handle is the table's address, checked against this registry before every use.
  ITAB_H Create(std::string name, unsigned line_length);
  /// Null for a handle this registry did not hand out or that was deleted.
  InternalTable *Find(ITAB_H handle);
  bool Delete(ITAB_H handle);

private:
  std::map<ITAB_H, std::unique_ptr<InternalTable>> tables_;
};

} // namespace rfclib
