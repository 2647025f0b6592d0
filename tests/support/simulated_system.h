// Starts build/sapsim on a random loopback address for a test and stops it whatever happens.
#pragma once

#include <string>
#include <string_view>
#include <vector>
#include <sys/types.h>

#include "support/scoped_temp_dir.h"

namespace kestrovan_test {

/// A 127.x.y.z address other than 127.0.0.1, so parallel tests do not meet on one port.
std::string RandomLoopbackAddress();

/// One running sapsim. The constructor writes the system file into a temporary folder, starts the
/// simulator on a fresh random loopback address at `port` and waits (at most 10 s) for its
/// "listening" line; it throws std::runtime_error, with sapsim's messages, when that fails. The
/// destructor sends SIGTERM, waits up to 5 s, then SIGKILLs, reaps the process and removes the
/// folder.
class SimulatedSystem {
public:
  /// The gateway port of system number NN is 3300 + NN; mode 0 connections need such a port.
  static constexpr int kGatewayBasePort = 3300;

  /// `options` go on sapsim's command line before the system file (say "--max-sessions", "2").
  explicit SimulatedSystem(std::string_view system_file, int port = kGatewayBasePort,
                           std::vector<std::string> options = {});
  ~SimulatedSystem();
  SimulatedSystem(const SimulatedSystem &) = delete;
  SimulatedSystem &operator=(const SimulatedSystem &) = delete;

  const std::string &Address() const { return address_; }
  int Port() const { return port_; }
  /// The system number whose gateway port this is, or -1 outside 3300..3399.
  int SystemNumber() const;
  /// Address and port as "127.a.b.c:3301".
  std::string Endpoint() const;
  /// What sapsim wrote to standard error so far (one line per event): for failure messages.
  std::string Log() const;
  /// Sends SIGTERM and waits; true when sapsim ended by itself with exit code 0.
  bool Stop();

private:
  void Start(std::string_view system_file, const std::vector<std::string> &options);
  void Kill();

  ScopedTempDir folder_;
  std::string address_;
  int port_;
  pid_t pid_ = -1;
  int stdout_fd_ = -1;
};

} // namespace kestrovan_test
