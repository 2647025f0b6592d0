// RfcOpenEx's connect text. Raw: keys taken are upper-case key characters found in the text,
// values are pieces of it, and a refusal names a place, never a value. Built: pairs written with
// blanks, tabs and quotes read back as written, a later key winning.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "rfcfiles/connect_data.h"
#include "wire/text_util.h"

namespace {

bool KeyCharacters(const std::string &key) {
  return !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  });
}

void CheckRaw(const std::string &text) {
  rfcfiles::ConnectValues values;
  std::string problem;
  if (!rfcfiles::ParseConnectText(text, values, problem)) {
    FUZZ_CHECK(problem.rfind("connect text: ", 0) == 0);
    return;
  }
  FUZZ_CHECK(problem.empty());
  const std::string upper = rfcwire::ToUpper(text);
  for (const auto &[key, value] : values) {
    FUZZ_CHECK(KeyCharacters(key));
    FUZZ_CHECK(upper.find(key + "=") != std::string::npos);
    FUZZ_CHECK(text.find(value) != std::string::npos);
  }
}

void CheckBuilt(FuzzedDataProvider &data) {
  std::string text;
  std::map<std::string, std::string> expected;
  const std::size_t pairs = data.ConsumeIntegralInRange<std::size_t>(0, 12);
  for (std::size_t i = 0; i < pairs && data.remaining_bytes() > 0; ++i) {
    const std::string key = data.PickValueInArray({"client", "USER", "Passwd", "LANG", "DEST"});
    std::string value = data.ConsumeRandomLengthString(16);
    value.erase(std::remove(value.begin(), value.end(), '"'), value.end());
    const bool blank = std::any_of(value.begin(), value.end(), rfcwire::IsBlank);
    const bool quoted = blank || value.empty() || data.ConsumeBool();
    text += data.PickValueInArray({" ", "\t", "  ", "\r\n"}) + key + "=" +
            (quoted ? "\"" + value + "\"" : value);
    expected[rfcwire::ToUpper(key)] = value;
  }
  rfcfiles::ConnectValues values;
  std::string problem;
  FUZZ_CHECK(rfcfiles::ParseConnectText(text, values, problem));
  FUZZ_CHECK(values == rfcfiles::ConnectValues(expected.begin(), expected.end()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  CheckRaw(std::string(reinterpret_cast<const char *>(data), size));
  FuzzedDataProvider provider(data, size);
  CheckBuilt(provider);
  return 0;
}
