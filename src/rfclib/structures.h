// Installed structure descriptions and the byte-level rules that follow from them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "rfcapi/rfc_api.h"

namespace rfclib {

/// Type handles start above every basic type code, so a list entry's type tells which it is.
inline constexpr RFC_TYPEHANDLE kFirstTypeHandle = 256;
inline constexpr unsigned kMaxStructureElements = 4096;
inline constexpr unsigned kMaxStructures = 4096;

struct StructureElement {
  std::string name;
  unsigned type = TYPC;
  unsigned length = 0;
  unsigned offset = 0;
};

struct StructureLayout {
  std::string name;
  std::vector<StructureElement> elements;
  unsigned length = 0;
};

class StructureRegistry {
public:
  /// Checks the description and returns its handle (the same one when an identical description
  /// of that name is installed again); false with the reason otherwise.
  bool Install(const char *name, const RFC_TYPE_ELEMENT *elements, unsigned count,
               RFC_TYPEHANDLE &handle, std::string &problem);
  /// Null for a basic type code or an unknown handle.
  const StructureLayout *Find(unsigned type) const;

private:
  std::vector<StructureLayout> layouts_; // handle = kFirstTypeHandle + index
};

/// Characters, dates, times and numeric texts are padded with blanks; the rest with zeros.
bool IsCharacterLike(unsigned type);

/// Gives a record (or a field of a basic type) its initial value.
void FillInitial(const StructureLayout *layout, unsigned type, std::span<std::uint8_t> record);

/// Binary numbers travel big-endian; this swaps them between wire and host order in place.
/// Only elements lying wholly inside the record are touched.
void SwapNumbers(const StructureLayout &layout, std::span<std::uint8_t> record);

} // namespace rfclib
