// What the loader reads before it loads a library: ICU file names of every version, and the
// headers of PE and ELF files built byte by byte.
#include <gtest/gtest.h>

#include "rfc/library_image.h"

namespace {

using kestrovan::IcuNaming;

TEST(IcuFilesTest, TheFirstMissingFileOfTheMostCompleteVersion) {
  struct Case {
    IcuNaming naming;
    std::vector<std::string> present;
    std::string missing; // empty: a complete set is there
  } cases[] = {
      {IcuNaming::Windows, {}, "icuuc*.dll"},
      {IcuNaming::Windows, {"icuuc34.dll", "icuin34.dll", "icudt34.dll"}, ""},
      {IcuNaming::Windows, {"ICUUC50.DLL", "IcuIn50.dll", "icudt50.dll", "sapnwrfc.dll"}, ""},
      {IcuNaming::Windows, {"icuuc34.dll", "icuin34.dll"}, "icudt34.dll"},
      {IcuNaming::Windows, {"icudt57.dll"}, "icuuc57.dll"},
      {IcuNaming::Windows, {"icuuc50.dll", "icuin74.dll", "icudt74.dll"}, "icuuc74.dll"},
      {IcuNaming::Windows, {"icuuc50.dll", "icuuc74.dll"}, "icuin50.dll"}, // a tie: first seen
      {IcuNaming::Windows, {"icuuc.dll", "icuin.dll", "icudt.dll"}, "icuuc*.dll"}, // Windows' own
      {IcuNaming::Windows, {"icuuc5.dll", "icuuc1234.dll", "icuuc5x.dll"}, "icuuc*.dll"},
      {IcuNaming::Windows, {"icuuc74.dll", "icuin74.dll", "icudt74.dll", "icuuc50.dll"}, ""},
      {IcuNaming::Linux, {"libicuuc.so.50", "libicui18n.so.50", "libicudata.so.50"}, ""},
      {IcuNaming::Linux, {"libicuuc.so.50", "libicui18n.so.50"}, "libicudata.so.50"},
      {IcuNaming::Linux, {"libicuuc.so.50.1", "libicuuc.so", "LIBICUUC.SO.50"}, "libicuuc.so.*"},
      {IcuNaming::Linux, {"libicuin.so.50", "icuuc50.dll"}, "libicuuc.so.*"},
      {IcuNaming::Linux, {"libicudata.so.100"}, "libicuuc.so.100"},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(kestrovan::MissingIcuFile(c.naming, c.present), c.missing)
        << testing::PrintToString(c.present);
  }
  EXPECT_EQ(kestrovan::IcuFileNames(IcuNaming::Linux, "74"),
            (std::vector<std::string>{"libicuuc.so.74", "libicui18n.so.74", "libicudata.so.74"}));
  EXPECT_EQ(kestrovan::IcuVersionOf(IcuNaming::Windows, "icuIN34.dll"), "34");
  EXPECT_EQ(kestrovan::IcuVersionOf(IcuNaming::Linux, "libicui18n.so.57"), "57");
}

} // namespace
