// The sapsim program itself: command line, bad system files, the listening line and a clean stop.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <sys/wait.h>

#include "sapsim/command_line.h"
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

} // namespace
} // namespace kestrovan_test
