// Fuzzes the PE and ELF header reader the library loader runs over the files it finds, and the
// search for the ICU file names a library's bytes hold.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "loader/library_image.h"

using namespace kestrovan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char *>(data), size);
  const LibraryImage image = ReadLibraryImage(bytes);
  FUZZ_CHECK(image.bits == 0 || image.bits == 32 || image.bits == 64);
  FUZZ_CHECK((image.format == ImageFormat::Unknown) == (image.bits == 0));
  FUZZ_CHECK(image.format != ImageFormat::Unknown || image.needed.empty());
  FUZZ_CHECK(image.needed.size() <= kMaxImageNames);
  // Every name is a zero-terminated piece of the file, in characters a document holds as they are.
  for (const std::string &name : image.needed) {
    FUZZ_CHECK(!name.empty() && name.size() <= kMaxImageName);
    bool plain = true;
    for (const char c : name) {
      FUZZ_CHECK(c >= ' ' && c <= '~' && c != '<' && c != '>' && c != '&');
      plain = plain && c != '?';
    }
    FUZZ_CHECK(!plain || bytes.find(name + '\0') != std::string_view::npos);
  }
  const std::string mismatch = BitnessMismatch(image, 64);
  FUZZ_CHECK(mismatch.empty() == (image.bits != 32));
  FUZZ_CHECK(NotLoadableImage(image, 64).empty() == (image.bits == 64));

  // The ICU names the bytes hold: each once, and the load order is the same names.
  for (const IcuNaming naming : {IcuNaming::Windows, IcuNaming::Linux}) {
    const std::vector<std::string> names = IcuFileNamesIn(naming, bytes);
    FUZZ_CHECK(names.size() <= kMaxImageNames);
    std::vector<std::string> ordered = IcuLoadOrder(naming, names);
    FUZZ_CHECK(ordered.size() == names.size());
    for (const std::string &name : names) {
      FUZZ_CHECK(name.size() >= 11 && name.size() <= 17);
      FUZZ_CHECK(std::count(ordered.begin(), ordered.end(), name) == 1);
    }
  }
  return 0;
}
