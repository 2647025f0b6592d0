// The built programs against what a careless or hostile surrounding does: paths that name no
// regular file, standard output that cannot be written, ambiguous profile-writer command lines and
// links where the profile goes, and profiles others can read.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "programs.h"
#include "sapsim_fixture.h"

namespace {

namespace fs = std::filesystem;

const std::string kMissing = ExpectedError("Error 1002: Profile PRD.P00 is missing...");

TEST(SensorHardeningEndToEnd, PathsThatNameNoRegularFileAreMissingProfiles) {
  Landscape l;
  auto &sys = l.Start({}, 5);
  const std::string profile = ProfileFor("PRD", sys.Address(), 5);
  const struct {
    const char *name;
    std::string install_list; // C:\PRTG_Path.Txt, none when empty
    std::function<void(const fs::path &)> make_profile;
    bool posix_only; // FIFOs and devices are POSIX things
  } cases[] = {
      // Cut at its NUL the line names a file that is no folder, and which would be read as the
      // profile and have the log appended to it.
      {"nul_in_directory_line", std::string("D:\\Elsewhere\\notes.txt\0\r\n", 25),
       [](const fs::path &) {}, false},
      {"device", "", [](const fs::path &p) { fs::create_symlink("/dev/zero", p); }, true},
      {"fifo", "", [](const fs::path &p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, true},
  };
  l.tree.Write("D:\\Elsewhere\\notes.txt", profile);
  for (const auto &c : cases) {
    if (c.posix_only && TestingWindowsPrograms()) {
      continue;
    }
    if (!c.install_list.empty()) {
      l.tree.Write("C:\\PRTG_Path.Txt", c.install_list);
    }
    const fs::path profile_path = l.tree.Local(kHostDir + "PRD.P00");
    fs::create_directories(profile_path.parent_path());
    c.make_profile(profile_path);
    const ProcessResult r = l.Sensor({"PRD", ",SYSLOG"});
    EXPECT_EQ(r.stdout_text, kMissing) << c.name;
    EXPECT_EQ(r.exit_code, 2) << c.name;
    EXPECT_EQ(r.stderr_text, "") << c.name;
    EXPECT_EQ(l.tree.Read("D:\\Elsewhere\\notes.txt"), profile) << c.name;
    fs::remove(l.tree.Local("C:\\PRTG_Path.Txt"));
    fs::remove(profile_path);
  }
}

enum class Stdout { Read, Closed, ReaderGone };

struct Ending {
  int exit_code = -1; // 128 + the signal when a signal ended the program
  std::string stderr_text;
};

/// Runs the sensor as Landscape::Sensor does, but with standard output read, closed, or a pipe
/// whose reading end is closed before the program starts.
Ending RunSensorWithStdout(const Landscape &l, const std::vector<std::string> &args,
                           Stdout output) {
  int out[2], err[2];
  if (::pipe(out) != 0 || ::pipe(err) != 0) {
    return {};
  }
  if (output == Stdout::ReaderGone) {
    ::close(out[0]);
  }
  const std::string program = SensorProgram();
  const std::string cwd = l.tree.work().string();
  const std::string root = l.tree.root().string();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(SIGPIPE, SIG_DFL); // as a monitor starts it; the test runner ignores it
    if (output == Stdout::Closed) {
      ::close(1);
    } else {
      ::dup2(out[1], 1);
    }
    ::dup2(err[1], 2);
    for (int fd : {out[0], out[1], err[0], err[1]}) {
      ::close(fd);
    }
    if (::chdir(cwd.c_str()) != 0) {
      ::_exit(127);
    }
    ::setenv("KESTROVAN_DRIVE_ROOT", root.c_str(), 1);
    std::vector<char *> argv{const_cast<char *>(program.c_str())};
    for (const std::string &a : args) {
      argv.push_back(const_cast<char *>(a.c_str()));
    }
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  Ending ending;
  char buffer[4096];
  if (output == Stdout::Read) {
    while (::read(out[0], buffer, sizeof buffer) > 0) {
    }
  }
  if (output != Stdout::ReaderGone) {
    ::close(out[0]);
  }
  ssize_t n;
  while ((n = ::read(err[0], buffer, sizeof buffer)) > 0) {
    ending.stderr_text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(err[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFEXITED(status)) {
    ending.exit_code = WEXITSTATUS(status);
  }
  if (WIFSIGNALED(status)) {
    ending.exit_code = 128 + WTERMSIG(status);
  }
  return ending;
}

TEST(SensorHardeningEndToEnd, OutputThatCannotArriveEndsWithExitCodeTwo) {
  if (TestingWindowsPrograms()) {
    GTEST_SKIP() << "the Wine wrapper collects the output in a file and copies it on";
  }
  Landscape l;
  auto &sys = l.Start({}, 6);
  l.tree.Write(kHostDir + "PRD.P00", ProfileFor("PRD", sys.Address(), 6));
  const struct {
    const char *name;
    Stdout output;
    int exit_code;
  } cases[] = {
      {"read", Stdout::Read, 0}, // the run itself succeeds
      {"closed", Stdout::Closed, 2},
      {"reader_gone", Stdout::ReaderGone, 2},
  };
  for (const auto &c : cases) {
    const Ending r = RunSensorWithStdout(l, {"PRD"}, c.output);
    EXPECT_EQ(r.exit_code, c.exit_code) << c.name << "\n" << sys.Log();
    EXPECT_EQ(r.stderr_text, "") << c.name;
  }
}

ProcessResult Writer(const ScratchTree &tree, const std::vector<std::string> &args) {
  return RunProcess(ProfileWriterProgram(), args, tree.work().string(), {}, "Secret1\n");
}

std::vector<std::string> WriteArgs(const std::string &file,
                                   const std::vector<std::string> &more = {}) {
  std::vector<std::string> args = {
      "write",    file,    "--extcompany", "Monitoring", "--destination", "PRD",
      "--client", "100",   "--user",       "monitor",    "--language",    "E",
      "--mode",   "R/3",   "--hostname",   "prdhost",    "--sysnr",       "00",
      "--gwhost", "prdgw", "--gwservice",  "sapgw00"};
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

/// The arguments with the first value of an option replaced.
std::vector<std::string> Replaced(std::vector<std::string> args, const std::string &option,
                                  const std::string &value) {
  for (std::size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == option) {
      args[i + 1] = value;
      break;
    }
  }
  return args;
}

TEST(ProfileWriterHardeningEndToEnd, RefusesCommandLinesThatAreNotOneValuePerOption) {
  const struct {
    const char *name;
    std::vector<std::string> args;
    const char *message;
  } cases[] = {
      {"repeated_option", WriteArgs("NEW.P00", {"--client", "999"}),
       "option --client is given more than once"},
      // Only the last value was checked, and every value written: a second User line.
      {"second_line_through_a_repeat",
       Replaced(WriteArgs("NEW.P00", {"--hostname", "good"}), "--hostname",
                "evil\nUser.......: OTHER"),
       "option --hostname is given more than once"},
      {"repeated_force", WriteArgs("NEW.P00", {"--force", "--force"}),
       "option --force is given more than once"},
      {"option_taken_as_value",
       {"write", "NEW.P00", "--extcompany", "--user", "monitor"},
       "option --extcompany needs a value"},
      {"delete_character", Replaced(WriteArgs("NEW.P00"), "--gwservice", "sapgw\x7f"),
       "--gwservice holds a control character"},
  };
  for (const auto &c : cases) {
    ScratchTree tree;
    const ProcessResult r = Writer(tree, c.args);
    EXPECT_EQ(r.exit_code, 2) << c.name;
    EXPECT_NE(r.stderr_text.find(c.message), std::string::npos) << c.name << ": " << r.stderr_text;
    EXPECT_EQ(r.stdout_text, "") << c.name;
    EXPECT_FALSE(tree.Exists("NEW.P00")) << c.name;
  }
}

TEST(ProfileWriterHardeningEndToEnd, ForceReplacesWhatIsThereWithAnOwnerOnlyFile) {
  const struct {
    const char *name;
    std::function<void(const ScratchTree &)> place; // what is at OLD.P00 before
  } cases[] = {
      {"readable_file",
       [](const ScratchTree &tree) {
         tree.Write("OLD.P00", "old");
         fs::permissions(tree.Local("OLD.P00"), fs::perms(0644));
       }},
      {"link_to_another_file",
       [](const ScratchTree &tree) { fs::create_symlink("target.txt", tree.Local("OLD.P00")); }},
      {"dangling_link",
       [](const ScratchTree &tree) { fs::create_symlink("nowhere.txt", tree.Local("OLD.P00")); }},
  };
  for (const auto &c : cases) {
    ScratchTree tree;
    tree.Write("target.txt", "keep");
    c.place(tree);
    const ProcessResult r = Writer(tree, WriteArgs("OLD.P00", {"--force"}));
    ASSERT_EQ(r.exit_code, 0) << c.name << ": " << r.stderr_text;
    const fs::file_status status = fs::symlink_status(tree.Local("OLD.P00"));
    EXPECT_EQ(status.type(), fs::file_type::regular) << c.name;
    if (!TestingWindowsPrograms()) {
      EXPECT_EQ(status.permissions() & fs::perms::all, fs::perms(0600)) << c.name;
    }
    EXPECT_EQ(tree.Read("OLD.P00").rfind("Extcompany.: Monitoring\n", 0), 0u) << c.name;
    EXPECT_EQ(tree.Read("target.txt"), "keep") << c.name;
    std::set<std::string> names;
    for (const auto &entry : fs::directory_iterator(tree.work())) {
      names.insert(entry.path().filename().string());
    }
    EXPECT_EQ(names, (std::set<std::string>{"OLD.P00", "target.txt"})) << c.name;
  }
}

// Modes stand for Windows access lists only as far as Wine maps them, which the package test
// checks with the Windows programs themselves.
TEST(ProfileWriterHardeningEndToEnd, CheckNamesEachProfileOthersCanReadUntilProtected) {
  if (TestingWindowsPrograms()) {
    GTEST_SKIP() << "POSIX modes";
  }
  ScratchTree tree;
  ASSERT_EQ(Writer(tree, WriteArgs("PRD.P00")).exit_code, 0);
  const struct {
    const char *file;
    fs::perms mode;
    const char *line;
  } cases[] = {
      {"OWN.P00", fs::perms(0600), "OWN.P00: no one else can read it\n"},
      {"GROUP.P00", fs::perms(0640),
       "GROUP.P00: others have access: its group (mode 0640); close it with: kestrovan-profile "
       "protect GROUP.P00\n"},
      {"OTHERS.P00", fs::perms(0602),
       "OTHERS.P00: others have access: others (mode 0602); close it with: kestrovan-profile "
       "protect OTHERS.P00\n"},
  };
  std::vector<std::string> check = {"check", "PRD.P00"};
  std::string expected = "PRD.P00: no one else can read it\n";
  for (const auto &c : cases) {
    fs::copy_file(tree.Local("PRD.P00"), tree.Local(c.file));
    fs::permissions(tree.Local(c.file), c.mode);
    check.push_back(c.file);
    expected += c.line;
  }
  ProcessResult r = Writer(tree, check);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.stdout_text, expected);
  EXPECT_EQ(r.stderr_text, "");

  for (const char *file : {"GROUP.P00", "OTHERS.P00"}) {
    r = Writer(tree, {"protect", file});
    EXPECT_EQ(r.exit_code, 0) << file << ": " << r.stderr_text;
  }
  r = Writer(tree, check);
  EXPECT_EQ(r.exit_code, 0) << r.stdout_text;
  EXPECT_EQ(tree.Read("GROUP.P00"), tree.Read("PRD.P00"));

  r = Writer(tree, {"check", "PRD.P00", "MISSING.P00"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.stderr_text.find("cannot examine MISSING.P00"), std::string::npos) << r.stderr_text;
}

} // namespace
