// The byte-level rules that follow from installed structure layouts.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "rfcapi/rfc_api.h"
#include "rfcfiles/structure_registry.h"

namespace rfclib {

using rfcfiles::IsCharacterLike;
using rfcfiles::kFirstTypeHandle;
using rfcfiles::StructureElement;
using rfcfiles::StructureLayout;
using rfcfiles::StructureRegistry;

/// Gives a record (or a field of a basic type) its initial value.
void FillInitial(const StructureLayout *layout, unsigned type, std::span<std::uint8_t> record);

/// Binary numbers travel big-endian; this swaps them between wire and host order in place.
/// Only elements lying wholly inside the record are touched.
void SwapNumbers(const StructureLayout &layout, std::span<std::uint8_t> record);

} // namespace rfclib
