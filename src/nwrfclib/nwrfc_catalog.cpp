// RFCSI, DATE_TIME and ORA_MISS with the parameters of the three modules.
#include "nwrfclib/nwrfc_catalog.h"

namespace nwrfclib {

namespace {

const StructDesc kRfcsi{"RFCSI",
                        {{"RFCPROTO", Kind::Char, 3},
                         {"RFCCHARTYP", Kind::Char, 4},
                         {"RFCINTTYP", Kind::Char, 3},
                         {"RFCFLOTYP", Kind::Char, 3},
                         {"RFCDEST", Kind::Char, 32},
                         {"RFCHOST", Kind::Char, 8},
                         {"RFCSYSID", Kind::Char, 8},
                         {"RFCDATABS", Kind::Char, 8},
                         {"RFCDBHOST", Kind::Char, 32},
                         {"RFCDBSYS", Kind::Char, 10},
                         {"RFCSAPRL", Kind::Char, 4},
                         {"RFCMACH", Kind::Char, 5},
                         {"RFCOPSYS", Kind::Char, 10},
                         {"RFCTZONE", Kind::Char, 6},
                         {"RFCDAYST", Kind::Char, 1},
                         {"RFCIPADDR", Kind::Char, 15},
                         {"RFCKERNRL", Kind::Char, 4},
                         {"RFCSI_RESV", Kind::Char, 44}}};
const StructDesc kDateTime{"DATE_TIME",
                           {{"MONI_DATE", Kind::Date, 8}, {"MONI_TIME", Kind::Time, 6}}};
const StructDesc kOraMiss{"ORA_MISS", {{"NAME", Kind::Char, 30}}};

} // namespace

const std::vector<FunctionDesc> &Catalog() {
  static const std::vector<FunctionDesc> catalog = {
      {"RFC_SYSTEM_INFO",
       {{"CURRENT_RESOURCES", Direction::Export, Kind::Int, 4},
        {"DIALOG_USER_TYPE", Direction::Export, Kind::Char, 1},
        {"MAXIMAL_RESOURCES", Direction::Export, Kind::Int, 4},
        {"RECOMMENDED_DELAY", Direction::Export, Kind::Int, 4},
        {"RFCSI_EXPORT", Direction::Export, Kind::Structure, 0, &kRfcsi},
        {"RFC_LOGIN_COMPLETE", Direction::Export, Kind::Char, 1}}},
      {"DB_ORA_MISSING_INDICES",
       {{"CURR_DATE", Direction::Export, Kind::Date, 8},
        {"CURR_TIME", Direction::Export, Kind::Time, 6},
        {"DATETIME", Direction::Export, Kind::Structure, 0, &kDateTime},
        {"INDEX_NOT_DEFINED", Direction::Tables, Kind::Table, 0, &kOraMiss},
        {"MISSING_INDEX", Direction::Tables, Kind::Table, 0, &kOraMiss}}},
      {"RFC_PING", {}},
  };
  return catalog;
}

} // namespace nwrfclib
