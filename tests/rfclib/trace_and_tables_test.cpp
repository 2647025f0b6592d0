// Structure installation and internal tables, without any partner.
#include <gtest/gtest.h>

#include <cstring>

#include "library_fixture.h"
#include "rfcapi/rfc_library.h"
#include "sensor_calls.h"

namespace kestrovan_test {
namespace {

using StructureTest = LibraryTest;

TEST_F(StructureTest, InstallReturnsStableNonZeroHandles) {
  const RFC_TYPEHANDLE rfcsi = RfcsiType();
  EXPECT_NE(rfcsi, 0u);
  EXPECT_NE(DateTimeType(), 0u);
  EXPECT_NE(OraMissType(), rfcsi);
  RFC_TYPE_ELEMENT again[] = {{const_cast<char *>("NAME"), TYPC, 30, 0, 0}};
  RFC_TYPEHANDLE handle = 0;
  EXPECT_EQ(RfcInstallStructure("ORA_MISS", again, 1, &handle), RFC_OK);
  EXPECT_EQ(handle, OraMissType()) << "an identical description keeps its handle";
}

TEST_F(StructureTest, InvalidDescriptionsAreRefused) {
  RFC_TYPE_ELEMENT good[] = {{const_cast<char *>("F"), TYPC, 4, 0, 0}};
  RFC_TYPE_ELEMENT no_name[] = {{nullptr, TYPC, 4, 0, 0}};
  RFC_TYPE_ELEMENT bad_type[] = {{const_cast<char *>("F"), 5, 4, 0, 0}};
  RFC_TYPE_ELEMENT zero_length[] = {{const_cast<char *>("F"), TYPC, 0, 0, 0}};
  RFC_TYPE_ELEMENT short_int[] = {{const_cast<char *>("F"), TYPINT, 2, 0, 0}};
  RFC_TYPE_ELEMENT long_date[] = {{const_cast<char *>("F"), TYPDATE, 10, 0, 0}};
  RFC_TYPE_ELEMENT beyond[] = {{const_cast<char *>("F"), TYPC, 100, 0, 65500}};
  struct Case {
    const char *name;
    const char *structure;
    RFC_TYPE_ELEMENT *elements;
    unsigned count;
    bool with_handle;
  };
  const Case cases[] = {
      {"no structure name", nullptr, good, 1, true},
      {"empty structure name", "", good, 1, true},
      {"no elements", "S", nullptr, 1, true},
      {"zero elements", "S", good, 0, true},
      {"no place for the handle", "S", good, 1, false},
      {"element without name", "S", no_name, 1, true},
      {"unknown type", "S", bad_type, 1, true},
      {"zero length", "S", zero_length, 1, true},
      {"integer of 2 bytes", "S", short_int, 1, true},
      {"date of 10 bytes", "S", long_date, 1, true},
      {"beyond the line limit", "S", beyond, 1, true},
  };
  for (const Case &c : cases) {
    RFC_TYPEHANDLE handle = 0;
    EXPECT_EQ(
        RfcInstallStructure(c.structure, c.elements, c.count, c.with_handle ? &handle : nullptr),
        RFC_FAILURE)
        << c.name;
    EXPECT_EQ(handle, 0u) << c.name;
    EXPECT_EQ(TraceDetail(), "invalid structure description") << c.name;
  }
}

using InternalTableTest = LibraryTest;

TEST_F(InternalTableTest, RowsCountFromOneAndKeepTheirAddresses) {
  const ITAB_H table = ItCreate(const_cast<char *>("T"), 8, 0, 0);
  ASSERT_NE(table, 0u);
  EXPECT_EQ(ItFill(table), 0u);
  EXPECT_EQ(ItGetLine(table, 1), nullptr);
  void *first = ItAppLine(table);
  ASSERT_NE(first, nullptr);
  std::memcpy(first, "ROW-0001", 8);
  for (int i = 0; i < 1000; ++i) {
    ASSERT_NE(ItAppLine(table), nullptr);
  }
  EXPECT_EQ(ItFill(table), 1001u);
  EXPECT_EQ(ItGetLine(table, 1), first) << "appending must not move earlier rows";
  EXPECT_EQ(std::memcmp(ItGetLine(table, 1), "ROW-0001", 8), 0);
  EXPECT_EQ(ItGetLine(table, 0), nullptr);
  EXPECT_EQ(ItGetLine(table, 1002), nullptr);
  EXPECT_EQ(TraceDetail(), "row does not exist");
  EXPECT_EQ(ItDelete(table), 0);
}

TEST_F(InternalTableTest, UnknownHandlesFailSafely) {
  EXPECT_EQ(ItCreate(const_cast<char *>("T"), 0, 0, 0), 0u) << "line length 0";
  EXPECT_EQ(ItCreate(const_cast<char *>("T"), 70000, 0, 0), 0u) << "line length over the limit";
  const ITAB_H table = ItCreate(nullptr, 4, 0, 0);
  ASSERT_NE(table, 0u) << "a table without a name is allowed";
  EXPECT_EQ(ItDelete(table), 0);
  EXPECT_NE(ItDelete(table), 0) << "deleted twice";
  EXPECT_EQ(ItFill(table), 0u);
  EXPECT_EQ(ItGetLine(table, 1), nullptr);
  EXPECT_EQ(ItAppLine(table), nullptr);
  EXPECT_EQ(ItFill(12345), 0u);
  EXPECT_EQ(TraceDetail(), "invalid table handle");
}

TEST_F(InternalTableTest, LastErrorWithoutPlaceFails) { EXPECT_NE(RfcLastError(nullptr), 0); }

TEST_F(InternalTableTest, LinkedLibraryTableHoldsTheseFunctions) {
  const kestrovan::RfcLibrary &library = kestrovan::LinkedRfcLibrary();
  EXPECT_EQ(library.Open, &RfcOpen);
  EXPECT_EQ(library.OpenEx, &RfcOpenEx);
  EXPECT_EQ(library.Receive, &RfcReceive);
  EXPECT_EQ(library.ItGetLine, &ItGetLine);
  EXPECT_EQ(library.Close, &RfcClose);
}

} // namespace
} // namespace kestrovan_test
