// Process handling of sapsim for tests: fork/exec, the listening handshake, and a certain end.
#include "support/simulated_system.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <random>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kestrovan_test {
namespace {

constexpr std::chrono::seconds kStartWait{10};
constexpr std::chrono::seconds kStopWait{5};
constexpr int kAddressAttempts = 5;

// Reads sapsim's first stdout line, giving up at the deadline or at end of file.
std::string ReadLine(int fd, std::chrono::steady_clock::time_point deadline) {
  std::string line;
  while (line.empty() || line.back() != '\n') {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      break;
    }
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
      continue;
    }
    char c = 0;
    if (::read(fd, &c, 1) != 1) {
      break;
    }
    line.push_back(c);
  }
  return line;
}

// Waits for the child until the deadline; true and its status when it ended.
bool WaitFor(pid_t pid, std::chrono::steady_clock::duration wait, int &status) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      return true;
    }
    if (done < 0 || std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

} // namespace

std::string RandomLoopbackAddress() {
  static std::mt19937 generator(std::random_device{}());
  std::uniform_int_distribution<int> middle(1, 254);
  std::uniform_int_distribution<int> last(1, 254);
  return "127." + std::to_string(middle(generator)) + "." + std::to_string(middle(generator)) +
         "." + std::to_string(last(generator));
}

SimulatedSystem::SimulatedSystem(std::string_view system_file, int port,
                                 std::vector<std::string> options)
    : port_(port) {
  Start(system_file, options);
}

SimulatedSystem::~SimulatedSystem() { Kill(); }

int SimulatedSystem::SystemNumber() const {
  return port_ >= kGatewayBasePort && port_ < kGatewayBasePort + 100 ? port_ - kGatewayBasePort
                                                                     : -1;
}

std::string SimulatedSystem::Endpoint() const { return address_ + ":" + std::to_string(port_); }

std::string SimulatedSystem::Log() const { return folder_.Read("sapsim.log"); }

void SimulatedSystem::Start(std::string_view system_file, const std::vector<std::string> &options) {
  const std::string file = folder_.Write("system.txt", system_file).string();
  const std::string log = (folder_.Path() / "sapsim.log").string();
  std::string last_line;
  for (int attempt = 0; attempt < kAddressAttempts; ++attempt) {
    address_ = RandomLoopbackAddress();
    const std::string listen = Endpoint();
    std::vector<std::string> arguments = {SAPSIM_PATH, "--listen", listen};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.push_back(file);
    std::vector<char *> argv;
    for (std::string &argument : arguments) {
      argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0) {
      throw std::runtime_error("pipe failed");
    }
    const int log_fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
      // Only async-signal-safe calls between fork and exec. The death signal ends the simulator
      // even when the test process crashes before its destructor runs.
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (::getppid() != parent) {
        ::_exit(127);
      }
      ::dup2(pipe_fds[1], STDOUT_FILENO);
      if (log_fd >= 0) {
        ::dup2(log_fd, STDERR_FILENO);
      }
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(pipe_fds[1]);
    if (log_fd >= 0) {
      ::close(log_fd);
    }
    if (pid_ < 0) {
      ::close(pipe_fds[0]);
      throw std::runtime_error("fork failed");
    }
    stdout_fd_ = pipe_fds[0];
    last_line = ReadLine(stdout_fd_, std::chrono::steady_clock::now() + kStartWait);
    if (last_line == "listening " + listen + "\n") {
      return;
    }
    Kill(); // the address may be taken: try another
  }
  throw std::runtime_error("sapsim did not start (last output \"" + last_line + "\"): " + Log());
}

bool SimulatedSystem::Stop() {
  if (pid_ <= 0) {
    return false;
  }
  ::kill(pid_, SIGTERM);
  int status = 0;
  const bool ended = WaitFor(pid_, kStopWait, status);
  if (!ended) {
    Kill();
    return false;
  }
  pid_ = -1;
  if (stdout_fd_ >= 0) {
    ::close(stdout_fd_);
    stdout_fd_ = -1;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void SimulatedSystem::Kill() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    if (!WaitFor(pid_, kStopWait, status)) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
  }
  if (stdout_fd_ >= 0) {
    ::close(stdout_fd_);
    stdout_fd_ = -1;
  }
}

} // namespace kestrovan_test
