// Structure descriptions checked against what the binding can move, and the table registry.
#include "rfc/nwrfc_handles.h"

#include <algorithm>

#include "rfc/nwrfc_text.h"

namespace kestrovan {

namespace {

constexpr std::size_t kMaxElements = 4096;

bool SameElements(const NwStructure &known, const NwStructure &structure) {
  return known.name == structure.name && known.elements.size() == structure.elements.size() &&
         std::equal(known.elements.begin(), known.elements.end(), structure.elements.begin(),
                    [](const NwElement &a, const NwElement &b) {
                      return a.name == b.name && a.type == b.type && a.length == b.length &&
                             a.offset == b.offset;
                    });
}

} // namespace

bool IsCharacterType(unsigned type) {
  return type == TYPC || type == TYPDATE || type == TYPTIME || type == kTypeNum;
}

bool IsIntegerType(unsigned type) {
  return type == TYPINT || type == kTypeInt2 || type == kTypeInt1;
}

unsigned FixedLength(unsigned type) {
  switch (type) {
  case TYPDATE:
    return 8;
  case TYPTIME:
    return 6;
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

bool NwStructures::Install(const char *name, const RFC_TYPE_ELEMENT *elements, unsigned entries,
                           RFC_TYPEHANDLE &handle, std::string &problem) {
  NwStructure structure;
  structure.name = name ? name : "";
  if (structure.name.empty()) {
    problem = "no structure name";
  } else if (elements == nullptr || entries == 0 || entries > kMaxElements) {
    problem = structure.name + ": " + std::to_string(entries) + " elements, 1.." +
              std::to_string(kMaxElements) + " allowed";
  }
  bool all_offsets_zero = true;
  for (unsigned i = 0; problem.empty() && i < entries; ++i) {
    const RFC_TYPE_ELEMENT &given = elements[i];
    NwElement element;
    element.name = given.name ? given.name : "";
    element.wide_name = WidenAnsi(element.name);
    element.type = given.type;
    element.length = given.length;
    element.offset = given.offset;
    all_offsets_zero = all_offsets_zero && given.offset == 0;
    if (element.name.empty()) {
      problem = structure.name + ": an element without a name";
    } else if (!IsCharacterType(given.type) && !IsIntegerType(given.type)) {
      problem = structure.name + "-" + element.name + ": type " + std::to_string(given.type) +
                " is not supported by the NetWeaver binding";
    } else if (given.length == 0 || given.length > kMaxLineLength ||
               (FixedLength(given.type) != 0 && given.length != FixedLength(given.type))) {
      problem = structure.name + "-" + element.name + ": length " + std::to_string(given.length) +
                " does not fit type " + std::to_string(given.type);
    }
    structure.elements.push_back(std::move(element));
  }
  if (problem.empty()) {
    // Elements whose offsets are all 0 lie one after another without gaps.
    unsigned offset = 0;
    for (NwElement &element : structure.elements) {
      if (all_offsets_zero) {
        element.offset = offset;
      }
      offset = std::max(offset, element.offset + element.length);
    }
    structure.record_length = offset;
    if (structure.record_length > kMaxLineLength) {
      problem = structure.name + ": a record of " + std::to_string(offset) + " bytes";
    }
  }
  if (!problem.empty()) {
    return false;
  }
  for (std::size_t i = 0; i < structures_.size(); ++i) {
    if (SameElements(structures_[i], structure)) {
      handle = kFirstStructureHandle + static_cast<RFC_TYPEHANDLE>(i);
      return true;
    }
  }
  structures_.push_back(std::move(structure));
  handle = kFirstStructureHandle + static_cast<RFC_TYPEHANDLE>(structures_.size() - 1);
  return true;
}

const NwStructure *NwStructures::Find(unsigned type) const {
  if (type < kFirstStructureHandle || type - kFirstStructureHandle >= structures_.size()) {
    return nullptr;
  }
  return &structures_[type - kFirstStructureHandle];
}

ITAB_H NwTables::Create(std::string name, unsigned line_length) {
  while (next_ == 0 || tables_.count(next_) != 0) {
    ++next_;
  }
  const ITAB_H handle = next_++;
  NwTable &table = tables_[handle];
  table.name = std::move(name);
  table.line_length = line_length;
  return handle;
}

NwTable *NwTables::Find(ITAB_H handle) {
  const auto found = tables_.find(handle);
  return found == tables_.end() ? nullptr : &found->second;
}

std::string ParameterName(const void *name, unsigned length) {
  if (name == nullptr) {
    return {};
  }
  const char *text = static_cast<const char *>(name);
  return length > 0 ? std::string(text, length) : std::string(text);
}

bool CheckParameterList(const RFC_PARAMETER *list, const NwStructures &structures,
                        std::string &problem) {
  for (const RFC_PARAMETER *entry = list; entry && entry->name; ++entry) {
    const std::string name = ParameterName(entry->name, entry->nlen);
    if (entry->addr == nullptr || entry->leng == 0) {
      problem = "parameter " + name + " has no buffer";
      return false;
    }
    if (entry->type >= kFirstStructureHandle) {
      const NwStructure *structure = structures.Find(entry->type);
      if (structure == nullptr) {
        problem = "parameter " + name + " has an unknown structure handle";
        return false;
      }
      if (structure->record_length > entry->leng) {
        problem = "parameter " + name + ": " + std::to_string(entry->leng) + " bytes for a " +
                  structure->name + " record of " + std::to_string(structure->record_length);
        return false;
      }
    } else if (!IsCharacterType(entry->type) && !IsIntegerType(entry->type)) {
      problem = "parameter " + name + ": type " + std::to_string(entry->type) +
                " is not supported by the NetWeaver binding";
      return false;
    } else if (FixedLength(entry->type) != 0 && entry->leng != FixedLength(entry->type)) {
      problem = "parameter " + name + ": length " + std::to_string(entry->leng) +
                " does not fit type " + std::to_string(entry->type);
      return false;
    }
  }
  return true;
}

bool CheckTableList(const RFC_TABLE *list, NwTables &tables, const NwStructures &structures,
                    std::string &problem) {
  for (const RFC_TABLE *entry = list; entry && entry->name; ++entry) {
    const std::string name = ParameterName(entry->name, entry->nlen);
    const NwTable *table = tables.Find(entry->ithandle);
    const NwStructure *structure = structures.Find(entry->type);
    if (table == nullptr) {
      problem = "table " + name + " has an unknown table handle";
      return false;
    }
    if (structure == nullptr) {
      problem = "table " + name + " has no installed line structure";
      return false;
    }
    if (structure->record_length > table->line_length) {
      problem = "table " + name + ": lines of " + std::to_string(table->line_length) +
                " bytes for " + structure->name + " records of " +
                std::to_string(structure->record_length);
      return false;
    }
  }
  return true;
}

} // namespace kestrovan
