// The sapsim program itself: command line, bad system files, the listening line and a clean stop.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <sys/wait.h>
#include <thread>

#include "sapsim/command_line.h"
#include "wire/wire_channel.h"
#include "wire/wire_messages.h"
#include "support/scoped_temp_dir.h"
#include "support/simulated_system.h"

namespace kestrovan_test {
namespace {

struct ProgramRun {
  int exit_code;
  std::string output; // standard output and standard error together
};

// Runs sapsim to its end; only for cases that end by themselves.
ProgramRun RunSapsim(const std::string &arguments) {
  const std::string command = std::string(SAPSIM_PATH) + " " + arguments + " 2>&1";
  FILE *pipe = ::popen(command.c_str(), "r");
  ProgramRun run{-1, ""};
  if (pipe == nullptr) {
    return run;
  }
  std::array<char, 256> buffer{};
  while (std::fgets(buffer.data(), buffer.size(), pipe) != nullptr) {
    run.output += buffer.data();
  }
  const int status = ::pclose(pipe);
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(SapsimCommandLineTest, Arguments) {
  struct Case {
    std::vector<std::string> arguments;
    const char *problem; // empty: accepted
  };
  const Case cases[] = {
      {{"--listen", "127.0.0.1:3300", "sys.txt"}, ""},
      {{"sys.txt", "--listen=[::1]:0"}, ""},
      {{"sys.txt"}, "--listen ADDRESS:PORT is required"},
      {{"--listen", "127.0.0.1:3300"}, "SYSTEM_FILE is required"},
      {{"--listen"}, "--listen needs ADDRESS:PORT"},
      {{"--listen", "127.0.0.1", "s"}, "needs ADDRESS:PORT"},
      {{"--listen", "127.0.0.1:70000", "s"}, "is not a number from 0 to 65535"},
      {{"--listen", "127.0.0.1:1", "a", "b"}, "only one SYSTEM_FILE"},
      {{"--verbose"}, "unknown option --verbose"},
      {{"--listen", "127.0.0.1:1", "--max-sessions", "2", "s"}, ""},
      {{"--listen", "127.0.0.1:1", "--max-sessions=10000", "s"}, ""},
      {{"--listen", "127.0.0.1:1", "--max-sessions", "0", "s"}, "--max-sessions needs a number"},
      {{"--listen", "127.0.0.1:1", "--max-sessions=10001", "s"}, "from 1 to 10000"},
      {{"--listen", "127.0.0.1:1", "s", "--max-sessions"}, "--max-sessions needs a number"},
      {{"--listen", "127.0.0.1:1", "--idle-limit", "1", "s"}, ""},
      {{"--listen", "127.0.0.1:1", "--idle-limit=86401", "s"}, "--idle-limit needs a number"},
  };
  for (const Case &c : cases) {
    sapsim::CommandLine command_line;
    std::string problem;
    const bool ok = sapsim::ParseCommandLine(c.arguments, command_line, problem);
    EXPECT_EQ(ok, std::string(c.problem).empty()) << c.arguments.size() << ": " << problem;
    if (!ok) {
      EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
    }
  }
  sapsim::CommandLine ipv6;
  std::string problem;
  ASSERT_TRUE(sapsim::ParseCommandLine({"--listen", "[::1]:3301", "f"}, ipv6, problem));
  EXPECT_EQ(ipv6.host, "::1");
  EXPECT_EQ(ipv6.port, "3301");
}

TEST(SapsimBinaryTest, BadSystemFilesEndBeforeListening) {
  ScopedTempDir folder;
  const auto bad =
      folder.Write("bad.txt", "client = 100\nuser = u\npassword = p\nrfcdbsys = ORACLE_DATABASE\n");
  struct Case {
    std::string arguments;
    std::string output;
  };
  const Case cases[] = {
      {"--listen 127.0.0.1:0 " + bad.string(),
       "sapsim: bad system file " + bad.string() +
           ": line 4: rfcdbsys: value has 15 characters, rfcdbsys holds 10\n"},
      {"--listen 127.0.0.1:0 " + (folder.Path() / "missing.txt").string(),
       "sapsim: bad system file " + (folder.Path() / "missing.txt").string() +
           ": cannot be read\n"},
  };
  for (const Case &c : cases) {
    const ProgramRun run = RunSapsim(c.arguments);
    EXPECT_EQ(run.exit_code, 2) << c.arguments;
    EXPECT_EQ(run.output, c.output) << c.arguments;
  }
}

TEST(SapsimBinaryTest, UsageErrorsAndHelp) {
  const ProgramRun usage = RunSapsim("--listen 127.0.0.1:0");
  EXPECT_EQ(usage.exit_code, 2);
  EXPECT_EQ(usage.output, std::string("sapsim: SYSTEM_FILE is required\n") + sapsim::kUsage);
  const ProgramRun help = RunSapsim("--help");
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_EQ(help.output, sapsim::kUsage);
}

TEST(SapsimBinaryTest, AnAddressInUseIsReported) {
  SimulatedSystem first("client = 1\nuser = u\npassword = p\n", 3350);
  ScopedTempDir folder;
  const auto file = folder.Write("s.txt", "client = 1\nuser = u\npassword = p\n");
  const ProgramRun second = RunSapsim("--listen " + first.Endpoint() + " " + file.string());
  EXPECT_EQ(second.exit_code, 1);
  EXPECT_EQ(second.output.rfind("sapsim: cannot listen on " + first.Endpoint() + ": bind:", 0), 0u)
      << second.output;
}

TEST(SapsimBinaryTest, StopsCleanlyOnSigterm) {
  SimulatedSystem system("client = 1\nuser = u\npassword = p\n", 3351);
  EXPECT_EQ(system.SystemNumber(), 51);
  EXPECT_TRUE(system.Stop()) << system.Log();
  EXPECT_NE(system.Log().find("sapsim: stopped"), std::string::npos) << system.Log();
}

constexpr const char *kSystem = "client = 1\nuser = u\npassword = p\n";

rfcwire::Socket ConnectTo(const SimulatedSystem &system) {
  std::string detail;
  bool out_of_reach = false;
  rfcwire::Socket socket =
      rfcwire::Connect(system.Address(), std::to_string(system.Port()),
                       rfcwire::Clock::now() + std::chrono::seconds(5), {}, detail, out_of_reach);
  EXPECT_TRUE(socket.IsOpen()) << detail;
  return socket;
}

std::vector<std::uint8_t> LogonHeader(std::uint32_t payload_size) {
  return {'K',
          'R',
          'F',
          'C',
          1,
          static_cast<std::uint8_t>(rfcwire::MessageType::Logon),
          0,
          0,
          static_cast<std::uint8_t>(payload_size >> 24),
          static_cast<std::uint8_t>(payload_size >> 16),
          static_cast<std::uint8_t>(payload_size >> 8),
          static_cast<std::uint8_t>(payload_size)};
}

// The system's answer to a client that has not logged on; a Failure's text, or what went wrong.
std::string FailureText(rfcwire::Socket &socket) {
  const rfcwire::Received received =
      rfcwire::ReceiveFrame(socket, rfcwire::Clock::now() + std::chrono::seconds(5));
  rfcwire::Notice notice;
  std::string problem;
  if (received.status != rfcwire::ReceiveStatus::Ok) {
    return "no answer: status " + std::to_string(static_cast<int>(received.status));
  }
  if (received.frame.type != rfcwire::MessageType::Failure ||
      !rfcwire::Decode(received.frame, notice, problem)) {
    return "not a failure: " + problem;
  }
  return notice.text;
}

// A 64 MiB frame is fine once logged on; before, no more than a logon is read or allocated.
TEST(SapsimBinaryTest, BeforeTheLogonNoFrameLargerThanALogonIsAccepted) {
  SimulatedSystem system(kSystem, 3352);
  rfcwire::Socket socket = ConnectTo(system);
  std::string detail;
  ASSERT_EQ(rfcwire::SendAll(socket, LogonHeader(rfcwire::kMaxPayload),
                             rfcwire::Clock::now() + std::chrono::seconds(5), detail),
            rfcwire::IoResult::Done);
  EXPECT_EQ(FailureText(socket), "protocol violation: frame announces 67108864 payload bytes, "
                                 "more than the 325 expected here");
}

TEST(SapsimBinaryTest, ConnectionsBeyondTheSessionCapAreRefused) {
  SimulatedSystem system(kSystem, 3353, {"--max-sessions", "2"});
  rfcwire::Socket first = ConnectTo(system);
  rfcwire::Socket second = ConnectTo(system);
  rfcwire::Socket third = ConnectTo(system);
  EXPECT_EQ(FailureText(third), "too many connections to this system");
  EXPECT_NE(system.Log().find("sapsim: connection 3: refused, 2 sessions are running "
                              "(--max-sessions)\n"),
            std::string::npos)
      << system.Log();
  EXPECT_EQ(system.Log().find("connection 3: connected"), std::string::npos) << system.Log();
}

TEST(SapsimBinaryTest, ALoggedOnClientThatStaysSilentIsClosed) {
  SimulatedSystem system(kSystem, 3355, {"--idle-limit", "1"});
  rfcwire::Socket socket = ConnectTo(system);
  std::string detail;
  ASSERT_EQ(rfcwire::SendFrame(socket,
                               rfcwire::Encode(rfcwire::LogonRequest{"", "1", "U", "p", "E"}),
                               rfcwire::Clock::now() + std::chrono::seconds(5), detail),
            rfcwire::IoResult::Done);
  const rfcwire::Received accepted =
      rfcwire::ReceiveFrame(socket, rfcwire::Clock::now() + std::chrono::seconds(5));
  ASSERT_EQ(accepted.status, rfcwire::ReceiveStatus::Ok);
  EXPECT_EQ(accepted.frame.type, rfcwire::MessageType::LogonAccepted);
  // Generous bound: the contract is that the session ends, not how fast.
  const rfcwire::Received after =
      rfcwire::ReceiveFrame(socket, rfcwire::Clock::now() + std::chrono::seconds(20));
  EXPECT_EQ(after.status, rfcwire::ReceiveStatus::Closed);
  EXPECT_NE(system.Log().find("connection 1: idle for 1 s (--idle-limit), closed\n"),
            std::string::npos)
      << system.Log();
}

TEST(SapsimBinaryTest, StopsPromptlyWhileAClientIsInTheMiddleOfAFrame) {
  SimulatedSystem system(kSystem, 3354);
  rfcwire::Socket socket = ConnectTo(system);
  std::vector<std::uint8_t> part = LogonHeader(100);
  part.resize(part.size() + 10, 3);
  std::string detail;
  ASSERT_EQ(rfcwire::SendAll(socket, part, rfcwire::Clock::now() + std::chrono::seconds(5), detail),
            rfcwire::IoResult::Done);
  // The session reads the header as soon as it sees data, then waits for the other 90 bytes.
  for (int i = 0; i < 100 && system.Log().find("connection 1: connected") == std::string::npos;
       ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(system.Stop()) << "sapsim did not end by itself\n" << system.Log();
  EXPECT_NE(system.Log().find("connection 1: closed as the system stops"), std::string::npos)
      << system.Log();
}

} // namespace
} // namespace kestrovan_test
