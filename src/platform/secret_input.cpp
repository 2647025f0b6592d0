// Terminal echo control, for the profile writer.
#include "platform/secret_input.h"

#include <cstdio>
#include <iostream>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <csignal>
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
#endif

} // namespace kestrovan
