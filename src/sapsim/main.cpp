// sapsim: reads the system file, listens, announces itself and serves until SIGTERM or SIGINT.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "wire/transport.h"
#include "sapsim/command_line.h"
#include "sapsim/event_log.h"
#include "sapsim/server.h"
#include "sapsim/system_file.h"

namespace {

// Lock-free, so the signal handler may set it.
std::atomic<bool> g_stopping{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnStopSignal(int) { g_stopping = true; }

void InstallSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  // A client gone while we write must show as an error, not end the system.
  std::signal(SIGPIPE, SIG_IGN);
}

} // namespace

int main(int argc, char **argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  sapsim::CommandLine command_line;
  std::string problem;
  if (!sapsim::ParseCommandLine(arguments, command_line, problem)) {
    std::fprintf(stderr, "sapsim: %s\n%s", problem.c_str(), sapsim::kUsage);
    return 2;
  }
  if (command_line.help) {
    std::fputs(sapsim::kUsage, stdout);
    return 0;
  }
  sapsim::SystemDescription system;
  if (!sapsim::ReadSystemFile(command_line.system_file, system, problem)) {
    std::fprintf(stderr, "sapsim: bad system file %s\n", problem.c_str());
    return 2;
  }
  InstallSignalHandlers();
  int port = 0;
  rfcwire::Socket listener = rfcwire::Listen(command_line.host, command_line.port, port, problem);
  if (!listener.IsOpen()) {
    std::fprintf(stderr, "sapsim: cannot listen on %s:%s: %s\n", command_line.host.c_str(),
                 command_line.port.c_str(), problem.c_str());
    return 1;
  }
  std::printf("listening %s:%d\n", command_line.host.c_str(), port);
  std::fflush(stdout);
  sapsim::EventLog log;
  sapsim::Serve(listener, system, g_stopping, log, command_line.max_sessions,
                command_line.idle_limit);
  log.Write("stopped");
  return 0;
}
