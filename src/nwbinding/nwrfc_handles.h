// The classic bookkeeping the NetWeaver library has no equivalent of: installed structure
// layouts, and internal tables with their rows, each known by a classic handle.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "rfcapi/rfc_api.h"
#include "rfcfiles/structure_registry.h"

namespace kestrovan::nwbinding {

using rfcfiles::kTypeInt1;
using rfcfiles::kTypeInt2;
using rfcfiles::kTypeNum;
inline constexpr unsigned kMaxLineLength = 65535;

bool IsCharacterType(unsigned type);
bool IsIntegerType(unsigned type);

struct NwElement {
  std::string name;
  std::u16string wide_name;
  unsigned type = 0;
  unsigned length = 0;
  unsigned offset = 0;
};

struct NwStructure {
  std::string name;
  std::vector<NwElement> elements;
  unsigned record_length = 0;
};

/// The installed layouts, each with its element names in the library's UTF-16 at hand.
class NwStructures {
public:
  /// Checks the description (the binding moves text and integers only) and hands out its handle
  /// (the same one for an identical description installed again); false with the reason
  /// otherwise.
  bool Install(const char *name, const RFC_TYPE_ELEMENT *elements, unsigned entries,
               RFC_TYPEHANDLE &handle, std::string &problem);
  /// Null for a basic type code or an unknown handle.
  const NwStructure *Find(unsigned type) const;
  void Clear() {
    registry_.Clear();
    structures_.clear();
  }

private:
  rfcfiles::StructureRegistry registry_;
  std::vector<NwStructure> structures_; // in the registry's order
};

/// Rows of one line length, one after another in one block; the binding only ever replaces
/// them all, so a row's address stays valid until the next receive into the table.
struct NwRows {
  std::vector<std::uint8_t> bytes;
  std::size_t count = 0;
};

struct NwTable {
  std::string name;
  unsigned line_length = 0;
  NwRows rows;
};

class NwTables {
public:
  /// A new empty table; its line length was checked by the caller.
  ITAB_H Create(std::string name, unsigned line_length);
  /// Null for a handle not handed out or deleted.
  NwTable *Find(ITAB_H handle);
  bool Delete(ITAB_H handle) { return tables_.erase(handle) != 0; }
  void Clear() {
    tables_.clear();
    next_ = 1;
  }

private:
  std::map<ITAB_H, NwTable> tables_;
  ITAB_H next_ = 1;
};

/// A parameter's or table's name as the classic lists give it: `length` characters, or up to
/// its terminator when the length is 0.
std::string ParameterName(const void *name, unsigned length);

/// Every entry of a classic parameter list has a buffer that fits its type or structure; false
/// with the problem otherwise.
bool CheckParameterList(const RFC_PARAMETER *list, const NwStructures &structures,
                        std::string &problem);

/// Every entry of a classic table list names a live table whose lines hold its installed
/// structure; false with the problem otherwise.
bool CheckTableList(const RFC_TABLE *list, NwTables &tables, const NwStructures &structures,
                    std::string &problem);

} // namespace kestrovan::nwbinding
