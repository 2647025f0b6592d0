// Terminal echo control and owner-only files, for the profile writer.
#include "platform/secret_input.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace kestrovan {

namespace {

std::optional<std::string> ReadLine() {
  std::string line;
  if (!std::getline(std::cin, line)) {
    return std::nullopt;
  }
  if (!line.empty() && line.back() == '\r') {
    line.pop_back();
  }
  return line;
}

#ifndef _WIN32
termios g_saved_terminal{};

extern "C" void RestoreEchoAndDie(int signal_number) {
  tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_terminal);
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}
#endif

} // namespace

#ifdef _WIN32
bool StdinIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

std::optional<std::string> ReadSecretLine(std::string_view prompt) {
  std::cerr << prompt << std::flush;
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  const bool console = GetConsoleMode(input, &mode) != 0;
  if (console) {
    SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  }
  auto line = ReadLine();
  if (console) {
    SetConsoleMode(input, mode);
  }
  std::cerr << "\n";
  return line;
}

bool WritePrivateFile(const std::string &path, std::string_view bytes, bool replace) {
  if (path.empty() || path.find('\0') != std::string::npos) {
    return false;
  }
  std::string temporary;
  int fd = -1;
  for (unsigned attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary =
        path + ".new-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
    fd = _open(temporary.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
               _S_IREAD | _S_IWRITE);
    if (fd < 0 && errno != EEXIST) {
      return false;
    }
  }
  if (fd < 0) {
    return false;
  }
  bool written = true;
  for (std::size_t done = 0; written && done < bytes.size();) {
    const std::size_t part = std::min<std::size_t>(bytes.size() - done, 1u << 20);
    const int n = _write(fd, bytes.data() + done, static_cast<unsigned>(part));
    written = n > 0;
    if (written) {
      done += static_cast<std::size_t>(n);
    }
  }
  written = _commit(fd) == 0 && written;
  written = _close(fd) == 0 && written;
  // Moving a file onto a name replaces whatever is there, a link included, never what a link
  // points to; without MOVEFILE_REPLACE_EXISTING an existing name stays as it is.
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  if (!written || MoveFileExA(temporary.c_str(), path.c_str(), flags) == 0) {
    _unlink(temporary.c_str());
    return false;
  }
  return true;
}
#else
bool StdinIsTerminal() { return isatty(STDIN_FILENO) != 0; }

std::optional<std::string> ReadSecretLine(std::string_view prompt) {
  std::cerr << prompt << std::flush;
  const bool terminal = tcgetattr(STDIN_FILENO, &g_saved_terminal) == 0;
  if (terminal) {
    // Ctrl-C at the prompt must not leave the terminal without echo.
    std::signal(SIGINT, RestoreEchoAndDie);
    std::signal(SIGTERM, RestoreEchoAndDie);
    termios quiet = g_saved_terminal;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  }
  auto line = ReadLine();
  if (terminal) {
    tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_terminal);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
  }
  std::cerr << "\n";
  return line;
}

namespace {

bool WriteAllAndSync(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return ::fsync(fd) == 0;
}

} // namespace

bool WritePrivateFile(const std::string &path, std::string_view bytes, bool replace) {
  if (path.empty() || path.find('\0') != std::string::npos) {
    return false;
  }
  if (!replace) {
    // O_EXCL creates a new file or fails; it follows no link, not even a dangling one.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      return false;
    }
    const bool written = WriteAllAndSync(fd, bytes);
    if (::close(fd) == 0 && written) {
      return true;
    }
    ::unlink(path.c_str());
    return false;
  }
  // A new owner-only file beside the target, renamed over it: the old file keeps none of its
  // own mode, a link at the target is replaced rather than written through, and a reader sees
  // the old profile or the new one, never a part.
  std::string temporary = path + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    return false;
  }
  const bool written = ::fchmod(fd, 0600) == 0 && WriteAllAndSync(fd, bytes);
  if (::close(fd) == 0 && written && std::rename(temporary.c_str(), path.c_str()) == 0) {
    return true;
  }
  ::unlink(temporary.c_str());
  return false;
}
#endif

} // namespace kestrovan
