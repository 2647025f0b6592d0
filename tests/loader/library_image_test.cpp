// What the loader reads before it loads a library: ICU file names of every version, and the
// headers of PE and ELF files built byte by byte.
#include <gtest/gtest.h>

#include <cstdint>

#include "loader/library_image.h"

namespace {

using kestrovan::IcuNaming;

TEST(IcuFilesTest, TheNamesALibrarysBytesHoldInTheOrderTheyLoad) {
  const auto wide = [](std::string_view text) {
    std::string units;
    for (const char c : text) {
      units += c;
      units += '\0';
    }
    return units;
  };
  struct Case {
    IcuNaming naming;
    std::string bytes;
    std::vector<std::string> names;
  } cases[] = {
      {IcuNaming::Windows,
       std::string("\0icuuc34.dll\0icuin34.dll\0ICUDT34.DLL\0icuuc34.dll\0", 49),
       {"ICUDT34.DLL", "icuuc34.dll", "icuin34.dll"}},
      {IcuNaming::Windows,
       "x" + wide("icuin50.dll") + wide("icudt50.dll"),
       {"icudt50.dll", "icuin50.dll"}},
      {IcuNaming::Windows, "icuuc.dll icuuc5.dll icuuc1234.dll icuuc50.dl icu50.dll", {}},
      {IcuNaming::Linux,
       std::string("libicuuc.so.50\0libicudata.so.50\0libicui18n.so.50", 48),
       {"libicudata.so.50", "libicuuc.so.50", "libicui18n.so.50"}},
      {IcuNaming::Linux,
       "LIBICUUC.SO.50 libicuuc.so.5 libicuuc.so.5000 libicuuc.so icuuc50.dll",
       {}},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(kestrovan::IcuLoadOrder(c.naming, kestrovan::IcuFileNamesIn(c.naming, c.bytes)),
              c.names)
        << c.bytes;
  }
}

/// Writes a little-endian number into a file being built, growing it as needed.
void Put(std::string &file, std::size_t at, std::uint64_t value, unsigned size) {
  if (file.size() < at + size) {
    file.resize(at + size, '\0');
  }
  // Wider fields than the number (a 16-byte identification, say) are zero beyond its 8 bytes.
  for (unsigned i = 0; i < size; ++i) {
    file[at + i] = i < sizeof value ? static_cast<char>((value >> (8 * i)) & 0xFF) : '\0';
  }
}

void PutText(std::string &file, std::size_t at, std::string_view text) {
  if (file.size() < at + text.size() + 1) {
    file.resize(at + text.size() + 1, '\0');
  }
  file.replace(at, text.size(), text);
}

/// A DLL with one section holding an import table of the given names.
std::string PeFile(bool wide, const std::vector<std::string> &imports) {
  std::string file = "MZ";
  Put(file, 0x3C, 0x40, 4);
  PutText(file, 0x40, std::string("PE\0\0", 4));
  Put(file, 0x44, wide ? 0x8664 : 0x14C, 2);
  Put(file, 0x46, 1, 2);                // one section
  Put(file, 0x54, wide ? 240 : 224, 2); // optional header size
  const std::size_t optional = 0x58;
  Put(file, optional, wide ? 0x20B : 0x10B, 2); // magic
  const std::size_t directories = optional + (wide ? 112 : 96);
  Put(file, directories - 4, 16, 4);
  Put(file, directories + 8, 0x1000, 4); // the import table's address
  const std::size_t section = optional + (wide ? 240 : 224);
  PutText(file, section, ".idata");
  Put(file, section + 8, 0x400, 4);   // virtual size
  Put(file, section + 12, 0x1000, 4); // address
  Put(file, section + 16, 0x400, 4);  // size in the file
  Put(file, section + 20, 0x400, 4);  // where in the file
  for (std::size_t i = 0; i < imports.size(); ++i) {
    Put(file, 0x400 + 20 * i + 12, 0x1200 + 0x20 * i, 4); // name
    Put(file, 0x400 + 20 * i + 16, 0x1380, 4);            // first thunk
    PutText(file, 0x600 + 0x20 * i, imports[i]);
  }
  Put(file, 0x400 + 20 * imports.size(), 0, 20);
  file.resize(0x800, '\0');
  return file;
}

/// A 64-bit shared object whose dynamic section needs the given names.
std::string ElfFile(const std::vector<std::string> &needed) {
  std::string file = "\x7f"
                     "ELF";
  Put(file, 4, 2, 1); // 64-bit
  Put(file, 5, 1, 1); // little-endian
  Put(file, 6, 1, 1);
  Put(file, 32, 64, 8); // program headers
  Put(file, 54, 56, 2);
  Put(file, 56, 2, 2);
  Put(file, 64, 1, 4); // PT_LOAD of the whole file at address 0x10000
  Put(file, 64 + 8, 0, 8);
  Put(file, 64 + 16, 0x10000, 8);
  Put(file, 64 + 32, 0x1000, 8);
  Put(file, 120, 2, 4); // PT_DYNAMIC
  Put(file, 120 + 8, 0x200, 8);
  Put(file, 120 + 16, 0x10200, 8);
  Put(file, 120 + 32, 0x100, 8);
  std::string strings(1, '\0');
  std::size_t at = 0x200;
  for (const std::string &name : needed) {
    Put(file, at, 1, 8);
    Put(file, at + 8, strings.size(), 8);
    strings += name + '\0';
    at += 16;
  }
  Put(file, at, 5, 8);
  Put(file, at + 8, 0x10400, 8);
  Put(file, at + 16, 10, 8);
  Put(file, at + 24, strings.size(), 8);
  Put(file, at + 32, 0, 16);
  PutText(file, 0x400, strings);
  return file;
}

TEST(LibraryImageTest, BitnessAndImportsOfPeAndElfFiles) {
  const std::string pe32 = PeFile(false, {"MSVCR80.dll", "KERNEL32.dll"});
  const std::string elf32 = std::string("\x7f"
                                        "ELF\x01\x01\x01",
                                        7) +
                            std::string(45, '\0');
  std::string damaged = PeFile(true, {"icuuc50.dll"});
  Put(damaged, 0x400 + 12, 0x7FFFFFF0, 4); // a name outside every section
  std::string unterminated = ElfFile({"libsapucum.so"});
  unterminated.resize(0x400 + 5);
  struct Case {
    const char *name;
    std::string bytes;
    kestrovan::ImageFormat format;
    int bits;
    std::vector<std::string> needed;
  } cases[] = {
      {"pe32", pe32, kestrovan::ImageFormat::Pe, 32, {"MSVCR80.dll", "KERNEL32.dll"}},
      {"pe32+",
       PeFile(true, {"libsapucum.dll"}),
       kestrovan::ImageFormat::Pe,
       64,
       {"libsapucum.dll"}},
      {"pe_cut_short", pe32.substr(0, 0x410), kestrovan::ImageFormat::Pe, 32, {}},
      {"pe_name_outside", damaged, kestrovan::ImageFormat::Pe, 64, {}},
      {"elf64",
       ElfFile({"libsapucum.so", "libc.so.6"}),
       kestrovan::ImageFormat::Elf,
       64,
       {"libsapucum.so", "libc.so.6"}},
      {"elf_strings_cut", unterminated, kestrovan::ImageFormat::Elf, 64, {}},
      {"elf32_header_only", elf32, kestrovan::ImageFormat::Elf, 32, {}},
      {"text", "MZ but nothing more", kestrovan::ImageFormat::Unknown, 0, {}},
      {"empty", "", kestrovan::ImageFormat::Unknown, 0, {}},
  };
  for (const Case &c : cases) {
    const kestrovan::LibraryImage image = kestrovan::ReadLibraryImage(c.bytes);
    EXPECT_EQ(image.format, c.format) << c.name;
    EXPECT_EQ(image.bits, c.bits) << c.name;
    EXPECT_EQ(image.needed, c.needed) << c.name;
  }
  EXPECT_EQ(kestrovan::BitnessMismatch(kestrovan::ReadLibraryImage(pe32), 64),
            "a 32-bit library; this program needs the 64-bit one");
  EXPECT_EQ(kestrovan::BitnessMismatch(kestrovan::ReadLibraryImage(PeFile(true, {})), 32),
            "a 64-bit library; this program needs the 32-bit one");
  EXPECT_EQ(kestrovan::BitnessMismatch(kestrovan::ReadLibraryImage(pe32), 32), "");
  // Why the loader refused a file, as far as its headers tell.
  EXPECT_EQ(kestrovan::NotLoadableImage(kestrovan::ReadLibraryImage(""), 64), "is empty");
  EXPECT_EQ(kestrovan::NotLoadableImage(kestrovan::ReadLibraryImage("MZ but nothing more"), 64),
            "is not a library");
  EXPECT_EQ(kestrovan::NotLoadableImage(kestrovan::ReadLibraryImage(pe32), 64),
            "is a 32-bit library; this program needs the 64-bit one");
  EXPECT_EQ(kestrovan::NotLoadableImage(kestrovan::ReadLibraryImage(pe32), 32), "");
}

// A name from the headers goes into an error document: it cannot bring markup along.
TEST(LibraryImageTest, NamesKeepToCharactersADocumentHolds) {
  EXPECT_EQ(
      kestrovan::ReadLibraryImage(ElfFile({"lib</Text><Error>0</Error>&x.so", "a\tb"})).needed,
      (std::vector<std::string>{"lib?/Text??Error?0?/Error??x.so", "a?b"}));
}

// A file of 2 GiB whose header claims 65,535 sections: only the headers' bytes are read.
TEST(LibraryImageTest, OnlyTheHeadersOfAHugeFileAreRead) {
  std::string head = PeFile(true, {"icuuc50.dll"});
  Put(head, 0x46, 0xFFFF, 2);
  Put(head, 0x58 + 240, 0, 40); // the first section no longer holds the import table
  std::uint64_t read = 0;
  const kestrovan::LibraryImage image =
      kestrovan::ReadLibraryImage(std::uint64_t{2} << 30, [&](std::uint64_t at, std::size_t size) {
        read += size;
        return at < head.size() ? head.substr(static_cast<std::size_t>(at), size)
                                : std::string(size, '\0');
      });
  EXPECT_EQ(image.bits, 64);
  EXPECT_TRUE(image.needed.empty());
  EXPECT_LE(read, kestrovan::kMaxImageBytesRead);
}

} // namespace
