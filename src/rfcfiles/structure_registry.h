// Structure layouts a program installs with RfcInstallStructure, known by the handles handed out.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "rfcapi/rfc_api.h"

namespace rfcfiles {

/// Type handles start above every basic type code, so a list entry's type tells which it is.
inline constexpr RFC_TYPEHANDLE kFirstTypeHandle = 256;
inline constexpr unsigned kMaxStructureElements = 4096;
inline constexpr unsigned kMaxStructures = 4096;
inline constexpr std::size_t kMaxStructureNameLength = 64;
/// No record may end beyond this byte.
inline constexpr unsigned kMaxRecordLength = 65535;

// Classic type codes the program's header does not name.
inline constexpr unsigned kTypeNum = 6;
inline constexpr unsigned kTypeFloat = 7;
inline constexpr unsigned kTypeInt2 = 9;
inline constexpr unsigned kTypeInt1 = 10;

struct StructureElement {
  std::string name;
  unsigned type = TYPC;
  unsigned length = 0;
  unsigned offset = 0;
};

struct StructureLayout {
  std::string name;
  std::vector<StructureElement> elements;
  unsigned length = 0; // where the last byte of any element ends
};

/// The length a type code fixes, or 0 when the description sets it.
unsigned FixedLength(unsigned type);
/// Characters, dates, times and numeric texts: padded with blanks, not zeros.
bool IsCharacterLike(unsigned type);

class StructureRegistry {
public:
  /// Checks the description and hands out its handle (the same one when an identical description
  /// of that name is installed again); false with the reason otherwise. A library that moves
  /// only some types names them by `supported`; `who` then says who refuses the others.
  bool Install(const char *name, const RFC_TYPE_ELEMENT *elements, unsigned count,
               RFC_TYPEHANDLE &handle, std::string &problem, bool (*supported)(unsigned) = nullptr,
               std::string_view who = {});
  /// Null for a basic type code or an unknown handle.
  const StructureLayout *Find(unsigned type) const;
  void Clear() { layouts_.clear(); }

private:
  std::vector<StructureLayout> layouts_; // handle = kFirstTypeHandle + index
};

} // namespace rfcfiles
