// RfcStandin.ini's test networks: every network read is a sound range that holds its own base,
// prints back to itself, and the limits read alongside are those of the limits reader alone.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "rfcfiles/standin_settings.h"
#include "wire/text_util.h"

namespace {

/// A range read from text prints back (address and prefix) to a range with the same members.
void CheckRange(const rfcwire::AddressRange &range) {
  FUZZ_CHECK(range.prefix <= 128);
  FUZZ_CHECK(rfcwire::InRange(range.base, range));
  // An address in the mapped form prints dotted, which can only say prefixes of 96 and more.
  const bool dotted = range.base == rfcwire::MappedIpv4(range.base[12], range.base[13],
                                                        range.base[14], range.base[15]);
  if (dotted && range.prefix < 96) {
    return;
  }
  const unsigned shown = dotted ? range.prefix - 96 : range.prefix;
  const std::string text = rfcwire::AddressText(range.base) + "/" + std::to_string(shown);
  rfcwire::AddressRange again;
  FUZZ_CHECK(rfcfiles::ParseAddressRange(text, again));
  FUZZ_CHECK(again.prefix == range.prefix);
  FUZZ_CHECK(rfcwire::InRange(again.base, range) && rfcwire::InRange(range.base, again));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);
  using std::chrono::milliseconds;
  const rfcfiles::TimeLimits defaults{milliseconds(5000), milliseconds(20000), milliseconds(45000)};
  const rfcfiles::StandinSettings settings = rfcfiles::ParseStandinSettings(text, defaults);
  const rfcfiles::TimeLimits limits = rfcfiles::ParseTimeLimits(text, defaults);
  FUZZ_CHECK(settings.limits.connect == limits.connect && settings.limits.call == limits.call &&
             settings.limits.connection == limits.connection);
  FUZZ_CHECK(settings.reach.test_networks.size() <= rfcfiles::kMostTestNetworks);
  FUZZ_CHECK(settings.reach.test_networks.empty() ||
             rfcwire::ToUpper(text).find("TEST_NETWORK") != std::string::npos);
  for (const rfcwire::AddressRange &range : settings.reach.test_networks) {
    CheckRange(range);
    FUZZ_CHECK(settings.reach.Allows(range.base));
  }
  rfcwire::AddressRange range;
  if (rfcfiles::ParseAddressRange(text, range)) {
    FUZZ_CHECK(!text.empty());
    CheckRange(range);
  }
  return 0;
}
