// Handle bookkeeping of internal tables.
#include "rfclib/internal_tables.h"

namespace rfclib {

ITAB_H TableRegistry::Create(std::string name, unsigned line_length) {
  auto table = std::make_unique<InternalTable>();
  table->name = std::move(name);
  table->line_length = line_length;
  const ITAB_H handle = reinterpret_cast<ITAB_H>(table.get());
  tables_.emplace(handle, std::move(table));
  return handle;
}

InternalTable *TableRegistry::Find(ITAB_H handle) {
  const auto found = tables_.find(handle);
  return found == tables_.end() ? nullptr : found->second.get();
}

bool TableRegistry::Delete(ITAB_H handle) { return tables_.erase(handle) == 1; }

} // namespace rfclib
