// Connection opening: an options record, or the per-destination file with a connect text.
#include "session/open_connection.h"

#include <algorithm>
#include <climits>
#include <memory>

#include "rfcfiles/file_names.h"
#include "rfcfiles/standin_settings.h"

namespace kestrovan {

namespace {

constexpr std::string_view kPerDestinationPrefix = "SapRfc.";

char *TextOrAbsent(std::string &text) { return text.empty() ? nullptr : text.data(); }

void PadTo(std::string &text, std::size_t width) {
  if (text.size() < width) {
    text.append(width - text.size(), ' ');
  }
}

/// The system number as the library's int field takes it; a number beyond its range stays at
/// the range's end, which names no system, rather than wrapping round to a real one.
int SystemNumber(const std::string &text) {
  return static_cast<int>(std::clamp<long>(ReadLeadingInteger(text), INT_MIN, INT_MAX));
}

} // namespace

RFC_HANDLE OpenConnection(RfcSession &rfc, const ConnectionParameters &profile,
                          const ConnectionOverrides &overrides) {
  const auto texts = std::make_shared<RfcOpenTexts>();
  RfcOpenTexts &copies = *texts;
  copies.destination = profile.destination;
  copies.client = profile.client;
  copies.user = profile.user;
  copies.password = profile.password;
  copies.language = profile.language;
  copies.mode = profile.mode;
  copies.hostname = overrides.hostname.value_or(profile.hostname);
  copies.sysnr = overrides.sysnr.value_or(profile.sysnr);
  copies.gwhost = profile.gwhost;
  copies.gwservice = profile.gwservice;
  PadTo(copies.user, kUserFieldWidth);
  PadTo(copies.password, kPasswordFieldWidth);

  RFC_OPTIONS &options = copies.options;
  options = RFC_OPTIONS{};
  options.destination = copies.destination.data();
  options.client = copies.client.data();
  options.user = copies.user.data();
  options.password = copies.password.data();
  options.language = copies.language.data();
  if (copies.mode == "R/2") {
    options.mode = RFC_MODE_CPIC;
    copies.gateway = RFC_CONNOPT_CPIC{TextOrAbsent(copies.gwhost), TextOrAbsent(copies.gwservice)};
    options.connopt = &copies.gateway;
  } else {
    options.mode = RFC_MODE_R3ONLY;
    copies.server = RFC_CONNOPT_R3{TextOrAbsent(copies.hostname), SystemNumber(copies.sysnr),
                                   TextOrAbsent(copies.gwhost), TextOrAbsent(copies.gwservice)};
    options.connopt = &copies.server;
  }
  options.trace = 0;

  Platform &os = rfc.os();
  const std::string per_destination = std::string(kPerDestinationPrefix) + profile.destination;
  if (!os.IsFile(per_destination)) {
    const RFC_HANDLE handle = rfc.Open(texts);
    rfc.log().Write(handle, "RfcOpen called", "");
    return handle;
  }

  os.WriteStdout("* SapRfc.Ini.......: " + profile.destination + "<\n");
  // Neither library reads a destination file beyond its limit: a larger one is not copied, and
  // the open fails as for a destination file that cannot be written.
  if (!os.CopyFile(per_destination, std::string(rfcfiles::kDestinationFile),
                   rfcfiles::kLargestSettingsFile)) {
    return 0;
  }

  const std::string connect_text = "CLIENT=" + profile.client + " USER=" + profile.user +
                                   " PASSWD=" + profile.password +
                                   " LANG=D DEST=" + profile.destination;
  const RFC_HANDLE handle = rfc.OpenEx(connect_text);
  rfc.log().Write(handle, "RfcOpenEx called", "");
  return handle;
}

bool RefusedByTestLibrary(RfcSession &rfc) {
  return rfc.LastErrorKey() == rfcfiles::kTestLibraryKey;
}

} // namespace kestrovan
