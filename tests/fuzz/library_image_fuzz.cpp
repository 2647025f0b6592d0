// Fuzzes the PE and ELF header reader the library loader runs over the files it finds, and the
// ICU file choice over names read from a folder.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "rfc/library_image.h"

using namespace kestrovan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char *>(data), size);
  const LibraryImage image = ReadLibraryImage(bytes);
  FUZZ_CHECK(image.bits == 0 || image.bits == 32 || image.bits == 64);
  FUZZ_CHECK((image.format == ImageFormat::Unknown) == (image.bits == 0));
  FUZZ_CHECK(image.format != ImageFormat::Unknown || image.needed.empty());
  FUZZ_CHECK(image.needed.size() <= kMaxImageNames);
  // Every name is a zero-terminated piece of the file.
  for (const std::string &name : image.needed) {
    FUZZ_CHECK(!name.empty() && name.size() <= kMaxImageName);
    FUZZ_CHECK(name.find('\0') == std::string::npos);
    FUZZ_CHECK(bytes.find(name + '\0') != std::string_view::npos);
  }
  const std::string mismatch = BitnessMismatch(image, 64);
  FUZZ_CHECK(mismatch.empty() == (image.bits != 32));

  // The same bytes as the names in a folder, one a line: the missing file is one of the three
  // names of a version seen, or the pattern when none is.
  std::vector<std::string> names;
  for (std::size_t start = 0; start <= bytes.size() && names.size() < 64;) {
    const std::size_t end = std::min(bytes.find('\n', start), bytes.size());
    names.emplace_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  for (const IcuNaming naming : {IcuNaming::Windows, IcuNaming::Linux}) {
    const std::string missing = MissingIcuFile(naming, names);
    if (missing.empty() || missing == IcuFileNames(naming, "*").front()) {
      continue;
    }
    const std::string version = IcuVersionOf(naming, missing);
    FUZZ_CHECK(!version.empty());
    bool seen = false;
    for (const std::string &name : names) {
      seen = seen || IcuVersionOf(naming, name) == version;
    }
    FUZZ_CHECK(seen);
    bool one_of_three = false;
    for (const std::string &file : IcuFileNames(naming, version)) {
      one_of_three = one_of_three || file == missing;
    }
    FUZZ_CHECK(one_of_three);
  }
  return 0;
}
