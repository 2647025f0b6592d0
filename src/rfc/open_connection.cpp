// Connection opening: options record or per-destination file with connect text.
#include "rfc/open_connection.h"

#include "output/log_lines.h"
#include "output/option_text.h"
#include "rfc/rfc_calls.h"

namespace {

constexpr std::string_view kDestinationFile = "SapRfc.ini";
constexpr std::string_view kPerDestinationPrefix = "SapRfc.";

char *TextOrAbsent(std::string &text) { return text.empty() ? nullptr : text.data(); }

void PadTo(std::string &text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
}

} // namespace

std::optional<std::string> OptionValue(const RunState &state, std::string_view keyword) {
  const std::size_t at = FindOption(state, keyword);
  if (at == std::string::npos) return std::nullopt;
  std::string value = state.ParameterString.substr(at + keyword.size());
  return value.substr(0, value.find_first_of(", "));
}

RFC_HANDLE OpenConnection(RunState &state) {
  const ConnectionParameters &profile = state.Connection;
  RfcOpenCopies &copies = state.OpenCopies;
  copies.destination = profile.destination;
  copies.client = profile.client;
  copies.user = profile.user;
  copies.password = profile.password;
  copies.language = profile.language;
  copies.mode = profile.mode;
  copies.hostname = profile.hostname;
  copies.sysnr = profile.sysnr;
  copies.gwhost = profile.gwhost;
  copies.gwservice = profile.gwservice;

  if (auto host = OptionValue(state, ",HOST=")) copies.hostname = *host;
  if (auto number = OptionValue(state, ",NO=")) copies.sysnr = *number;
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
    copies.server = RFC_CONNOPT_R3{TextOrAbsent(copies.hostname),
                                   static_cast<int>(ReadLeadingInteger(copies.sysnr)),
                                   TextOrAbsent(copies.gwhost), TextOrAbsent(copies.gwservice)};
    options.connopt = &copies.server;
  }
  options.trace = 0;

  const auto per_destination =
      state.os.ReadBytes(std::string(kPerDestinationPrefix) + profile.destination);
  if (!per_destination) {
    const RFC_HANDLE handle = RfcCalls(state).Open(&options);
    WriteLogLine(state, handle, "RfcOpen called", "");
    return handle;
  }

  state.os.WriteStdout("* SapRfc.Ini.......: " + profile.destination + "<\n");
  if (!state.os.WriteBytes(std::string(kDestinationFile), *per_destination)) return 0;

  const std::string connect_text = "CLIENT=" + profile.client + " USER=" + profile.user +
                                   " PASSWD=" + profile.password +
                                   " LANG=D DEST=" + profile.destination;
  RFC_ERROR_INFO_EX error_info{};
  const RFC_HANDLE handle = RfcCalls(state).OpenEx(connect_text.c_str(), &error_info);
  WriteLogLine(state, handle, "RfcOpenEx called", "");
  return handle;
}
