// The sensor's main around a stand-in run: failures that escape the run and output that does not
// arrive end in exit code 2, with nothing on standard error.
#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <stdexcept>
#include <unistd.h>

#include "driver/sensor.h"
#include "loader/system_library.h"
#include "support/scoped_temp_dir.h"

int SensorMain(int argc, char **argv); // src/driver/main.cpp, built under this name here

namespace {

enum class Ending { Prints, ThrowsBadAlloc, ThrowsWithMarkup, ThrowsNonStandard };
Ending g_ending = Ending::Prints;

} // namespace

// The run main calls: prints the start of a document, then ends as the test asks.
int kestrovan::RunSensor(Platform &os, RfcBinder, std::vector<std::string>, bool *) {
  os.WriteStdout("\n<Prtg>\n");
  switch (g_ending) {
  case Ending::Prints:
    return 0;
  case Ending::ThrowsBadAlloc:
    throw std::bad_alloc();
  case Ending::ThrowsWithMarkup:
    throw std::runtime_error("bad <Text>\n& more");
  case Ending::ThrowsNonStandard:
    throw 42;
  }
  return 0;
}

const kestrovan::RfcLibrary *kestrovan::SystemRfcLibrary(std::string *) { return nullptr; }

namespace {

struct MainResult {
  int exit_code;
  std::string stdout_text;
};

/// Runs main with standard output sent to the file named (read back afterwards).
MainResult RunMain(const std::string &stdout_path) {
  std::fflush(stdout);
  const int saved = ::dup(1);
  const int target = ::open(stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ::dup2(target, 1);
  ::close(target);
  char program[] = "kestrovan";
  char profile[] = "PRD";
  char *argv[] = {program, profile, nullptr};
  const int exit_code = SensorMain(2, argv);
  std::fflush(stdout);
  std::clearerr(stdout);
  ::dup2(saved, 1);
  ::close(saved);
  std::string text;
  if (std::filesystem::is_regular_file(stdout_path)) {
    std::ifstream written(stdout_path, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(written), std::istreambuf_iterator<char>());
  }
  return {exit_code, text};
}

std::string FailureDocument(const std::string &what) {
  return "\n<Prtg>\n<Prtg>\n<Error>1</Error>\n<Text>Error 1099: Internal failure (" + what +
         ")</Text>\n</Prtg>\n";
}

TEST(SensorMain, EscapedFailuresAndLostOutputEndWithExitCodeTwo) {
  kestrovan_test::ScopedTempDir folder;
  const std::string file = (folder.Path() / "stdout").string();
  const struct {
    const char *name;
    Ending ending;
    std::string stdout_path;
    MainResult expected;
  } cases[] = {
      {"prints", Ending::Prints, file, {0, "\n<Prtg>\n"}},
      {"bad_alloc", Ending::ThrowsBadAlloc, file, {2, FailureDocument("std::bad_alloc")}},
      {"markup", Ending::ThrowsWithMarkup, file, {2, FailureDocument("bad ?Text??? more")}},
      {"non_standard", Ending::ThrowsNonStandard, file, {2, FailureDocument("unknown")}},
      {"disk_full", Ending::Prints, "/dev/full", {2, ""}},
  };
  for (const auto &c : cases) {
    g_ending = c.ending;
    const MainResult got = RunMain(c.stdout_path);
    EXPECT_EQ(got.exit_code, c.expected.exit_code) << c.name;
    EXPECT_EQ(got.stdout_text, c.expected.stdout_text) << c.name;
  }
}

} // namespace
