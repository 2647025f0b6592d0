// Each outcome of the shared wire client in the NetWeaver library's codes and texts.
#include "nwrfclib/nwrfc_exchange.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "rfcfiles/bounded_file.h"
#include "rfcfiles/destination_file.h"
#include "rfcfiles/connect_data.h"
#include "rfcfiles/standin_settings.h"
#include "rfcfiles/trace_block.h"

namespace nwrfclib {

namespace {

using namespace std::chrono_literals;
using Step = rfcwire::ClientOutcome::Kind;

/// Open gives up after this (the connect and the logon answer); SAP's library has limits of its
/// own in its network layer.
constexpr std::chrono::milliseconds kOpenLimit = 60s;
/// Once the first byte of an answer came, the rest of the frame must follow within this.
constexpr std::chrono::milliseconds kFrameLimit = 60s;
/// How often a waiting call looks whether it was cancelled.
constexpr std::chrono::milliseconds kCancelPoll = 50ms;

/// Keys of SAP's network layer stand in the first 12 columns, the value after them.
std::string Keyed(std::string_view key, std::string_view value) {
  std::string line(key);
  line.resize(12, ' ');
  return line + std::string(value) + "\n";
}

/// A failure of the network, told as SAP's library tells it: a block of keyed lines, each ended
/// by LF, after a line end; the ERROR line says what went wrong, DETAIL what the socket said.
Rc Communication(ErrorInfo *error, std::string_view what, std::string_view detail = {}) {
  // Appended piece by piece: GCC 12 takes "\n" + text for an overlapping copy (-Wrestrict).
  std::string message = "\n";
  message += Keyed("LOCATION", "CPIC (TCP/IP) on local host with Unicode");
  message += Keyed("ERROR", what);
  message += Keyed("TIME", rfcfiles::ClassicTime(rfcfiles::LocalNow()));
  message += Keyed("RELEASE", "750");
  message += Keyed("COMPONENT", "NI (network interface)");
  if (!detail.empty()) {
    message += Keyed("DETAIL", detail.substr(0, 120));
  }
  return Fill(error, nwrfc::kCommunicationFailure, nwrfc::kGroupCommunicationFailure,
              u"RFC_COMMUNICATION_FAILURE", message);
}

Rc Malformed(ErrorInfo *error, std::string problem) {
  return Fill(error, nwrfc::kInvalidProtocol, nwrfc::kGroupCommunicationFailure,
              u"RFC_INVALID_PROTOCOL", "malformed data from partner: " + problem);
}

Rc Cancelled(ErrorInfo *error) {
  return Fill(error, nwrfc::kCanceled, nwrfc::kGroupCommunicationFailure, u"RFC_CANCELED",
              "Connection was canceled.");
}

/// A step that did not come to Ok, other than an ABAP exception; `expected` names what an
/// unexpected frame was no answer of.
Rc Failed(const rfcwire::ClientOutcome &outcome, const std::string &expected, ErrorInfo *error) {
  switch (outcome.kind) {
  case Step::SendFailed:
    return Communication(error, "connection broken: " + outcome.text);
  case Step::Lost:
    return Communication(error, outcome.status == rfcwire::ReceiveStatus::Closed
                                    ? std::string("connection closed by partner")
                                    : "connection broken: " + outcome.text);
  case Step::SystemFailure:
    // A failure notice of the system: its own text, one line, is what the user must see.
    return Fill(error, nwrfc::kCommunicationFailure, nwrfc::kGroupCommunicationFailure,
                u"RFC_COMMUNICATION_FAILURE",
                outcome.text.empty() ? "failure in the partner system" : outcome.text);
  case Step::Rejected:
    return Fill(error, nwrfc::kLogonFailure, nwrfc::kGroupLogonFailure, u"RFC_LOGON_FAILURE",
                outcome.text.empty() ? "Name or password is incorrect" : outcome.text);
  default:
    return Malformed(error, outcome.unexpected && !expected.empty() ? expected : outcome.text);
  }
}

/// Waits for the next answer to begin, looking for a cancel in between: false when cancelled.
bool AwaitAnswer(Connection &connection) {
  while (!connection.cancelled) {
    if (connection.client.WaitForAnswer(kCancelPoll) != rfcwire::IoResult::Timeout) {
      return true;
    }
  }
  return false;
}

} // namespace

Rc OpenConnection(const nwrfc::ConnectionParameter *parameters, unsigned count,
                  nwrfc::ConnectionHandle &handle, ErrorInfo *error) {
  // SAP's library, told to go on without its ICU files, says so on standard error at each open.
  if (std::getenv("NLSUI_7BIT_FALLBACK") != nullptr) {
    std::fputs("NLSUI_7BIT_FALLBACK is set: the stand-in goes on in 7-bit mode\n", stderr);
    std::fflush(stderr);
  }
  std::map<std::string, std::u16string> values;
  for (unsigned i = 0; parameters != nullptr && i < count; ++i) {
    values[ToUpper(Latin1(Terminated(parameters[i].name)))] = Terminated(parameters[i].value);
  }
  const auto value = [&](const char *name) {
    const auto found = values.find(name);
    return found == values.end() ? std::string() : Latin1(found->second);
  };
  if (!value("DEST").empty() || !value("MSHOST").empty() || !value("SAPLOGON_ID").empty()) {
    return Fill(error, nwrfc::kNotSupported, nwrfc::kGroupExternalRuntimeFailure,
                u"RFC_NOT_SUPPORTED",
                "the stand-in connects to an application server only (ASHOST and SYSNR)");
  }
  const std::string host = value("ASHOST");
  const std::string sysnr = value("SYSNR");
  if (host.empty()) {
    return BadParameter(error, "Parameter ASHOST, GWHOST, MSHOST or PORT is missing.");
  }
  if (!rfcfiles::IsSystemNumber(sysnr)) {
    return BadParameter(error, "Parameter SYSNR is missing or not two digits.");
  }
  const std::string port = std::to_string(3300 + std::stoi(sysnr));
  const std::string partner = host + ":" + port;

  // The stand-in shares the classic stand-in's settings file for where it may connect; its own
  // time limits stay as they are.
  const rfcfiles::StandinSettings settings =
      rfcfiles::ReadStandinSettings(std::string(rfcfiles::kStandinSettingsFile), {});
  if (!settings.logon_record.empty()) {
    std::string record;
    for (const auto &[name, text] : values) {
      record += name + "=" +
                (name == "PASSWD" ? std::string("(- secret -)")
                                  : rfcfiles::MaskRoutePasswords(Latin1(text))) +
                "\n";
    }
    rfcfiles::AppendToRegularFile(settings.logon_record, record + "\n");
  }
  const rfcwire::Reach &reach = settings.reach;
  const rfcwire::Deadline deadline = rfcwire::Clock::now() + kOpenLimit;
  std::string detail;
  bool out_of_reach = false;
  rfcwire::WireClient client =
      rfcwire::WireClient::Connect(host, port, deadline, reach, detail, out_of_reach);
  if (out_of_reach) {
    return Fill(error, nwrfc::kCommunicationFailure, nwrfc::kGroupCommunicationFailure,
                Wide(rfcfiles::kTestLibraryKey),
                "partner not on this machine: the stand-in is a test library (" + detail +
                    "; nothing was sent: install SAP's RFC library)");
  }
  if (!client.IsOpen()) {
    return Communication(error,
                         detail.starts_with("cannot resolve")
                             ? "hostname '" + host + "' unknown"
                             : "partner '" + partner + "' not reached",
                         detail);
  }
  rfcwire::LogonRequest logon;
  logon.client = value("CLIENT");
  logon.user = value("USER");
  logon.password = value("PASSWD");
  logon.language = value("LANG");
  const rfcwire::ClientOutcome outcome = client.Logon(logon, deadline);
  switch (outcome.kind) {
  case Step::Ok:
    break;
  case Step::Rejected:
  case Step::SystemFailure:
    return Failed(outcome, "", error);
  default:
    // SAP's library takes a partner that closes, or talks no RFC, during the open for a broken
    // connection, not for a breach of the protocol: the caller goes on to its next system.
    if (outcome.kind == Step::Lost && outcome.status == rfcwire::ReceiveStatus::Timeout) {
      return Communication(error, "timeout occured", "no logon answer from " + partner); // sic
    }
    return Communication(error, "connection to partner '" + partner + "' broken", outcome.text);
  }
  State &state = Shared();
  std::lock_guard lock(state.mutex);
  auto connection = std::make_unique<Connection>();
  connection->client = std::move(client);
  connection->partner = partner;
  const std::uintptr_t id = state.next_id++;
  state.connections[id] = std::move(connection);
  handle = Handle(id);
  return Ok(error);
}

Rc Exchange(State &state, Connection &connection, Node &function, ErrorInfo *error) {
  rfcwire::ClientOutcome outcome =
      connection.client.Send(Request(function), rfcwire::Clock::now() + kFrameLimit);
  if (connection.cancelled) {
    return Cancelled(error);
  }
  if (outcome.kind != Step::Ok) {
    return Failed(outcome, "", error);
  }
  if (!AwaitAnswer(connection)) {
    return Cancelled(error);
  }
  outcome = connection.client.AwaitAcceptance(rfcwire::Clock::now() + kFrameLimit);
  if (connection.cancelled) {
    return Cancelled(error);
  }
  if (outcome.kind != Step::Ok) {
    return Failed(outcome, "no acceptance of the call", error);
  }
  if (!AwaitAnswer(connection)) {
    return Cancelled(error);
  }
  rfcwire::Frame frame; // the reply's tables stay in here until they are taken
  rfcwire::ReplyView reply;
  outcome = connection.client.AwaitReply(rfcwire::Clock::now() + kFrameLimit, frame, reply);
  if (connection.cancelled) {
    return Cancelled(error);
  }
  switch (outcome.kind) {
  case Step::Ok: {
    std::lock_guard lock(state.mutex);
    TakeReply(function, reply);
    return Ok(error);
  }
  case Step::Exception:
  case Step::SystemException: {
    const rfcwire::RaisedException &raised = outcome.raised;
    const std::string message = raised.text.empty() ? raised.name : raised.text;
    return outcome.kind == Step::SystemException
               ? Fill(error, nwrfc::kAbapRuntimeFailure, nwrfc::kGroupAbapRuntimeFailure,
                      Wide(raised.name), message)
               : Fill(error, nwrfc::kAbapException, nwrfc::kGroupAbapApplicationFailure,
                      Wide(raised.name), message);
  }
  default:
    return Failed(outcome,
                  outcome.unexpected ? "unexpected message type " +
                                           std::to_string(static_cast<int>(outcome.unexpected_type))
                                     : std::string(),
                  error);
  }
}

} // namespace nwrfclib
