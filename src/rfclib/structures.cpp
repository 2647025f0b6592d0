// Validation of structure descriptions and per-element byte handling.
#include "rfclib/structures.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "wire/wire_frame.h"

namespace rfclib {
namespace {

// Fixed lengths of the types that have one; 0 for types whose length the description sets.
unsigned FixedLength(unsigned type) {
  switch (type) {
  case TYPDATE:
    return 8;
  case TYPTIME:
    return 6;
  case 7: // float
    return 8;
  case TYPINT:
    return 4;
  case 9: // 2-byte integer
    return 2;
  case 10: // 1-byte integer
    return 1;
  default:
    return 0;
  }
}

bool KnownType(unsigned type) {
  return type == TYPC || type == TYPDATE || type == 2 || type == TYPTIME || type == 4 ||
         type == 6 || type == 7 || type == TYPINT || type == 9 || type == 10;
}

bool SameLayout(const StructureLayout &a, const StructureLayout &b) {
  if (a.length != b.length || a.elements.size() != b.elements.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.elements.size(); ++i) {
    const StructureElement &x = a.elements[i];
    const StructureElement &y = b.elements[i];
    if (x.name != y.name || x.type != y.type || x.length != y.length || x.offset != y.offset) {
      return false;
    }
  }
  return true;
}

} // namespace

bool IsCharacterLike(unsigned type) {
  return type == TYPC || type == TYPDATE || type == TYPTIME || type == 6;
}

bool StructureRegistry::Install(const char *name, const RFC_TYPE_ELEMENT *elements, unsigned count,
                                RFC_TYPEHANDLE &handle, std::string &problem) {
  if (name == nullptr || name[0] == '\0') {
    problem = "structure without a name";
    return false;
  }
  const std::size_t name_length = ::strnlen(name, rfcwire::kMaxNameLength + 1);
  if (name_length > rfcwire::kMaxNameLength) {
    problem = "structure name longer than " + std::to_string(rfcwire::kMaxNameLength);
    return false;
  }
  StructureLayout layout;
  layout.name.assign(name, name_length);
  if (elements == nullptr || count == 0 || count > kMaxStructureElements) {
    problem = "structure " + layout.name + ": " + std::to_string(count) + " elements (1.." +
              std::to_string(kMaxStructureElements) + " needed)";
    return false;
  }
  const bool offsets_given = std::any_of(elements, elements + count,
                                         [](const RFC_TYPE_ELEMENT &e) { return e.offset != 0; });
  unsigned next_offset = 0;
  for (unsigned i = 0; i < count; ++i) {
    const RFC_TYPE_ELEMENT &source = elements[i];
    const std::string where = "structure " + layout.name + " element " + std::to_string(i + 1);
    if (source.name == nullptr || source.name[0] == '\0') {
      problem = where + " has no name";
      return false;
    }
    if (!KnownType(source.type)) {
      problem = where + " has unknown type " + std::to_string(source.type);
      return false;
    }
    const unsigned fixed = FixedLength(source.type);
    if (source.length == 0 || (fixed != 0 && source.length != fixed)) {
      problem = where + " has length " + std::to_string(source.length) + " for type " +
                std::to_string(source.type);
      return false;
    }
    StructureElement element;
    element.name.assign(source.name, ::strnlen(source.name, rfcwire::kMaxNameLength));
    element.type = source.type;
    element.length = source.length;
    // Descriptions with all offsets 0 mean fields one after another without gaps.
    element.offset = offsets_given ? source.offset : next_offset;
    const unsigned long end = static_cast<unsigned long>(element.offset) + element.length;
    if (end > rfcwire::kMaxLineLength) {
      problem = where + " ends at byte " + std::to_string(end) + ", beyond the limit of " +
                std::to_string(rfcwire::kMaxLineLength);
      return false;
    }
    next_offset = static_cast<unsigned>(end);
    layout.length = std::max(layout.length, next_offset);
    layout.elements.push_back(std::move(element));
  }
  for (std::size_t i = 0; i < layouts_.size(); ++i) {
    if (layouts_[i].name == layout.name && SameLayout(layouts_[i], layout)) {
      handle = kFirstTypeHandle + static_cast<RFC_TYPEHANDLE>(i);
      return true;
    }
  }
  if (layouts_.size() >= kMaxStructures) {
    problem = "more than " + std::to_string(kMaxStructures) + " structures installed";
    return false;
  }
  layouts_.push_back(std::move(layout));
  handle = kFirstTypeHandle + static_cast<RFC_TYPEHANDLE>(layouts_.size() - 1);
  return true;
}

const StructureLayout *StructureRegistry::Find(unsigned type) const {
  if (type < kFirstTypeHandle || type - kFirstTypeHandle >= layouts_.size()) {
    return nullptr;
  }
  return &layouts_[type - kFirstTypeHandle];
}

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
    const bool binary = element.type == 7 || element.type == TYPINT || element.type == 9;
    if (binary && std::size_t{element.offset} + element.length <= record.size()) {
      std::reverse(record.begin() + element.offset,
                   record.begin() + element.offset + element.length);
    }
  }
}

} // namespace rfclib
