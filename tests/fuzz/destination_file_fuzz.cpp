// SapRfc.ini, read as RfcOpenEx reads it. The input is read twice. Raw: the first line names the
// destination, the rest is the file; keys found are upper-case, values trimmed, one line each.
// Built: the input decides a file of entries with their values, comments holding decoy entries
// and values, and repeated entries; the entry found must hold exactly the values of the first
// entry of that name (a later line of a key winning), nothing from comments or other entries.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "rfcfiles/connect_data.h"
#include "wire/text_util.h"

namespace {

void CheckRaw(std::string_view input) {
  const std::size_t line_end = input.find('\n');
  const std::string_view destination = input.substr(0, line_end);
  const std::string_view ini =
      line_end == std::string_view::npos ? std::string_view() : input.substr(line_end + 1);
  rfcfiles::ConnectValues entry;
  if (!rfcfiles::FindDestinationEntry(ini, destination, entry)) {
    FUZZ_CHECK(entry.empty());
    return;
  }
  FUZZ_CHECK(ini.find('=') != std::string_view::npos);
  FUZZ_CHECK(entry.count("DEST") == 0); // DEST= opens an entry, it is not a value of it
  for (const auto &[key, value] : entry) {
    FUZZ_CHECK(!key.empty() && key == rfcwire::ToUpper(key));
    FUZZ_CHECK(key.find('\n') == std::string::npos && value.find('\n') == std::string::npos);
    FUZZ_CHECK(rfcwire::Trim(value) == value && rfcwire::Trim(key) == key);
  }
}

/// A name or value of characters that cannot open a comment, end a line or split a key.
std::string Word(FuzzedDataProvider &data, std::string_view alphabet, std::size_t most) {
  std::string word;
  const std::size_t length = data.ConsumeIntegralInRange<std::size_t>(1, most);
  for (std::size_t i = 0; i < length; ++i) {
    word.push_back(alphabet[data.ConsumeIntegralInRange<std::size_t>(0, alphabet.size() - 1)]);
  }
  return word;
}

constexpr std::string_view kKeyCharacters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_0";
constexpr std::string_view kValueCharacters = "abcXYZ019.-_=:\\ \"";

void CheckBuilt(FuzzedDataProvider &data) {
  const std::vector<std::string> names = {"PRD", "QAS", "prd", "DEV"};
  const std::string wanted = names[data.ConsumeIntegralInRange<std::size_t>(0, names.size() - 1)];
  const std::string eol = data.ConsumeBool() ? "\r\n" : "\n";
  std::string ini;
  std::map<std::string, std::string> expected;
  bool found = false;
  bool in_wanted = false;
  const std::size_t lines = data.ConsumeIntegralInRange<std::size_t>(0, 40);
  for (std::size_t i = 0; i < lines && data.remaining_bytes() > 0; ++i) {
    const std::string pad = data.ConsumeBool() ? " \t" : "";
    switch (data.ConsumeIntegralInRange<int>(0, 5)) {
    case 0: { // an entry starts
      const std::string name = names[data.ConsumeIntegralInRange<std::size_t>(0, 3)];
      ini += pad + (data.ConsumeBool() ? "DEST" : "dest") + pad + "=" + pad + name + pad + eol;
      in_wanted = !found && name == wanted;
      found = found || in_wanted;
      break;
    }
    case 1: // a block comment, possibly over lines, with a decoy entry inside
      ini += "/* DEST=" + wanted + eol + "ASHOST=decoy */" + eol;
      break;
    case 2: // a line comment
      ini += (data.ConsumeBool() ? "* " : "# ") + std::string("DEST=") + wanted + eol;
      break;
    case 3: // a line without '=' names nothing
      ini += Word(data, "abc ", 8) + eol;
      break;
    default: { // a value, with a comment after it now and then
      std::string key = Word(data, kKeyCharacters, 8);
      if (rfcwire::ToUpper(key) == "DEST") {
        key += '_'; // a value line, not the start of an entry
      }
      const std::string value = std::string(rfcwire::Trim(Word(data, kValueCharacters, 12)));
      const bool comment = data.ConsumeBool();
      ini += pad + key + pad + "=" + pad + value + pad + (comment ? "/* VALUE=decoy */" : "") + eol;
      if (in_wanted && rfcwire::ToUpper(key) != "DEST") {
        expected[rfcwire::ToUpper(key)] = value;
      }
      break;
    }
    }
  }
  rfcfiles::ConnectValues entry;
  FUZZ_CHECK(rfcfiles::FindDestinationEntry(ini, wanted, entry) == found);
  if (found) {
    FUZZ_CHECK(entry == rfcfiles::ConnectValues(expected.begin(), expected.end()));
  } else {
    FUZZ_CHECK(entry.empty());
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  CheckRaw(std::string_view(reinterpret_cast<const char *>(data), size));
  FuzzedDataProvider provider(data, size);
  CheckBuilt(provider);
  return 0;
}
