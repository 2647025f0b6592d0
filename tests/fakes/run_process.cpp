// fork and exec with pipes for standard input, output and error.
#include "run_process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

ProcessResult RunProcess(const std::string &program, const std::vector<std::string> &arguments,
                         const std::string &cwd,
                         const std::map<std::string, std::string> &environment,
                         const std::string &stdin_text) {
  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) {
    return {};
  }
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) {
      close(fd);
    }
    if (chdir(cwd.c_str()) != 0) {
      _exit(127);
    }
    for (const auto &[name, value] : environment) {
      setenv(name.c_str(), value.c_str(), 1);
    }
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const std::string &a : arguments) {
      argv.push_back(const_cast<char *>(a.c_str()));
    }
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  signal(SIGPIPE, SIG_IGN);
  ProcessResult result;
  std::size_t written = 0;
  if (stdin_text.empty()) {
    close(in[1]);
    in[1] = -1;
  }
  pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {in[1], POLLOUT, 0}};
  int open_outputs = 2;
  while (open_outputs > 0) {
    const int nfds = in[1] >= 0 ? 3 : 2;
    if (poll(fds, static_cast<nfds_t>(nfds), -1) < 0 && errno != EINTR) {
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP))) {
        char buffer[4096];
        const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) {
          (i == 0 ? result.stdout_text : result.stderr_text)
              .append(buffer, static_cast<std::size_t>(n));
        } else {
          close(fds[i].fd);
          fds[i].fd = -1;
          --open_outputs;
        }
      }
    }
    if (in[1] >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
      const ssize_t n = write(in[1], stdin_text.data() + written, stdin_text.size() - written);
      if (n > 0) {
        written += static_cast<std::size_t>(n);
      }
      if (n <= 0 || written == stdin_text.size()) {
        close(in[1]);
        in[1] = -1;
      }
    }
  }
  if (in[1] >= 0) {
    close(in[1]);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

namespace {

// A user namespace with a network namespace of its own (unshare -rn), set up by ip(8).
const std::string kEnv = "/usr/bin/env";

std::string OwnNetworkSetup(const std::vector<std::string> &addresses) {
  std::string script = "ip link set lo up";
  for (const std::string &address : addresses) {
    const char *prefix = address.find(':') != std::string::npos ? "/128" : "/32";
    script += " && ip addr add " + address + prefix + " dev lo";
  }
  return script;
}

} // namespace

std::optional<std::string> OwnNetworkUnavailable() {
  // The probe sets up a namespace as a run would and checks that only its loopback device is up.
  static const std::optional<std::string> problem = []() -> std::optional<std::string> {
    const std::string script = OwnNetworkSetup({"192.0.2.1", "2001:db8::1"}) +
                               " && test \"$(ip -o link show up | grep -vc ': lo:')\" = 0";
    const ProcessResult probe = RunProcess(kEnv, {"unshare", "-rn", "sh", "-c", script}, "/", {});
    if (probe.exit_code == 0) {
      return std::nullopt;
    }
    return "no network namespace of its own can be made here (unshare -rn with ip: exit code " +
           std::to_string(probe.exit_code) + ", " + probe.stderr_text + ")";
  }();
  return problem;
}

ProcessResult RunProcessInOwnNetwork(const std::string &program,
                                     const std::vector<std::string> &arguments,
                                     const std::string &cwd,
                                     const std::map<std::string, std::string> &environment,
                                     const std::vector<std::string> &addresses) {
  // The program replaces the shell once the namespace is set up; "$0" is the program.
  std::vector<std::string> wrapped = {
      "unshare", "-rn", "sh", "-c", OwnNetworkSetup(addresses) + " && exec \"$0\" \"$@\"", program};
  wrapped.insert(wrapped.end(), arguments.begin(), arguments.end());
  return RunProcess(kEnv, wrapped, cwd, environment);
}
