// The classic bookkeeping the NetWeaver library has no equivalent of: installed structure
// layouts, and internal tables with their rows, each known by a classic handle.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "rfcapi/rfc_api.h"

namespace kestrovan {

// Classic type codes the binding moves besides those the program's header names.
inline constexpr unsigned kTypeNum = 6;
inline constexpr unsigned kTypeInt2 = 9;
inline constexpr unsigned kTypeInt1 = 10;

/// Type codes are small; installed structures get handles from here on, so a parameter's type
/// field tells one from the other.
inline constexpr RFC_TYPEHANDLE kFirstStructureHandle = 256;
inline constexpr unsigned kMaxLineLength = 65535;

bool IsCharacterType(unsigned type);
bool IsIntegerType(unsigned type);
/// The length a type code fixes, or 0 when any length will do.
unsigned FixedLength(unsigned type);

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

class NwStructures {
public:
  /// Checks the description and hands out its handle (the same one for an identical description
  /// installed again); false with the reason otherwise.
  bool Install(const char *name, const RFC_TYPE_ELEMENT *elements, unsigned entries,
               RFC_TYPEHANDLE &handle, std::string &problem);
  /// Null for a basic type code or an unknown handle.
  const NwStructure *Find(unsigned type) const;
  void Clear() { structures_.clear(); }

private:
  std::vector<NwStructure> structures_;
};

struct NwTable {
  std::string name;
  unsigned line_length = 0;
  /// A deque keeps every row where it is while rows are added, as ItGetLine's addresses must.
  std::deque<std::vector<std::uint8_t>> rows;
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

} // namespace kestrovan
