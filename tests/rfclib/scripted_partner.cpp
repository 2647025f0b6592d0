// The scripted partner's one conversation, bounded in time so a broken client cannot hang a test.
#include "scripted_partner.h"

#include <stdexcept>

#include "wire/wire_channel.h"
#include "wire/wire_messages.h"
#include "support/simulated_system.h"

namespace kestrovan_test {
namespace {

constexpr std::chrono::seconds kPatience{10};

} // namespace

ScriptedPartner::ScriptedPartner(std::vector<std::uint8_t> answer, const std::string &port,
                                 bool at_logon)
    : answer_(std::move(answer)), at_logon_(at_logon) {
  std::string problem;
  for (int attempt = 0; attempt < 5 && !listener_.IsOpen(); ++attempt) {
    address_ = RandomLoopbackAddress();
    listener_ = rfcwire::Listen(address_, port, port_, problem);
  }
  if (!listener_.IsOpen()) {
    throw std::runtime_error("scripted partner cannot listen: " + problem);
  }
  thread_ = std::thread([this] { Play(); });
}

ScriptedPartner::~ScriptedPartner() { thread_.join(); }

void ScriptedPartner::Play() {
  rfcwire::Socket socket = rfcwire::Accept(listener_, kPatience);
  if (!socket.IsOpen()) {
    return;
  }
  const auto deadline = rfcwire::Clock::now() + kPatience;
  std::string detail;
  if (at_logon_) {
    if (rfcwire::ReceiveFrame(socket, deadline).status == rfcwire::ReceiveStatus::Ok) {
      rfcwire::SendAll(socket, answer_, deadline, detail);
    }
    return;
  }
  if (rfcwire::ReceiveFrame(socket, deadline).status != rfcwire::ReceiveStatus::Ok ||
      rfcwire::SendFrame(socket, rfcwire::Encode(rfcwire::LogonAccepted{"TST"}), deadline,
                         detail) != rfcwire::IoResult::Done ||
      rfcwire::ReceiveFrame(socket, deadline).status != rfcwire::ReceiveStatus::Ok ||
      rfcwire::SendFrame(socket, rfcwire::EncodeEmpty(rfcwire::MessageType::CallAccepted), deadline,
                         detail) != rfcwire::IoResult::Done) {
    return;
  }
  rfcwire::SendAll(socket, answer_, deadline, detail);
  // Closing at once could reset the connection before the client has read the answer; the
  // client closes (or times out) first.
  while (rfcwire::ReceiveFrame(socket, deadline).status == rfcwire::ReceiveStatus::Ok) {
  }
}

} // namespace kestrovan_test
