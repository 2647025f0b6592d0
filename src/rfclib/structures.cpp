// Per-element byte handling of records.
#include "rfclib/structures.h"

#include <algorithm>
#include <bit>

namespace rfclib {

void FillInitial(const StructureLayout *layout, unsigned type, std::span<std::uint8_t> record) {
  if (layout == nullptr) {
    std::fill(record.begin(), record.end(), IsCharacterLike(type) ? ' ' : 0);
    return;
  }
  std::fill(record.begin(), record.end(), std::uint8_t{0});
  for (const StructureElement &element : layout->elements) {
    if (!IsCharacterLike(element.type) || element.offset >= record.size()) {
      continue;
    }
    const std::size_t end = std::min<std::size_t>(record.size(), element.offset + element.length);
    std::fill(record.begin() + element.offset, record.begin() + static_cast<std::ptrdiff_t>(end),
              std::uint8_t{' '});
  }
}

void SwapNumbers(const StructureLayout &layout, std::span<std::uint8_t> record) {
  if constexpr (std::endian::native == std::endian::big) {
    return;
  }
  for (const StructureElement &element : layout.elements) {
    const bool binary = element.type == rfcfiles::kTypeFloat || element.type == TYPINT ||
                        element.type == rfcfiles::kTypeInt2;
    if (binary && std::size_t{element.offset} + element.length <= record.size()) {
      std::reverse(record.begin() + element.offset,
                   record.begin() + element.offset + element.length);
    }
  }
}

} // namespace rfclib
