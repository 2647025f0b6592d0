// Row storage and handle bookkeeping of internal tables.
#include "rfclib/internal_tables.h"

#include <algorithm>

namespace rfclib {
namespace {

// Appended rows come in blocks that double the table, so a table of n rows has O(log n) blocks.
constexpr std::size_t kFirstAppendBlockRows = 16;

} // namespace

std::uint8_t *TableRows::Row(std::size_t index) {
  if (index >= count_) {
    return nullptr;
  }
  const auto after =
      std::upper_bound(blocks_.begin(), blocks_.end(), index,
                       [](std::size_t row, const Block &block) { return row < block.first_row; });
  Block &block = *(after - 1);
  return block.bytes.data() + block.offset + (index - block.first_row) * line_length_;
}

std::uint8_t *TableRows::Append() {
  if (blocks_.empty() || blocks_.back().rows == blocks_.back().room) {
    Block block;
    block.first_row = count_;
    block.room = std::max<std::size_t>(1, std::min(std::max(kFirstAppendBlockRows, count_),
                                                   kMaxRows - std::min(count_, kMaxRows)));
    // Reserved, not filled: pages are only touched as rows are appended.
    block.bytes.reserve(block.room * line_length_);
    blocks_.push_back(std::move(block));
  }
  // Within the reserved capacity the block's bytes do not move.
  Block &block = blocks_.back();
  block.bytes.resize(block.bytes.size() + line_length_, std::uint8_t{0});
  ++block.rows;
  ++count_;
  return block.bytes.data() + block.bytes.size() - line_length_;
}

void TableRows::Replace(std::vector<std::uint8_t> block, std::size_t offset, std::size_t rows) {
  blocks_.clear();
  count_ = rows;
  if (rows != 0) {
    blocks_.push_back(Block{0, rows, rows, offset, std::move(block)});
  }
}

std::vector<std::span<const std::uint8_t>> TableRows::Blocks() const {
  std::vector<std::span<const std::uint8_t>> spans;
  spans.reserve(blocks_.size());
  for (const Block &block : blocks_) {
    spans.push_back(std::span<const std::uint8_t>(block.bytes)
                        .subspan(block.offset, block.rows * line_length_));
  }
  return spans;
}

ITAB_H TableRegistry::Create(std::string name, unsigned line_length) {
  auto table = std::make_unique<InternalTable>(std::move(name), line_length);
  const ITAB_H handle = reinterpret_cast<ITAB_H>(table.get());
  tables_.emplace(handle, std::move(table));
  return handle;
}

InternalTable *TableRegistry::Find(ITAB_H handle) {
  const auto found = tables_.find(handle);
  return found == tables_.end() ? nullptr : found->second.get();
}

bool TableRegistry::Delete(ITAB_H handle) { return tables_.erase(handle) == 1; }

} // namespace rfclib
