// Internal tables: rows of a fixed line length, addressed by opaque handles.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "rfcapi/rfc_api.h"
#include "wire/wire_frame.h"

namespace rfclib {

/// Bounds one table so a runaway caller gets a failure, not an exhausted address space.
inline constexpr std::size_t kMaxRows = rfcwire::kMaxTableRows;

/// The rows of one table in a few contiguous blocks. Received rows form a single block (possibly
/// inside the very frame they arrived in, which then needs no copy); appended rows go into blocks
/// reserved ahead that are filled but never reallocated, so a row's address stays valid while rows
/// are appended and changes only when the rows are replaced.
class TableRows {
public:
  explicit TableRows(unsigned line_length) : line_length_(line_length) {}

  unsigned LineLength() const { return line_length_; }
  std::size_t Count() const { return count_; }
  /// Row `index` (from 0), or null beyond the last row.
  std::uint8_t *Row(std::size_t index);
  /// A new zeroed row at the end.
  std::uint8_t *Append();
  /// Every row, replaced by `rows` rows lying one after another in `block` from byte `offset`.
  void Replace(std::vector<std::uint8_t> block, std::size_t offset, std::size_t rows);
  /// The blocks in row order, each holding whole rows only.
  std::vector<std::span<const std::uint8_t>> Blocks() const;

private:
  struct Block {
    std::size_t first_row = 0;
    std::size_t rows = 0;
    std::size_t room = 0;   // rows the block can hold without moving
    std::size_t offset = 0; // of the first row within bytes
    std::vector<std::uint8_t> bytes;
  };

  unsigned line_length_;
  std::size_t count_ = 0;
  std::vector<Block> blocks_;
};

struct InternalTable {
  InternalTable(std::string table_name, unsigned line_length)
      : name(std::move(table_name)), rows(line_length) {}

  std::string name;
  TableRows rows;
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
