// Validation of structure descriptions: names, types, the lengths types fix, and offsets.
#include "rfcfiles/structure_registry.h"

#include <algorithm>
#include <cstring>

namespace rfcfiles {

namespace {

bool KnownType(unsigned type) {
  return type == TYPC || type == TYPDATE || type == 2 || type == TYPTIME || type == 4 ||
         type == kTypeNum || type == kTypeFloat || type == TYPINT || type == kTypeInt2 ||
         type == kTypeInt1;
}

bool SameLayout(const StructureLayout &a, const StructureLayout &b) {
  if (a.name != b.name || a.length != b.length || a.elements.size() != b.elements.size()) {
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

std::size_t BoundedLength(const char *text, std::size_t most) {
  std::size_t length = 0;
  while (length < most && text[length] != '\0') {
    ++length;
  }
  return length;
}

} // namespace

unsigned FixedLength(unsigned type) {
  switch (type) {
  case TYPDATE:
    return 8;
  case TYPTIME:
    return 6;
  case kTypeFloat:
    return 8;
  case TYPINT:
    return 4;
  case kTypeInt2:
    return 2;
  case kTypeInt1:
    return 1;
  default:
    return 0;
  }
}

bool IsCharacterLike(unsigned type) {
  return type == TYPC || type == TYPDATE || type == TYPTIME || type == kTypeNum;
}

bool StructureRegistry::Install(const char *name, const RFC_TYPE_ELEMENT *elements, unsigned count,
                                RFC_TYPEHANDLE &handle, std::string &problem,
                                bool (*supported)(unsigned), std::string_view who) {
  if (name == nullptr || name[0] == '\0') {
    problem = "structure without a name";
    return false;
  }
  const std::size_t name_length = BoundedLength(name, kMaxStructureNameLength + 1);
  if (name_length > kMaxStructureNameLength) {
    problem = "structure name longer than " + std::to_string(kMaxStructureNameLength);
    return false;
  }
  StructureLayout layout;
  layout.name.assign(name, name_length);
  if (elements == nullptr || count == 0 || count > kMaxStructureElements) {
    problem = "structure " + layout.name + ": " + std::to_string(count) + " elements (1.." +
              std::to_string(kMaxStructureElements) + " needed)";
    return false;
  }
  // Descriptions with all offsets 0 mean fields one after another without gaps.
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
    if (supported != nullptr && !supported(source.type)) {
      problem = where + " has type " + std::to_string(source.type) + ", not supported by " +
                std::string(who);
      return false;
    }
    const unsigned fixed = FixedLength(source.type);
    if (source.length == 0 || (fixed != 0 && source.length != fixed)) {
      problem = where + " has length " + std::to_string(source.length) + " for type " +
                std::to_string(source.type);
      return false;
    }
    StructureElement element;
    element.name.assign(source.name, BoundedLength(source.name, kMaxStructureNameLength));
    element.type = source.type;
    element.length = source.length;
    element.offset = offsets_given ? source.offset : next_offset;
    const unsigned long end = static_cast<unsigned long>(element.offset) + element.length;
    if (end > kMaxRecordLength) {
      problem = where + " ends at byte " + std::to_string(end) + ", beyond the limit of " +
                std::to_string(kMaxRecordLength);
      return false;
    }
    next_offset = static_cast<unsigned>(end);
    layout.length = std::max(layout.length, next_offset);
    layout.elements.push_back(std::move(element));
  }
  for (std::size_t i = 0; i < layouts_.size(); ++i) {
    if (SameLayout(layouts_[i], layout)) {
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

} // namespace rfcfiles
