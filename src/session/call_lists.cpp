// Copies of a call's parameter and table lists, and the way the values go back to the caller.
#include "session/call_lists.h"

#include <algorithm>

namespace kestrovan {

namespace {

std::string NameOf(const void *name, unsigned length) {
  return std::string(static_cast<const char *>(name), length);
}

} // namespace

ParameterCopy::ParameterCopy(const RFC_PARAMETER *list) : given_(list != nullptr) {
  for (const RFC_PARAMETER *entry = list; entry && entry->name; ++entry) {
    entries_.push_back(*entry);
    names_.push_back(NameOf(entry->name, entry->nlen));
    values_.push_back(entry->addr ? std::string(static_cast<const char *>(entry->addr), entry->leng)
                                  : std::string());
  }
  // The pointers are taken once every string has its place for good.
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    entries_[i].name = names_[i].data();
    entries_[i].addr = entries_[i].addr ? values_[i].data() : nullptr;
  }
  entries_.push_back(RFC_PARAMETER{});
}

void ParameterCopy::CopyValuesTo(const RFC_PARAMETER *list) const {
  std::size_t i = 0;
  for (const RFC_PARAMETER *entry = list; entry && entry->name && i < values_.size();
       ++entry, ++i) {
    if (entry->addr) {
      std::copy(values_[i].begin(), values_[i].end(), static_cast<char *>(entry->addr));
    }
  }
}

TableCopy::TableCopy(const RFC_TABLE *list) : given_(list != nullptr) {
  for (const RFC_TABLE *entry = list; entry && entry->name; ++entry) {
    entries_.push_back(*entry);
    names_.push_back(NameOf(entry->name, entry->nlen));
  }
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    entries_[i].name = names_[i].data();
  }
  entries_.push_back(RFC_TABLE{});
}

void TableCopy::CopyEntriesTo(RFC_TABLE *list) const {
  std::size_t i = 0;
  for (RFC_TABLE *entry = list; entry && entry->name && i + 1 < entries_.size(); ++entry, ++i) {
    void *name = entry->name;
    *entry = entries_[i];
    entry->name = name;
  }
}

} // namespace kestrovan
