// The system's side of the wire protocol, with every fault the system file can ask for.
#include "sapsim/session.h"

#include <thread>

#include "wire/text_util.h"
#include "wire/wire_channel.h"
#include "wire/wire_messages.h"
#include "sapsim/function_modules.h"

namespace sapsim {
namespace {

constexpr const char *kLogonRejected = "Name or password is incorrect (repeat logon)";

std::string DefaultFailureText(const std::string &subject) {
  return "Error in " + subject + " of the called system";
}

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

} // namespace

std::vector<std::uint8_t> GarbageBytes() {
  const std::string text = "this is no frame of the protocol\n";
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::vector<std::uint8_t> UnknownTypeBytes() {
  rfcwire::Frame frame;
  frame.type = rfcwire::MessageType::CallAccepted;
  std::vector<std::uint8_t> bytes = rfcwire::SerializeFrame(frame);
  bytes[5] = kUnknownMessageType;
  return bytes;
}

std::vector<std::uint8_t> MalformedReplyBytes() {
  rfcwire::PayloadWriter writer;
  writer.U32(0); // no importing values
  writer.U32(1); // one table...
  writer.Name("MISSING_INDEX");
  writer.U32(30);
  writer.U32(0xFFFFFFFFu); // ...claiming far more rows than the frame holds
  rfcwire::Frame frame;
  frame.type = rfcwire::MessageType::Reply;
  frame.payload = writer.Take();
  return rfcwire::SerializeFrame(frame);
}

Session::Session(rfcwire::Socket socket, std::string peer, const SystemDescription &system,
                 const std::atomic<bool> &stopping, EventLog &log, std::chrono::seconds idle_limit)
    : socket_(std::move(socket)), peer_(std::move(peer)), system_(system), stopping_(stopping),
      log_(log), idle_limit_(idle_limit) {}

void Session::Note(const std::string &event) { log_.Write(peer_ + ": " + event); }

bool Session::Await(rfcwire::Frame &frame) {
  const rfcwire::Deadline logon_due = rfcwire::Clock::now() + kFrameTime;
  const rfcwire::Deadline idle_end = rfcwire::Clock::now() + idle_limit_;
  while (!stopping_) {
    if (!logon_received_ && rfcwire::Clock::now() >= logon_due) {
      Note("no logon within " + std::to_string(kFrameTime.count()) + " s");
      return false;
    }
    if (logged_on_ && !hanging_ && rfcwire::Clock::now() >= idle_end) {
      Note("idle for " + std::to_string(idle_limit_.count()) + " s (--idle-limit), closed");
      return false;
    }
    std::string detail;
    const rfcwire::IoResult ready = rfcwire::WaitReadable(socket_, kStopPoll, detail);
    if (ready == rfcwire::IoResult::Timeout) {
      continue;
    }
    if (ready != rfcwire::IoResult::Done) {
      Note("connection failed: " + detail);
      return false;
    }
    // A stop shuts the socket down, which ends this wait at once even in the middle of a frame.
    rfcwire::Received received =
        rfcwire::ReceiveFrame(socket_, rfcwire::Clock::now() + kFrameTime,
                              logged_on_ ? rfcwire::kMaxPayload : rfcwire::kMaxLogonPayload);
    switch (received.status) {
    case rfcwire::ReceiveStatus::Ok:
      frame = std::move(received.frame);
      return true;
    case rfcwire::ReceiveStatus::Closed:
      Note(stopping_ ? "closed as the system stops" : "client closed the connection");
      return false;
    default:
      Note("bad data from client: " + received.detail);
      Send(rfcwire::Encode(rfcwire::MessageType::Failure,
                           rfcwire::Notice{"protocol violation: " + received.detail}));
      return false;
    }
  }
  return false;
}

void Session::HangUntilClosed() {
  hanging_ = true;
  for (;;) {
    // Each frame is dropped as soon as it has arrived, not kept until the next one.
    rfcwire::Frame ignored;
    if (!Await(ignored)) {
      return;
    }
  }
}

void Session::Sleep(std::chrono::milliseconds delay) {
  const rfcwire::Deadline end = rfcwire::Clock::now() + delay;
  while (!stopping_ && rfcwire::Clock::now() < end) {
    std::this_thread::sleep_for(
        std::min<rfcwire::Clock::duration>(kStopPoll, end - rfcwire::Clock::now()));
  }
}

bool Session::Send(const rfcwire::Frame &frame) {
  std::string detail;
  const rfcwire::IoResult sent =
      rfcwire::SendFrame(socket_, frame, rfcwire::Clock::now() + kFrameTime, detail);
  return sent == rfcwire::IoResult::Done;
}

Session::Next Session::Inflict(const Fault &fault, const std::string &subject) {
  std::string detail;
  switch (fault.kind) {
  case Fault::Kind::None:
  case Fault::Kind::Stall:   // sent with the reply itself
  case Fault::Kind::Trickle: // sent with the reply itself
    break;
  case Fault::Kind::Exception:
    Note(subject + ": raising exception " + fault.name);
    Send(rfcwire::Encode(rfcwire::MessageType::Exception,
                         rfcwire::RaisedException{fault.name, fault.text}));
    return Next::Continue;
  case Fault::Kind::SystemException:
    Note(subject + ": system exception");
    Send(rfcwire::Encode(
        rfcwire::MessageType::SystemException,
        rfcwire::RaisedException{"SYSTEM_FAILURE",
                                 fault.text.empty() ? DefaultFailureText(subject) : fault.text}));
    break;
  case Fault::Kind::Failure:
    Note(subject + ": failure");
    Send(rfcwire::Encode(
        rfcwire::MessageType::Failure,
        rfcwire::Notice{fault.text.empty() ? DefaultFailureText(subject) : fault.text}));
    break;
  case Fault::Kind::Hang:
    Note(subject + ": hanging until the client leaves");
    HangUntilClosed();
    break;
  case Fault::Kind::Drop:
    Note(subject + ": dropping the connection");
    break;
  case Fault::Kind::Garbage:
    Note(subject + ": sending garbage");
    rfcwire::SendAll(socket_,
                     subject == "logon"                  ? GarbageBytes()
                     : fault.phase == Fault::Phase::Call ? UnknownTypeBytes()
                                                         : MalformedReplyBytes(),
                     rfcwire::Clock::now() + kFrameTime, detail);
    HangUntilClosed();
    break;
  }
  return Next::End;
}

void Session::SendSlowly(const std::vector<std::uint8_t> &bytes, Fault::Kind kind,
                         const std::string &subject) {
  std::string detail;
  if (kind == Fault::Kind::Stall) {
    Note(subject + ": sending half the reply, then nothing");
    rfcwire::SendAll(socket_, std::span(bytes).first(bytes.size() / 2),
                     rfcwire::Clock::now() + kFrameTime, detail);
    HangUntilClosed();
    return;
  }
  Note(subject + ": sending the reply a byte at a time");
  for (std::size_t at = 0; at < bytes.size() && !stopping_; ++at) {
    if (rfcwire::SendAll(socket_, std::span(bytes).subspan(at, 1),
                         rfcwire::Clock::now() + kFrameTime, detail) != rfcwire::IoResult::Done) {
      return;
    }
    Sleep(kTrickleGap);
  }
}

bool Session::Logon() {
  rfcwire::Frame frame;
  if (!Await(frame)) {
    return false;
  }
  logon_received_ = true;
  rfcwire::LogonRequest logon;
  std::string problem;
  if (frame.type != rfcwire::MessageType::Logon || !rfcwire::Decode(frame, logon, problem)) {
    Note("expected a logon: " + problem);
    Send(rfcwire::Encode(rfcwire::MessageType::Failure,
                         rfcwire::Notice{"protocol violation: expected a logon"}));
    return false;
  }
  Sleep(system_.logon_delay);
  if (system_.logon_fault.kind != Fault::Kind::None) {
    Inflict(system_.logon_fault, "logon");
    return false;
  }
  if (logon.client != system_.client) {
    Note("logon rejected: client " + logon.client + " unknown");
    Send(rfcwire::Encode(
        rfcwire::MessageType::LogonRejected,
        rfcwire::Notice{"Client " + logon.client + " is not available in this system"}));
    return false;
  }
  if (rfcwire::ToUpper(logon.user) != rfcwire::ToUpper(system_.user) ||
      logon.password != system_.password) {
    Note("logon rejected for user " + logon.user);
    Send(rfcwire::Encode(rfcwire::MessageType::LogonRejected, rfcwire::Notice{kLogonRejected}));
    return false;
  }
  Note("logon accepted: client " + logon.client + " user " + logon.user + " language " +
       logon.language);
  logged_on_ = true;
  const auto sysid = system_.rfcsi.find("rfcsysid");
  return Send(rfcwire::Encode(
      rfcwire::LogonAccepted{sysid == system_.rfcsi.end() ? std::string() : sysid->second}));
}

Session::Next Session::Serve(const rfcwire::Frame &frame) {
  if (frame.type == rfcwire::MessageType::Close) {
    Note("client said goodbye");
    return Next::End;
  }
  rfcwire::CallRequest request;
  std::string problem;
  if (frame.type != rfcwire::MessageType::Call || !rfcwire::Decode(frame, request, problem)) {
    Note("expected a call: " + problem);
    Send(rfcwire::Encode(rfcwire::MessageType::Failure,
                         rfcwire::Notice{"protocol violation: expected a call"}));
    return Next::End;
  }
  const std::string function = rfcwire::ToUpper(request.function);
  FunctionBehaviour behaviour;
  if (const auto found = system_.functions.find(function); found != system_.functions.end()) {
    behaviour = found->second;
  }
  Note("call " + function);
  if (behaviour.fault.phase == Fault::Phase::Call && behaviour.fault.kind != Fault::Kind::None) {
    return Inflict(behaviour.fault, function);
  }
  if (!Send(rfcwire::EncodeEmpty(rfcwire::MessageType::CallAccepted))) {
    return Next::End;
  }
  Sleep(behaviour.delay);
  if (stopping_) {
    return Next::End;
  }
  const bool slow_reply =
      behaviour.fault.kind == Fault::Kind::Stall || behaviour.fault.kind == Fault::Kind::Trickle;
  if (behaviour.fault.kind != Fault::Kind::None && !slow_reply) {
    return Inflict(behaviour.fault, function);
  }
  const CallResult result = RunFunction(system_, request, LocalNow());
  if (slow_reply && result.kind != CallResult::Kind::SystemException) {
    SendSlowly(rfcwire::SerializeFrame(rfcwire::Encode(result.reply)), behaviour.fault.kind,
               function);
    return Next::End;
  }
  if (result.kind == CallResult::Kind::SystemException) {
    Note(function + ": " + result.raised.text);
    Send(rfcwire::Encode(rfcwire::MessageType::SystemException, result.raised));
    return Next::End;
  }
  return Send(rfcwire::Encode(result.reply)) ? Next::Continue : Next::End;
}

void Session::Run() noexcept {
  try {
    Note("connected");
    if (!Logon()) {
      return;
    }
    for (;;) {
      // A frame (up to the protocol's 64 MiB) lives only while it is served, not while the
      // session waits for the next one.
      rfcwire::Frame frame;
      if (!Await(frame) || Serve(frame) != Next::Continue) {
        break;
      }
    }
    Note("session ended");
  } catch (const std::exception &error) {
    try {
      Note(std::string("session ended by an error: ") + error.what());
    } catch (...) {
      // nothing more can be said when even the note fails
    }
  }
}

} // namespace sapsim
