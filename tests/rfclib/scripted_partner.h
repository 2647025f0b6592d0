// An in-process partner that logs the client on, accepts one call and answers with given bytes.
#pragma once

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "wire/transport.h"

namespace kestrovan_test {

class ScriptedPartner {
public:
  /// Listens on a random loopback address at a free port (or at `port`); `answer` is sent after
  /// the call was accepted, or in place of the logon's answer when `at_logon`, and then the
  /// partner closes.
  explicit ScriptedPartner(std::vector<std::uint8_t> answer, const std::string &port = "0",
                           bool at_logon = false);
  ~ScriptedPartner();
  ScriptedPartner(const ScriptedPartner &) = delete;
  ScriptedPartner &operator=(const ScriptedPartner &) = delete;

  const std::string &Address() const { return address_; }
  std::string Port() const { return std::to_string(port_); }

private:
  void Play();

  std::vector<std::uint8_t> answer_;
  bool at_logon_ = false;
  std::string address_;
  int port_ = 0;
  rfcwire::Socket listener_;
  std::thread thread_;
};

} // namespace kestrovan_test
