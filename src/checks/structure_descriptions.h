// The dictionary structures the two checks install with the library, and the list entries their
// calls pass: what the library is handed, byte for byte, also where the stand-in is tested alone.
#pragma once

#include "rfcapi/rfc_api.h"

namespace kestrovan {

/// A dictionary structure as the library installs it: its elements, for the process's life.
struct StructureDescription {
  RFC_TYPE_ELEMENT *elements;
  unsigned element_count;
};
StructureDescription RfcsiDescription();
StructureDescription DateTimeDescription();
StructureDescription OraMissDescription();

/// A parameter-list entry; the name's length is taken from the name.
RFC_PARAMETER Parameter(const char *name, unsigned type, unsigned length, void *address);
/// A table-list entry for a table created with ItCreate.
RFC_TABLE Table(const char *name, unsigned line_length, ITAB_H table);

} // namespace kestrovan
