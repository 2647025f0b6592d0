// Logon, call and reply exchanges with their time limits, and the mapping of what can go wrong.
#include "rfclib/connection.h"

#include <algorithm>
#include <new>

#include "wire/wire_channel.h"

namespace rfclib {
namespace {

constexpr std::chrono::milliseconds kGoodbyeWait{500};

WaitLimit Limit(std::chrono::milliseconds limit, rfcwire::Deadline until, rfcwire::Deadline end,
                std::chrono::milliseconds connection) {
  return WaitLimit{limit, end < until, connection};
}

// Failures of waiting for a frame; every one of them leaves the stream unusable.
Failure FromReceived(const rfcwire::Received &received, const WaitLimit &wait) {
  Failure failure;
  failure.connection_lost = true;
  failure.key = kKeyCommunication;
  switch (received.status) {
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
    failure.key = kKeyProtocol;
    failure.reason = kReasonMalformed;
    failure.detail = received.detail;
    failure.protocol_violation = true;
    break;
  case rfcwire::ReceiveStatus::Failed:
  case rfcwire::ReceiveStatus::Ok:
    failure.reason = kReasonBroken;
    failure.detail = received.detail;
    break;
  }
  return failure;
}

Failure Violation(std::string detail) {
  Failure failure = MakeFailure(kKeyProtocol, kReasonMalformed, std::move(detail));
  failure.protocol_violation = true;
  failure.connection_lost = true;
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

std::string Unexpected(rfcwire::MessageType type, const char *waiting_for) {
  return "unexpected message type " + std::to_string(static_cast<int>(type)) +
         " while waiting for " + waiting_for;
}

// A system's failure notice: its own text is the reason the user must see.
Failure SystemFailure(const rfcwire::Frame &frame, const std::string &context) {
  rfcwire::Notice notice;
  std::string problem;
  if (!rfcwire::Decode(frame, notice, problem)) {
    return Violation(problem);
  }
  Failure failure = MakeFailure(
      kKeySystemFailure,
      notice.text.empty() ? std::string("failure in the partner system") : notice.text, context);
  failure.connection_lost = true;
  return failure;
}

} // namespace

std::unique_ptr<Connection> Connection::Open(const Endpoint &endpoint,
                                             const rfcwire::LogonRequest &logon,
                                             const Timeouts &timeouts, Failure &failure) {
  const rfcwire::Deadline start = rfcwire::Clock::now();
  const rfcwire::Deadline end = start + timeouts.connection;
  const rfcwire::Deadline deadline = std::min(start + timeouts.connect, end);
  const WaitLimit wait =
      Limit(timeouts.connect, start + timeouts.connect, end, timeouts.connection);
  std::string detail;
  rfcwire::Socket socket = rfcwire::Connect(endpoint.host, endpoint.port, deadline, detail);
  if (!socket.IsOpen()) {
    failure = MakeFailure(kKeyCommunication, kReasonNotReached, detail);
    return nullptr;
  }
  const rfcwire::IoResult sent =
      rfcwire::SendFrame(socket, rfcwire::Encode(logon), deadline, detail);
  if (sent != rfcwire::IoResult::Done) {
    failure = SendFailure(sent, detail);
    return nullptr;
  }
  const rfcwire::Received received = rfcwire::ReceiveFrame(socket, deadline);
  if (received.status != rfcwire::ReceiveStatus::Ok) {
    failure = FromReceived(received, wait);
    return nullptr;
  }
  std::string problem;
  switch (received.frame.type) {
  case rfcwire::MessageType::LogonAccepted: {
    rfcwire::LogonAccepted accepted;
    if (!rfcwire::Decode(received.frame, accepted, problem)) {
      failure = Violation(problem);
      return nullptr;
    }
    return std::make_unique<Connection>(std::move(socket), endpoint.Describe(), timeouts, end);
  }
  case rfcwire::MessageType::LogonRejected: {
    rfcwire::Notice notice;
    if (!rfcwire::Decode(received.frame, notice, problem)) {
      failure = Violation(problem);
      return nullptr;
    }
    failure = MakeFailure(kKeyLogon, notice.text.empty() ? kReasonLogonRejected : notice.text,
                          "logon of client " + logon.client + " user " + logon.user + " rejected");
    return nullptr;
  }
  case rfcwire::MessageType::Failure:
    failure = SystemFailure(received.frame, "during logon");
    return nullptr;
  default:
    failure = Violation(Unexpected(received.frame.type, "the logon answer"));
    return nullptr;
  }
}

Connection::Connection(rfcwire::Socket socket, std::string partner, Timeouts timeouts,
                       rfcwire::Deadline end)
    : socket_(std::move(socket)), partner_(std::move(partner)), timeouts_(timeouts), end_(end) {}

rfcwire::Deadline Connection::WaitUntil(std::chrono::milliseconds limit) const {
  return std::min(rfcwire::Clock::now() + limit, end_);
}

Connection::~Connection() {
  // A polite goodbye lets the system end the session at once; without it, it sees the close.
  // It runs inside RfcClose, possibly from the error handler, so nothing may escape it.
  if (socket_.IsOpen() && !pending_) {
    try {
      std::string ignored;
      rfcwire::SendFrame(socket_, rfcwire::EncodeEmpty(rfcwire::MessageType::Close),
                         WaitUntil(kGoodbyeWait), ignored);
    } catch (const std::exception &) {
      // the socket closes below all the same
    }
  }
}

rfcwire::Received Connection::Await(WaitLimit &wait) {
  const rfcwire::Deadline until = rfcwire::Clock::now() + timeouts_.call;
  wait = Limit(timeouts_.call, until, end_, timeouts_.connection);
  try {
    return rfcwire::ReceiveFrame(socket_, std::min(until, end_));
  } catch (const std::bad_alloc &) {
    rfcwire::Received received;
    received.status = rfcwire::ReceiveStatus::Failed;
    received.detail = "out of memory for the partner's answer";
    return received;
  }
}

bool Connection::Call(const rfcwire::CallRequest &request, Failure &failure) {
  std::string detail;
  const rfcwire::IoResult sent =
      rfcwire::SendFrame(socket_, rfcwire::Encode(request), WaitUntil(timeouts_.call), detail);
  if (sent != rfcwire::IoResult::Done) {
    failure = SendFailure(sent, detail);
    return false;
  }
  WaitLimit wait{};
  const rfcwire::Received received = Await(wait);
  if (received.status != rfcwire::ReceiveStatus::Ok) {
    failure = FromReceived(received, wait);
    return false;
  }
  std::string problem;
  switch (received.frame.type) {
  case rfcwire::MessageType::CallAccepted:
    if (!rfcwire::DecodeEmpty(received.frame, problem)) {
      failure = Violation(problem);
      return false;
    }
    pending_ = true;
    function_ = request.function;
    return true;
  case rfcwire::MessageType::Failure:
    failure = SystemFailure(received.frame, "call not accepted by the system");
    return false;
  default:
    failure = Violation(Unexpected(received.frame.type, "the call to be accepted"));
    return false;
  }
}

Connection::Outcome Connection::Receive(rfcwire::Frame &frame, rfcwire::ReplyView &reply,
                                        rfcwire::RaisedException &raised, Failure &failure) {
  WaitLimit wait{};
  rfcwire::Received received = Await(wait);
  pending_ = false;
  if (received.status != rfcwire::ReceiveStatus::Ok) {
    failure = FromReceived(received, wait);
    return Outcome::Failed;
  }
  frame = std::move(received.frame);
  std::string problem;
  bool decoded = false;
  Outcome outcome = Outcome::Failed;
  switch (frame.type) {
  case rfcwire::MessageType::Reply:
    try {
      decoded = rfcwire::Decode(frame, reply, problem);
    } catch (const std::bad_alloc &) {
      failure = MakeFailure(kKeyInternal, "out of memory", "for the reply of " + function_);
      failure.connection_lost = true;
      return Outcome::Failed;
    }
    outcome = Outcome::Done;
    break;
  case rfcwire::MessageType::Exception:
    decoded = rfcwire::Decode(frame, raised, problem);
    outcome = Outcome::Exception;
    break;
  case rfcwire::MessageType::SystemException:
    decoded = rfcwire::Decode(frame, raised, problem);
    outcome = Outcome::SystemException;
    break;
  case rfcwire::MessageType::Failure:
    failure = SystemFailure(frame, "failure reported by the system");
    return Outcome::Failed;
  default:
    failure = Violation(Unexpected(frame.type, "the reply"));
    return Outcome::Failed;
  }
  if (!decoded) {
    failure = Violation(problem);
    return Outcome::Failed;
  }
  return outcome;
}

} // namespace rfclib
