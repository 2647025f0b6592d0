// Structure descriptions checked against what the binding can move, and the table registry.
#include "nwbinding/nwrfc_handles.h"

#include "nwbinding/nwrfc_text.h"

namespace kestrovan::nwbinding {

bool IsCharacterType(unsigned type) { return rfcfiles::IsCharacterLike(type); }

bool IsIntegerType(unsigned type) {
  return type == TYPINT || type == kTypeInt2 || type == kTypeInt1;
}

namespace {

bool Movable(unsigned type) { return IsCharacterType(type) || IsIntegerType(type); }

} // namespace

bool NwStructures::Install(const char *name, const RFC_TYPE_ELEMENT *elements, unsigned entries,
                           RFC_TYPEHANDLE &handle, std::string &problem) {
  if (!registry_.Install(name, elements, entries, handle, problem, Movable,
                         "the NetWeaver binding")) {
    return false;
  }
  if (handle - rfcfiles::kFirstTypeHandle < structures_.size()) {
    return true; // installed before
  }
  const rfcfiles::StructureLayout &layout = *registry_.Find(handle);
  NwStructure structure;
  structure.name = layout.name;
  structure.record_length = layout.length;
  for (const rfcfiles::StructureElement &given : layout.elements) {
    structure.elements.push_back(
        NwElement{given.name, WidenAnsi(given.name), given.type, given.length, given.offset});
  }
  structures_.push_back(std::move(structure));
  return true;
}

const NwStructure *NwStructures::Find(unsigned type) const {
  if (type < rfcfiles::kFirstTypeHandle ||
      type - rfcfiles::kFirstTypeHandle >= structures_.size()) {
    return nullptr;
  }
  return &structures_[type - rfcfiles::kFirstTypeHandle];
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
    if (entry->type >= rfcfiles::kFirstTypeHandle) {
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
    } else if (rfcfiles::FixedLength(entry->type) != 0 &&
               entry->leng != rfcfiles::FixedLength(entry->type)) {
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

} // namespace kestrovan::nwbinding
