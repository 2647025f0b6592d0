// Conversions between the caller's memory and wire values, guarded by the declared lengths.
#include "rfclib/parameters.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <span>

#include "wire/text_util.h"

namespace rfclib {
namespace {

// Entry names: nlen characters when given, otherwise up to the terminating zero.
bool EntryName(const void *name, unsigned nlen, std::string &out, std::string &problem) {
  const char *text = static_cast<const char *>(name);
  const std::size_t size = nlen != 0 ? nlen : ::strnlen(text, rfcwire::kMaxNameLength + 1);
  if (size == 0 || size > rfcwire::kMaxNameLength) {
    problem = "a list entry's name has " + std::to_string(size) + " characters (1.." +
              std::to_string(rfcwire::kMaxNameLength) + " allowed)";
    return false;
  }
  out.assign(text, ::strnlen(text, size));
  return true;
}

std::vector<std::uint8_t> IntegerBytes(std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  return {static_cast<std::uint8_t>(bits >> 24), static_cast<std::uint8_t>(bits >> 16),
          static_cast<std::uint8_t>(bits >> 8), static_cast<std::uint8_t>(bits)};
}

std::int32_t IntegerValue(const std::vector<std::uint8_t> &bytes) {
  const std::uint32_t bits = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
                             (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
  return static_cast<std::int32_t>(bits);
}

// A number sent as text into an integer field: blanks around digits, an optional sign.
std::int32_t ParseIntegerText(const std::vector<std::uint8_t> &bytes) {
  const std::string text(bytes.begin(), bytes.end());
  std::string_view digits = rfcwire::Trim(text);
  bool negative = false;
  if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  unsigned long value = 0;
  if (!rfcwire::ParseUnsigned(digits, 2147483647UL, value)) {
    return 0;
  }
  const auto magnitude = static_cast<std::int32_t>(value);
  return negative ? -magnitude : magnitude;
}

void StoreOne(const RFC_PARAMETER &entry, const rfcwire::Value &value,
              const StructureRegistry &structures) {
  std::span<std::uint8_t> target(static_cast<std::uint8_t *>(entry.addr), entry.leng);
  if (entry.type == TYPINT) {
    if (entry.leng < sizeof(std::int32_t)) {
      return; // no room for the number: left as it was rather than cut
    }
    const std::int32_t number = value.kind == rfcwire::ValueKind::Integer
                                    ? IntegerValue(value.bytes)
                                    : ParseIntegerText(value.bytes);
    std::fill(target.begin(), target.end(), std::uint8_t{0});
    std::memcpy(target.data(), &number, sizeof number);
    return;
  }
  const StructureLayout *layout = structures.Find(entry.type);
  FillInitial(layout, entry.type, target);
  if (value.kind == rfcwire::ValueKind::Integer) {
    const std::string text = std::to_string(IntegerValue(value.bytes));
    std::copy_n(text.begin(), std::min(text.size(), target.size()), target.begin());
    return;
  }
  const std::size_t size = std::min(value.bytes.size(), target.size());
  std::copy_n(value.bytes.begin(), size, target.begin());
  if (layout != nullptr) {
    SwapNumbers(*layout, target.first(size));
  }
}

} // namespace

bool CollectExporting(const RFC_PARAMETER *list, const StructureRegistry &structures,
                      std::vector<rfcwire::Value> &values, std::string &problem) {
  values.clear();
  for (unsigned i = 0; list != nullptr && list[i].name != nullptr; ++i) {
    if (i >= kMaxListLength) {
      problem = "exporting list has no end entry within " + std::to_string(kMaxListLength);
      return false;
    }
    const RFC_PARAMETER &entry = list[i];
    rfcwire::Value value;
    if (!EntryName(entry.name, entry.nlen, value.name, problem)) {
      return false;
    }
    if (entry.leng > rfcwire::kMaxValueLength || (entry.leng > 0 && entry.addr == nullptr)) {
      problem = "exporting parameter " + value.name + " has no usable value (length " +
                std::to_string(entry.leng) + ")";
      return false;
    }
    const auto *source = static_cast<const std::uint8_t *>(entry.addr);
    if (entry.type == TYPINT && entry.leng == sizeof(std::int32_t)) {
      std::int32_t number = 0;
      std::memcpy(&number, source, sizeof number);
      value.kind = rfcwire::ValueKind::Integer;
      value.bytes = IntegerBytes(number);
    } else {
      value.bytes.assign(source, source + entry.leng);
      if (const StructureLayout *layout = structures.Find(entry.type)) {
        SwapNumbers(*layout, value.bytes);
      }
    }
    values.push_back(std::move(value));
  }
  return true;
}

bool CollectTables(const RFC_TABLE *list, TableRegistry &tables,
                   const StructureRegistry &structures, std::vector<rfcwire::Table> &out,
                   std::string &problem) {
  out.clear();
  std::uint64_t total = 0;
  for (unsigned i = 0; list != nullptr && list[i].name != nullptr; ++i) {
    if (i >= kMaxListLength) {
      problem = "tables list has no end entry within " + std::to_string(kMaxListLength);
      return false;
    }
    rfcwire::Table wire;
    if (!EntryName(list[i].name, list[i].nlen, wire.name, problem)) {
      return false;
    }
    const InternalTable *table = tables.Find(list[i].ithandle);
    if (table == nullptr) {
      problem = "table " + wire.name + " has no valid table handle";
      return false;
    }
    const unsigned line_length = table->rows.LineLength();
    total += std::uint64_t{line_length} * table->rows.Count();
    if (total > rfcwire::kMaxPayload / 2) {
      problem =
          "the tables of the call exceed " + std::to_string(rfcwire::kMaxPayload / 2) + " bytes";
      return false;
    }
    wire.line_length = line_length;
    wire.rows = static_cast<std::uint32_t>(table->rows.Count());
    wire.data.reserve(std::size_t{line_length} * table->rows.Count());
    for (const std::span<const std::uint8_t> block : table->rows.Blocks()) {
      wire.data.insert(wire.data.end(), block.begin(), block.end());
    }
    if (const StructureLayout *layout = structures.Find(list[i].type)) {
      for (std::size_t start = 0; start < wire.data.size(); start += line_length) {
        SwapNumbers(*layout, std::span<std::uint8_t>(wire.data).subspan(start, line_length));
      }
    }
    out.push_back(std::move(wire));
  }
  return true;
}

bool CheckImporting(const RFC_PARAMETER *list, std::string &problem) {
  for (unsigned i = 0; list != nullptr && list[i].name != nullptr; ++i) {
    if (i >= kMaxListLength) {
      problem = "importing list has no end entry within " + std::to_string(kMaxListLength);
      return false;
    }
    std::string name;
    if (!EntryName(list[i].name, list[i].nlen, name, problem)) {
      return false;
    }
    if (list[i].leng > 0 && list[i].addr == nullptr) {
      problem = "importing parameter " + name + " has no address";
      return false;
    }
  }
  return true;
}

bool CheckTables(const RFC_TABLE *list, TableRegistry &tables, std::string &problem) {
  for (unsigned i = 0; list != nullptr && list[i].name != nullptr; ++i) {
    if (i >= kMaxListLength) {
      problem = "tables list has no end entry within " + std::to_string(kMaxListLength);
      return false;
    }
    std::string name;
    if (!EntryName(list[i].name, list[i].nlen, name, problem)) {
      return false;
    }
    if (tables.Find(list[i].ithandle) == nullptr) {
      problem = "table " + name + " has no valid table handle";
      return false;
    }
  }
  return true;
}

void StoreImporting(const RFC_PARAMETER *list, const std::vector<rfcwire::Value> &values,
                    const StructureRegistry &structures) {
  for (unsigned i = 0; list != nullptr && list[i].name != nullptr && i < kMaxListLength; ++i) {
    std::string name;
    std::string ignored;
    if (!EntryName(list[i].name, list[i].nlen, name, ignored) || list[i].leng == 0) {
      continue;
    }
    const auto found = std::find_if(values.begin(), values.end(),
                                    [&](const rfcwire::Value &v) { return v.name == name; });
    if (found != values.end()) {
      StoreOne(list[i], *found, structures);
    }
  }
}

bool StoreTables(const RFC_TABLE *list, std::vector<std::uint8_t> &payload,
                 const std::vector<rfcwire::TableView> &received, TableRegistry &tables,
                 const StructureRegistry &structures, std::string &problem) {
  struct Pending {
    InternalTable *table;
    const rfcwire::TableView *source;
    unsigned type;
    std::vector<std::uint8_t> block;
    std::size_t offset;
  };
  std::vector<Pending> pending;
  // The rows at the caller's line lengths are sized up before anything is allocated: a partner
  // may send many short rows, and the copy must not outgrow what one frame may hold.
  std::uint64_t total = 0;
  for (unsigned i = 0; list != nullptr && list[i].name != nullptr && i < kMaxListLength; ++i) {
    std::string name;
    std::string ignored;
    InternalTable *table = tables.Find(list[i].ithandle);
    if (!EntryName(list[i].name, list[i].nlen, name, ignored) || table == nullptr) {
      continue;
    }
    const auto found = std::find_if(received.begin(), received.end(),
                                    [&](const rfcwire::TableView &t) { return t.name == name; });
    if (found == received.end()) {
      continue;
    }
    total += std::uint64_t{found->rows} * table->rows.LineLength();
    if (found->rows > kMaxRows || total > rfcwire::kMaxPayload) {
      problem = "table " + name + ": " + std::to_string(found->rows) + " rows of " +
                std::to_string(table->rows.LineLength()) +
                " bytes would take the reply's tables beyond " +
                std::to_string(rfcwire::kMaxPayload) + " bytes";
      return false;
    }
    pending.push_back(Pending{table, &*found, list[i].type, {}, 0});
  }
  // The largest table whose rows arrived at the table's own line length keeps them where they
  // are, inside the frame; only the others are copied, so a big answer is held in memory once.
  Pending *adopting = nullptr;
  for (Pending &update : pending) {
    const rfcwire::TableView &source = *update.source;
    if (source.rows != 0 && source.line_length == update.table->rows.LineLength() &&
        (adopting == nullptr || source.data.size() > adopting->source->data.size())) {
      adopting = &update;
    }
  }
  for (Pending &update : pending) {
    if (&update == adopting) {
      continue;
    }
    const rfcwire::TableView &source = *update.source;
    const std::size_t line_length = update.table->rows.LineLength();
    const std::size_t copied = std::min<std::size_t>(source.line_length, line_length);
    const StructureLayout *layout = structures.Find(update.type);
    update.block.resize(std::size_t{source.rows} * line_length);
    for (std::size_t row = 0; row < source.rows; ++row) {
      const std::span<std::uint8_t> line =
          std::span<std::uint8_t>(update.block).subspan(row * line_length, line_length);
      FillInitial(layout, update.type, line);
      std::copy_n(source.data.begin() + static_cast<std::ptrdiff_t>(row * source.line_length),
                  copied, line.begin());
      if (layout != nullptr) {
        SwapNumbers(*layout, line.first(copied));
      }
    }
  }
  if (adopting != nullptr) {
    const rfcwire::TableView &source = *adopting->source;
    adopting->offset = static_cast<std::size_t>(source.data.data() - payload.data());
    const std::span<std::uint8_t> rows =
        std::span<std::uint8_t>(payload).subspan(adopting->offset, source.data.size());
    if (const StructureLayout *layout = structures.Find(adopting->type)) {
      for (std::size_t start = 0; start < rows.size(); start += source.line_length) {
        SwapNumbers(*layout, rows.subspan(start, source.line_length));
      }
    }
    adopting->block = std::move(payload);
  }
  for (Pending &update : pending) {
    update.table->rows.Replace(std::move(update.block), update.offset, update.source->rows);
  }
  return true;
}

} // namespace rfclib
