// Each answer is decoded as its type says; anything the exchange does not expect at that point
// is a protocol violation.
#include "wire/wire_client.h"

#include <new>

namespace rfcwire {

namespace {

ClientOutcome Outcome(ClientOutcome::Kind kind, std::string text = {}) {
  ClientOutcome outcome;
  outcome.kind = kind;
  outcome.text = std::move(text);
  return outcome;
}

ClientOutcome Lost(const Received &received) {
  ClientOutcome outcome =
      Outcome(received.status == ReceiveStatus::Malformed ? ClientOutcome::Kind::Violation
                                                          : ClientOutcome::Kind::Lost,
              received.detail);
  outcome.status = received.status;
  return outcome;
}

ClientOutcome SendFailed(IoResult sent, std::string detail) {
  ClientOutcome outcome = Outcome(ClientOutcome::Kind::SendFailed, std::move(detail));
  outcome.sent = sent;
  return outcome;
}

/// A notice's text as the outcome of this kind; a notice that does not decode is a violation.
ClientOutcome FromNotice(const Frame &frame, ClientOutcome::Kind kind) {
  Notice notice;
  std::string problem;
  if (!Decode(frame, notice, problem)) {
    return Outcome(ClientOutcome::Kind::Violation, problem);
  }
  return Outcome(kind, notice.text);
}

ClientOutcome Unexpected(MessageType type, const char *waiting_for) {
  ClientOutcome outcome =
      Outcome(ClientOutcome::Kind::Violation, "unexpected message type " +
                                                  std::to_string(static_cast<int>(type)) +
                                                  " while waiting for " + waiting_for);
  outcome.unexpected = true;
  outcome.unexpected_type = type;
  return outcome;
}

} // namespace

WireClient WireClient::Connect(const std::string &host, const std::string &port, Deadline deadline,
                               const Reach &reach, std::string &detail, bool &out_of_reach) {
  return WireClient(rfcwire::Connect(host, port, deadline, reach, detail, out_of_reach));
}

void WireClient::SayGoodbye(Deadline deadline) {
  std::string ignored;
  SendFrame(socket_, EncodeEmpty(MessageType::Close), deadline, ignored);
}

IoResult WireClient::WaitForAnswer(std::chrono::milliseconds wait) {
  std::string ignored;
  return WaitReadable(socket_, wait, ignored);
}

Received WireClient::Next(Deadline deadline) {
  try {
    return ReceiveFrame(socket_, deadline);
  } catch (const std::bad_alloc &) {
    Received received;
    received.status = ReceiveStatus::Failed;
    received.detail = "out of memory for the partner's answer";
    return received;
  }
}

ClientOutcome WireClient::Logon(const LogonRequest &logon, Deadline deadline) {
  std::string detail;
  const IoResult sent = SendFrame(socket_, Encode(logon), deadline, detail);
  if (sent != IoResult::Done) {
    return SendFailed(sent, detail);
  }
  const Received received = Next(deadline);
  if (received.status != ReceiveStatus::Ok) {
    return Lost(received);
  }
  std::string problem;
  switch (received.frame.type) {
  case MessageType::LogonAccepted: {
    LogonAccepted accepted;
    if (!Decode(received.frame, accepted, problem)) {
      return Outcome(ClientOutcome::Kind::Violation, problem);
    }
    return Outcome(ClientOutcome::Kind::Ok);
  }
  case MessageType::LogonRejected:
    return FromNotice(received.frame, ClientOutcome::Kind::Rejected);
  case MessageType::Failure:
    return FromNotice(received.frame, ClientOutcome::Kind::SystemFailure);
  default:
    return Unexpected(received.frame.type, "the logon answer");
  }
}

ClientOutcome WireClient::Send(const CallRequest &request, Deadline deadline) {
  std::string detail;
  const IoResult sent = SendFrame(socket_, Encode(request), deadline, detail);
  return sent == IoResult::Done ? Outcome(ClientOutcome::Kind::Ok) : SendFailed(sent, detail);
}

ClientOutcome WireClient::AwaitAcceptance(Deadline deadline) {
  const Received received = Next(deadline);
  if (received.status != ReceiveStatus::Ok) {
    return Lost(received);
  }
  std::string problem;
  switch (received.frame.type) {
  case MessageType::CallAccepted:
    if (!DecodeEmpty(received.frame, problem)) {
      return Outcome(ClientOutcome::Kind::Violation, problem);
    }
    return Outcome(ClientOutcome::Kind::Ok);
  case MessageType::Failure:
    return FromNotice(received.frame, ClientOutcome::Kind::SystemFailure);
  default:
    return Unexpected(received.frame.type, "the call to be accepted");
  }
}

ClientOutcome WireClient::AwaitReply(Deadline deadline, Frame &frame, ReplyView &reply) {
  Received received = Next(deadline);
  if (received.status != ReceiveStatus::Ok) {
    return Lost(received);
  }
  frame = std::move(received.frame);
  std::string problem;
  ClientOutcome outcome;
  bool decoded = false;
  switch (frame.type) {
  case MessageType::Reply:
    decoded = Decode(frame, reply, problem);
    outcome.kind = ClientOutcome::Kind::Ok;
    break;
  case MessageType::Exception:
  case MessageType::SystemException:
    decoded = Decode(frame, outcome.raised, problem);
    outcome.kind = frame.type == MessageType::Exception ? ClientOutcome::Kind::Exception
                                                        : ClientOutcome::Kind::SystemException;
    break;
  case MessageType::Failure:
    return FromNotice(frame, ClientOutcome::Kind::SystemFailure);
  default:
    return Unexpected(frame.type, "the reply");
  }
  if (!decoded) {
    return Outcome(ClientOutcome::Kind::Violation, problem);
  }
  return outcome;
}

} // namespace rfcwire
