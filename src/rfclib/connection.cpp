// Logon, call and reply exchanges with their time limits, and the mapping of what can go wrong
// into the classic library's failures.
#include "rfclib/connection.h"

#include <algorithm>
#include <new>

namespace rfclib {
namespace {

constexpr std::chrono::milliseconds kGoodbyeWait{500};

WaitLimit Limit(std::chrono::milliseconds limit, rfcwire::Deadline until, rfcwire::Deadline end,
                std::chrono::milliseconds connection) {
  return WaitLimit{limit, end < until, connection};
}

Failure Violation(std::string detail) {
  Failure failure = MakeFailure(kKeyProtocol, kReasonMalformed, std::move(detail));
  failure.protocol_violation = true;
  failure.connection_lost = true;
  return failure;
}

// Failures of waiting for a frame; every one of them leaves the stream unusable.
Failure FromLost(const rfcwire::ClientOutcome &outcome, const WaitLimit &wait) {
  Failure failure;
  failure.connection_lost = true;
  failure.key = kKeyCommunication;
  switch (outcome.status) {
  case rfcwire::ReceiveStatus::Timeout:
    failure.reason = kReasonTimeout;
    failure.detail = wait.connection_limit
                         ? "no answer within the connection's limit of " +
                               std::to_string(wait.connection.count()) + " ms"
                         : "no answer within " + std::to_string(wait.limit.count()) + " ms";
    break;
  case rfcwire::ReceiveStatus::Closed:
    failure.reason = kReasonClosed;
    break;
  case rfcwire::ReceiveStatus::Malformed:
  case rfcwire::ReceiveStatus::Failed:
  case rfcwire::ReceiveStatus::Ok:
    failure.reason = kReasonBroken;
    failure.detail = outcome.text;
    break;
  }
  return failure;
}

Failure SendFailure(rfcwire::IoResult result, std::string detail) {
  Failure failure = MakeFailure(kKeyCommunication,
                                result == rfcwire::IoResult::Timeout  ? "timeout during send"
                                : result == rfcwire::IoResult::Closed ? kReasonClosed
                                                                      : kReasonBroken,
                                std::move(detail));
  failure.connection_lost = true;
  return failure;
}

// A system's failure notice: its own text is the reason the user must see.
Failure SystemFailure(const std::string &text, const std::string &context) {
  Failure failure =
      MakeFailure(kKeySystemFailure,
                  text.empty() ? std::string("failure in the partner system") : text, context);
  failure.connection_lost = true;
  return failure;
}

/// The failure of an exchange step that did not come to Ok; `context` names the system's
/// failure notice.
Failure FromOutcome(const rfcwire::ClientOutcome &outcome, const WaitLimit &wait,
                    const std::string &context) {
  switch (outcome.kind) {
  case rfcwire::ClientOutcome::Kind::SendFailed:
    return SendFailure(outcome.sent, outcome.text);
  case rfcwire::ClientOutcome::Kind::Lost:
    return FromLost(outcome, wait);
  case rfcwire::ClientOutcome::Kind::SystemFailure:
    return SystemFailure(outcome.text, context);
  default:
    return Violation(outcome.text);
  }
}

} // namespace

std::unique_ptr<Connection> Connection::Open(const Endpoint &endpoint,
                                             const rfcwire::LogonRequest &logon,
                                             const Timeouts &timeouts, const rfcwire::Reach &reach,
                                             Failure &failure) {
  const rfcwire::Deadline start = rfcwire::Clock::now();
  const rfcwire::Deadline end = start + timeouts.connection;
  const rfcwire::Deadline deadline = std::min(start + timeouts.connect, end);
  const WaitLimit wait =
      Limit(timeouts.connect, start + timeouts.connect, end, timeouts.connection);
  std::string detail;
  bool out_of_reach = false;
  rfcwire::WireClient client = rfcwire::WireClient::Connect(endpoint.host, endpoint.port, deadline,
                                                            reach, detail, out_of_reach);
  if (out_of_reach) {
    failure = MakeFailure(kKeyTestLibrary, kReasonOutOfReach,
                          detail + "; nothing was sent: install SAP's RFC library");
    return nullptr;
  }
  if (!client.IsOpen()) {
    failure = MakeFailure(kKeyCommunication, kReasonNotReached, detail);
    return nullptr;
  }
  const rfcwire::ClientOutcome outcome = client.Logon(logon, deadline);
  switch (outcome.kind) {
  case rfcwire::ClientOutcome::Kind::Ok:
    return std::make_unique<Connection>(std::move(client), endpoint.Describe(), timeouts, end,
                                        logon.password);
  case rfcwire::ClientOutcome::Kind::Rejected:
    failure = MakeFailure(kKeyLogon, outcome.text.empty() ? kReasonLogonRejected : outcome.text,
                          "logon of client " + logon.client + " user " + logon.user + " rejected");
    return nullptr;
  default:
    failure = FromOutcome(outcome, wait, "during logon");
    return nullptr;
  }
}

Connection::Connection(rfcwire::WireClient client, std::string partner, Timeouts timeouts,
                       rfcwire::Deadline end, std::string password)
    : client_(std::move(client)), partner_(std::move(partner)), timeouts_(timeouts), end_(end),
      password_(std::move(password)) {}

Failure Connection::Masked(Failure failure) const {
  MaskPassword(failure.reason, password_);
  MaskPassword(failure.detail, password_);
  return failure;
}

std::string Connection::Masked(std::string text) const {
  MaskPassword(text, password_);
  return text;
}

rfcwire::Deadline Connection::WaitUntil(std::chrono::milliseconds limit) const {
  return std::min(rfcwire::Clock::now() + limit, end_);
}

Connection::~Connection() {
  // A polite goodbye lets the system end the session at once; without it, it sees the close.
  // It runs inside RfcClose, possibly from the error handler, so nothing may escape it.
  if (client_.IsOpen() && !pending_) {
    try {
      client_.SayGoodbye(WaitUntil(kGoodbyeWait));
    } catch (const std::exception &) {
      // the socket closes below all the same
    }
  }
  // The password lives no longer than the connection, not even in freed memory.
  std::fill(password_.begin(), password_.end(), '\0');
}

WaitLimit Connection::NextWait(rfcwire::Deadline &until) const {
  const rfcwire::Deadline own = rfcwire::Clock::now() + timeouts_.call;
  until = std::min(own, end_);
  return Limit(timeouts_.call, own, end_, timeouts_.connection);
}

bool Connection::Call(const rfcwire::CallRequest &request, Failure &failure) {
  rfcwire::ClientOutcome outcome = client_.Send(request, WaitUntil(timeouts_.call));
  WaitLimit wait{};
  if (outcome.kind == rfcwire::ClientOutcome::Kind::Ok) {
    rfcwire::Deadline until{};
    wait = NextWait(until);
    outcome = client_.AwaitAcceptance(until);
  }
  if (outcome.kind != rfcwire::ClientOutcome::Kind::Ok) {
    failure = FromOutcome(outcome, wait, "call not accepted by the system");
    return false;
  }
  pending_ = true;
  function_ = request.function;
  return true;
}

Connection::Outcome Connection::Receive(rfcwire::Frame &frame, rfcwire::ReplyView &reply,
                                        rfcwire::RaisedException &raised, Failure &failure) {
  rfcwire::Deadline until{};
  const WaitLimit wait = NextWait(until);
  pending_ = false;
  rfcwire::ClientOutcome outcome;
  try {
    outcome = client_.AwaitReply(until, frame, reply);
  } catch (const std::bad_alloc &) {
    failure = MakeFailure(kKeyInternal, "out of memory", "for the reply of " + function_);
    failure.connection_lost = true;
    return Outcome::Failed;
  }
  switch (outcome.kind) {
  case rfcwire::ClientOutcome::Kind::Ok:
    return Outcome::Done;
  case rfcwire::ClientOutcome::Kind::Exception:
    raised = std::move(outcome.raised);
    return Outcome::Exception;
  case rfcwire::ClientOutcome::Kind::SystemException:
    raised = std::move(outcome.raised);
    return Outcome::SystemException;
  default:
    failure = FromOutcome(outcome, wait, "failure reported by the system");
    return Outcome::Failed;
  }
}

} // namespace rfclib
