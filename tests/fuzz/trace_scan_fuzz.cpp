// Fuzzes the scan of the library's trace file for the detail an error document carries.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "fuzz_check.h"
#include "memory_platform.h"
#include "session/error_report.h"

using namespace kestrovan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  MemoryPlatform os;
  const std::string bytes(reinterpret_cast<const char *>(data), size);
  os.files[std::string(kTraceFile)] = bytes;

  const std::optional<std::string> found = ReadTraceDetail(os);
  FUZZ_CHECK(found.has_value());
  const std::string &detail = *found;
  if (detail.empty()) {
    return 0;
  }
  // A detail is the rest of one piece of one line: found in the file as read, shorter than a
  // piece, without its line feed.
  FUZZ_CHECK(!detail.empty() && detail.size() < kTracePiece);
  FUZZ_CHECK(!detail.ends_with('\n'));
  FUZZ_CHECK(TranslateTextMode(bytes).find(detail) != std::string::npos);
  return 0;
}
