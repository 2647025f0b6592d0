// RFC_SYSTEM_INFO, DB_ORA_MISSING_INDICES and RFC_PING as the system file describes them.
#include "sapsim/function_modules.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "wire/text_util.h"
#include "sapsim/rfcsi_layout.h"

namespace sapsim {
namespace {

rfcwire::Value Characters(std::string name, std::string_view text) {
  rfcwire::Value value;
  value.name = std::move(name);
  value.bytes.assign(text.begin(), text.end());
  return value;
}

rfcwire::Value Integer(std::string name, std::int32_t number) {
  rfcwire::Value value;
  value.name = std::move(name);
  value.kind = rfcwire::ValueKind::Integer;
  const auto bits = static_cast<std::uint32_t>(number);
  value.bytes = {static_cast<std::uint8_t>(bits >> 24), static_cast<std::uint8_t>(bits >> 16),
                 static_cast<std::uint8_t>(bits >> 8), static_cast<std::uint8_t>(bits)};
  return value;
}

rfcwire::Table IndexTable(std::string name, const char *prefix, unsigned long rows) {
  rfcwire::Table table;
  table.name = std::move(name);
  table.line_length = kIndexNameLength;
  table.rows = static_cast<std::uint32_t>(rows);
  table.data.reserve(rows * kIndexNameLength);
  for (unsigned long row = 1; row <= rows; ++row) {
    const std::string line = IndexName(prefix, row);
    table.data.insert(table.data.end(), line.begin(), line.end());
  }
  return table;
}

std::string Stamp(const std::tm &time, const char *format) {
  std::array<char, 32> buffer{};
  const std::size_t size = std::strftime(buffer.data(), buffer.size(), format, &time);
  return std::string(buffer.data(), size);
}

} // namespace

std::vector<std::uint8_t> RfcsiRecord(const SystemDescription &system) {
  std::vector<std::uint8_t> record(kRfcsiLength, ' ');
  for (const auto &[name, value] : system.rfcsi) {
    if (const RfcsiField *field = FindRfcsiField(name)) {
      std::copy_n(value.begin(), std::min(value.size(), field->length),
                  record.begin() + static_cast<std::ptrdiff_t>(field->offset));
    }
  }
  return record;
}

std::string IndexName(const char *prefix, unsigned long number) {
  std::array<char, 16> digits{};
  std::snprintf(digits.data(), digits.size(), "%07lu", number);
  std::string name = std::string(prefix) + digits.data();
  name.resize(kIndexNameLength, ' ');
  return name;
}

CallResult RunFunction(const SystemDescription &system, const rfcwire::CallRequest &request,
                       const std::tm &now) {
  CallResult result;
  const std::string function = rfcwire::ToUpper(request.function);
  if (function == "RFC_SYSTEM_INFO") {
    const std::vector<std::uint8_t> record = RfcsiRecord(system);
    rfcwire::Value rfcsi;
    rfcsi.name = "RFCSI_EXPORT";
    rfcsi.bytes = record;
    result.reply.importing = {
        Integer("CURRENT_RESOURCES", system.current_resources),
        Characters("DIALOG_USER_TYPE", " "),
        Integer("MAXIMAL_RESOURCES", system.maximal_resources),
        Integer("RECOMMENDED_DELAY", system.recommended_delay),
        std::move(rfcsi),
        Characters("RFC_LOGIN_COMPLETE", "X"),
    };
  } else if (function == "DB_ORA_MISSING_INDICES") {
    const std::string date = Stamp(now, "%Y%m%d");
    const std::string time = Stamp(now, "%H%M%S");
    result.reply.importing = {Characters("CURR_DATE", date), Characters("CURR_TIME", time),
                              Characters("DATETIME", date + time)};
    result.reply.tables.push_back(
        IndexTable("INDEX_NOT_DEFINED", kNotDefinedPrefix, system.index_not_defined));
    result.reply.tables.push_back(
        IndexTable("MISSING_INDEX", kMissingIndexPrefix, system.missing_index));
  } else if (function != "RFC_PING") {
    result.kind = CallResult::Kind::SystemException;
    result.raised.name = "CALL_FUNCTION_NOT_FOUND";
    result.raised.text = "Function module \"" + request.function + "\" not found";
  }
  return result;
}

} // namespace sapsim
