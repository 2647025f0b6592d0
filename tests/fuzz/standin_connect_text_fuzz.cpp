// RfcOpenEx's connect text and a SapRfc.ini entry: the input is the connect text, a zero byte, and
// the file's content. Parsed keys are upper-case key characters and come from the text, values
// are pieces of it; a destination entry found has the DEST asked for and keys from the file.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "rfclib/connect_text.h"
#include "wire/text_util.h"

namespace {

bool KeyCharacters(const std::string &key) {
  return !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string input(reinterpret_cast<const char *>(data), size);
  const std::size_t split = input.find('\0');
  const std::string text = input.substr(0, split);
  const std::string ini = split == std::string::npos ? std::string() : input.substr(split + 1);

  rfclib::Settings settings;
  std::string problem;
  std::string destination = "PRD";
  if (rfclib::ParseConnectText(text, settings, problem)) {
    const std::string upper = rfcwire::ToUpper(text);
    for (const auto &[key, value] : settings) {
      FUZZ_CHECK(KeyCharacters(key));
      FUZZ_CHECK(upper.find(key + "=") != std::string::npos);
      FUZZ_CHECK(text.find(value) != std::string::npos);
    }
    if (const auto dest = settings.find("DEST"); dest != settings.end()) {
      destination = dest->second;
    }
  } else {
    FUZZ_CHECK(!problem.empty());
    FUZZ_CHECK(problem.rfind("connect text: ", 0) == 0);
  }

  rfclib::Settings entry;
  if (rfclib::FindDestination(ini, destination, entry)) {
    FUZZ_CHECK(entry.count("DEST") == 1 && entry.at("DEST") == destination);
    const std::string upper = rfcwire::ToUpper(ini);
    for (const auto &[key, value] : entry) {
      FUZZ_CHECK(key == rfcwire::ToUpper(key) && !key.empty());
      FUZZ_CHECK(key.find('\n') == std::string::npos && value.find('\n') == std::string::npos);
      FUZZ_CHECK(rfcwire::Trim(value) == value);
    }
  }
  return 0;
}
