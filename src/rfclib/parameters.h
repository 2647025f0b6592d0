// Moving values between the caller's parameter and table lists and wire messages.
#pragma once

#include <string>
#include <vector>

#include "rfcapi/rfc_api.h"
#include "rfclib/internal_tables.h"
#include "rfclib/structures.h"
#include "wire/wire_messages.h"

namespace rfclib {

/// Lists end with a null name; one longer than this is taken as missing its end entry.
inline constexpr unsigned kMaxListLength = 1024;

/// The exporting list as wire values (numbers in wire order).
bool CollectExporting(const RFC_PARAMETER *list, const StructureRegistry &structures,
                      std::vector<rfcwire::Value> &values, std::string &problem);

/// The current rows of every table of the list; tables are passed in both directions.
bool CollectTables(const RFC_TABLE *list, TableRegistry &tables,
                   const StructureRegistry &structures, std::vector<rfcwire::Table> &out,
                   std::string &problem);

/// Checks an importing list before a reply is awaited, so storing it later cannot fail halfway.
bool CheckImporting(const RFC_PARAMETER *list, std::string &problem);

/// Checks that every table of the list still exists.
bool CheckTables(const RFC_TABLE *list, TableRegistry &tables, std::string &problem);

/// Copies received values by name into the caller's addresses, never more than the declared
/// length; shorter values are padded (blanks for character fields). Values not received stay.
void StoreImporting(const RFC_PARAMETER *list, const std::vector<rfcwire::Value> &values,
                    const StructureRegistry &structures);

/// Replaces the rows of each listed table by the received rows of the same name, which point into
/// `payload`; one table may take the payload over as its storage (it is then moved from).
/// Builds every table's new rows before swapping any in, so a failure leaves all tables as they
/// were. Fails, allocating nothing, when the rows at the tables' own line lengths would exceed
/// one frame payload.
bool StoreTables(const RFC_TABLE *list, std::vector<std::uint8_t> &payload,
                 const std::vector<rfcwire::TableView> &received, TableRegistry &tables,
                 const StructureRegistry &structures, std::string &problem);

} // namespace rfclib
