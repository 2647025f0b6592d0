// The answers of the simulated function modules, byte for byte.
#include <gtest/gtest.h>

#include "sapsim/function_modules.h"
#include "sapsim/rfcsi_layout.h"

namespace kestrovan_test {
namespace {

TEST(RfcsiLayoutTest, FieldsAreContiguousAndFill200Bytes) {
  std::size_t offset = 0;
  for (const sapsim::RfcsiField &field : sapsim::kRfcsiFields) {
    EXPECT_EQ(field.offset, offset) << field.name;
    offset += field.length;
  }
  EXPECT_EQ(offset, sapsim::kRfcsiLength);
  EXPECT_EQ(sapsim::FindRfcsiField("rfcdbsys")->offset, 101u);
  EXPECT_EQ(sapsim::FindRfcsiField("rfchost")->length, 8u);
  EXPECT_EQ(sapsim::FindRfcsiField("RFCHOST"), nullptr);
}

std::tm FixedTime() {
  std::tm time{};
  time.tm_year = 2025 - 1900;
  time.tm_mon = 11;
  time.tm_mday = 31;
  time.tm_hour = 23;
  time.tm_min = 59;
  time.tm_sec = 58;
  return time;
}

const rfcwire::Value &Find(const rfcwire::Reply &reply, const std::string &name) {
  for (const rfcwire::Value &value : reply.importing) {
    if (value.name == name) {
      return value;
    }
  }
  throw std::runtime_error("no value " + name);
}

std::string Text(const std::vector<std::uint8_t> &bytes) {
  return std::string(bytes.begin(), bytes.end());
}

TEST(FunctionModulesTest, SystemInfoRecord) {
  sapsim::SystemDescription system;
  system.rfcsi = {{"rfcproto", "011"}, {"rfchost", "sapprd"}, {"rfcsi_resv", std::string(44, 'r')}};
  system.current_resources = 3;
  rfcwire::CallRequest request;
  request.function = "rfc_system_info"; // function names are matched in upper case
  const sapsim::CallResult result = sapsim::RunFunction(system, request, FixedTime());
  ASSERT_EQ(result.kind, sapsim::CallResult::Kind::Reply);
  std::string expected =
      "011" + std::string(42, ' ') + "sapprd  " + std::string(103, ' ') + std::string(44, 'r');
  EXPECT_EQ(Text(Find(result.reply, "RFCSI_EXPORT").bytes), expected);
  const rfcwire::Value &resources = Find(result.reply, "CURRENT_RESOURCES");
  EXPECT_EQ(resources.kind, rfcwire::ValueKind::Integer);
  EXPECT_EQ(resources.bytes, (std::vector<std::uint8_t>{0, 0, 0, 3}));
  EXPECT_EQ(Text(Find(result.reply, "RFC_LOGIN_COMPLETE").bytes), "X");
  EXPECT_TRUE(result.reply.tables.empty());
}

TEST(FunctionModulesTest, MissingIndicesTablesAndDate) {
  sapsim::SystemDescription system;
  system.missing_index = 2;
  system.index_not_defined = 1;
  rfcwire::CallRequest request;
  request.function = "DB_ORA_MISSING_INDICES";
  const sapsim::CallResult result = sapsim::RunFunction(system, request, FixedTime());
  ASSERT_EQ(result.kind, sapsim::CallResult::Kind::Reply);
  EXPECT_EQ(Text(Find(result.reply, "CURR_DATE").bytes), "20251231");
  EXPECT_EQ(Text(Find(result.reply, "CURR_TIME").bytes), "235958");
  EXPECT_EQ(Text(Find(result.reply, "DATETIME").bytes), "20251231235958");
  ASSERT_EQ(result.reply.tables.size(), 2u);
  const rfcwire::Table &not_defined = result.reply.tables[0];
  const rfcwire::Table &missing = result.reply.tables[1];
  EXPECT_EQ(not_defined.name, "INDEX_NOT_DEFINED");
  EXPECT_EQ(not_defined.rows, 1u);
  EXPECT_EQ(Text(not_defined.data), "INDEX_NOT_DEFINED_0000001     ");
  EXPECT_EQ(missing.name, "MISSING_INDEX");
  EXPECT_EQ(missing.line_length, 30u);
  EXPECT_EQ(Text(missing.data), "MISSING_INDEX_0000001         MISSING_INDEX_0000002         ");
}

TEST(FunctionModulesTest, IndexNamesAreThirtyCharacters) {
  EXPECT_EQ(sapsim::IndexName("MISSING_INDEX_", 1000000), "MISSING_INDEX_1000000         ");
  EXPECT_EQ(sapsim::IndexName("INDEX_NOT_DEFINED_", 42).size(), 30u);
}

TEST(FunctionModulesTest, UnknownModuleIsFunctionNotFound) {
  sapsim::SystemDescription system;
  rfcwire::CallRequest request;
  request.function = "Z_OTHER";
  const sapsim::CallResult result = sapsim::RunFunction(system, request, FixedTime());
  EXPECT_EQ(result.kind, sapsim::CallResult::Kind::SystemException);
  EXPECT_EQ(result.raised.name, "CALL_FUNCTION_NOT_FOUND");
  EXPECT_EQ(result.raised.text, "Function module \"Z_OTHER\" not found");
}

} // namespace
} // namespace kestrovan_test
