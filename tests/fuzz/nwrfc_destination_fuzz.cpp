// The NetWeaver binding's readers of classic connect data: a SapRfc.ini text searched for the
// destination named on the input's first line, and the same input read as a connect text. Keys
// come out in upper case and never empty; an entry found holds only what the text holds.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "rfc/nwrfc_config.h"

namespace {

void CheckKeys(const kestrovan::ConnectValues &values, std::string_view text) {
  for (const auto &[key, value] : values) {
    FUZZ_CHECK(!key.empty());
    for (const char c : key)
      FUZZ_CHECK(!(c >= 'a' && c <= 'z'));
    FUZZ_CHECK(value.size() <= text.size());
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char *>(data), size);
  const std::size_t line_end = input.find('\n');
  const std::string_view destination = input.substr(0, line_end);
  const std::string_view ini =
      line_end == std::string_view::npos ? std::string_view() : input.substr(line_end + 1);

  kestrovan::ConnectValues entry;
  if (kestrovan::FindDestinationEntry(ini, destination, entry)) {
    FUZZ_CHECK(ini.find("=") != std::string_view::npos);
    FUZZ_CHECK(entry.count("DEST") == 0); // DEST= opens an entry, it is not a value of it
  } else {
    FUZZ_CHECK(entry.empty());
  }
  CheckKeys(entry, ini);

  kestrovan::ConnectValues values;
  std::string problem;
  if (kestrovan::ParseConnectText(input, values, problem)) {
    FUZZ_CHECK(problem.empty());
    CheckKeys(values, input);
  } else {
    FUZZ_CHECK(!problem.empty());
  }
  return 0;
}
