// The parameter and table lists of one remote call, copied into storage the call itself owns.
#pragma once

#include <string>
#include <vector>

#include "rfcapi/rfc_api.h"

namespace kestrovan {

/// A parameter list as the library gets it: every entry, name and value buffer a copy of the
/// caller's. A call left running at the deadline writes only here; the caller's buffers get the
/// values back only from a call that came back in time.
class ParameterCopy {
public:
  /// Copies the list up to its closing entry (a null name), the values `leng` bytes each; a null
  /// list stays null.
  explicit ParameterCopy(const RFC_PARAMETER *list);
  ParameterCopy(const ParameterCopy &) = delete;
  ParameterCopy &operator=(const ParameterCopy &) = delete;

  /// The list the library writes into; null when the caller's was null.
  RFC_PARAMETER *list() { return given_ ? entries_.data() : nullptr; }
  /// Writes every value into the caller's buffers, the list the copy was made from.
  void CopyValuesTo(const RFC_PARAMETER *list) const;

private:
  bool given_ = false;
  std::vector<RFC_PARAMETER> entries_;
  std::vector<std::string> names_;
  std::vector<std::string> values_;
};

/// A table list as the library gets it: the entries and their names copied; the tables
/// themselves are the library's, reached through their handles.
class TableCopy {
public:
  explicit TableCopy(const RFC_TABLE *list);
  TableCopy(const TableCopy &) = delete;
  TableCopy &operator=(const TableCopy &) = delete;

  RFC_TABLE *list() { return given_ ? entries_.data() : nullptr; }
  /// Writes what the library may have changed in the entries (all but the name) back.
  void CopyEntriesTo(RFC_TABLE *list) const;

private:
  bool given_ = false;
  std::vector<RFC_TABLE> entries_;
  std::vector<std::string> names_;
};

} // namespace kestrovan
