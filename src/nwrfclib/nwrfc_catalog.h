// The function descriptions of the modules sapsim serves, as the system's dictionary has them.
#pragma once

#include <string_view>
#include <vector>

namespace nwrfclib {

enum class Kind { Char, Num, Date, Time, Int, Structure, Table };
enum class Direction { Import, Export, Tables }; // as the function module sees them

struct FieldDesc {
  std::string_view name;
  Kind kind;
  unsigned length;
};

struct StructDesc {
  std::string_view name;
  std::vector<FieldDesc> fields;
  unsigned Length() const {
    unsigned length = 0;
    for (const FieldDesc &field : fields) {
      length += field.length;
    }
    return length;
  }
};

struct ParamDesc {
  std::string_view name;
  Direction direction;
  Kind kind;
  unsigned length;
  const StructDesc *type = nullptr;
};

struct FunctionDesc {
  std::string_view name;
  std::vector<ParamDesc> params;
};

/// RFC_SYSTEM_INFO, DB_ORA_MISSING_INDICES and RFC_PING.
const std::vector<FunctionDesc> &Catalog();

} // namespace nwrfclib
