// kestrovan-profile: writes sensor profiles only the probe can read, checks who can read them, and
// scrambles passwords.
#include <cstring>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "profile/password.h"
#include "profile/profile.h"
#include "platform/private_file.h"
#include "platform/secret_input.h"
#include "profile/password_scrambler.h"

using namespace kestrovan;

namespace {

constexpr int kExitUsage = 2;
/// check: a profile others can read was named.
constexpr int kExitOpenProfile = 1;
constexpr std::string_view kGrantReadOption = "--grant-read";
/// The sensor refuses a profile whose password is shorter.
constexpr std::size_t kMinPasswordLength = 2;

constexpr const char *kUsage =
    "usage: kestrovan-profile scramble\n"
    "         Reads one password line from standard input and prints its stored form.\n"
    "       kestrovan-profile write FILE --extcompany TEXT --destination SID --client NNN\n"
    "         --user NAME --language L --mode R/3 --hostname HOST --sysnr NN --gwhost HOST\n"
    "         --gwservice SERVICE [--force] [--grant-read ACCOUNT]\n"
    "         Writes a complete profile. The password is asked for without echo on a\n"
    "         terminal, or read as one line from standard input; never from the command line.\n"
    "         Only SYSTEM, Administrators and you can read it (on Windows; elsewhere only\n"
    "         you); --grant-read lets one more Windows account read it.\n"
    "       kestrovan-profile check FILE...\n"
    "         Names each file others can read and says how to close it; exit code 1 then.\n"
    "       kestrovan-profile protect FILE [--grant-read ACCOUNT]\n"
    "         Closes an existing file to others as write does.\n";

/// The option name of each profile key: "Extcompany.:" -> "--extcompany".
std::string OptionName(std::string_view key) {
  std::string name = "--";
  for (char c : key) {
    if (c == '.' || c == ':') {
      break;
    }
    name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  return name;
}

int Fail(const std::string &message) {
  std::cerr << "kestrovan-profile: " << message << "\n";
  return kExitUsage;
}

std::optional<std::string> ReadPassword() {
  if (StdinIsTerminal()) {
    return ReadSecretLine("Password: ");
  }
  std::string line;
  if (!std::getline(std::cin, line)) {
    return std::nullopt;
  }
  if (!line.empty() && line.back() == '\r') {
    line.pop_back();
  }
  return line;
}

/// The stored form, or an explanation on standard error and nullopt. A whole profile needs a
/// password the sensor accepts; scrambling alone stores any password a profile can hold.
std::optional<std::string> StoredPassword(const std::optional<std::string> &password,
                                          std::size_t minimum_length) {
  if (!password || password->empty()) {
    Fail("the password is empty");
    return std::nullopt;
  }
  if (password->size() < minimum_length) {
    Fail("the password needs at least " + std::to_string(minimum_length) +
         " characters; the sensor refuses shorter ones");
    return std::nullopt;
  }
  if (password->size() > kMaxPasswordLength) {
    Fail("the password is longer than " + std::to_string(kMaxPasswordLength) +
         " characters, which a profile cannot hold");
    return std::nullopt;
  }
  std::mt19937 random{std::random_device{}()};
  auto stored = ScramblePassword(*password, random);
  if (!stored) {
    Fail("the password holds characters that cannot be stored in a profile");
  }
  return stored;
}

int Scramble() {
  const auto stored = StoredPassword(ReadPassword(), 1);
  if (!stored) {
    return kExitUsage;
  }
  std::cout << *stored << "\n";
  return 0;
}

/// A character that would end a profile line early or be taken for the end of the text.
bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

int Write(const std::vector<std::string> &args) {
  if (args.empty() || args[0].rfind("--", 0) == 0) {
    return Fail("write needs the profile file name first");
  }
  const std::string file = args[0];
  bool force = false;
  std::map<std::string, std::string> given;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string &option = args[i];
    // Each option once: a profile holds one line per key, and the one checked is the one written.
    if ((option == "--force" && force) || given.count(option) != 0) {
      return Fail("option " + option + " is given more than once");
    }
    if (option == "--force") {
      force = true;
      continue;
    }
    // A forgotten value must not turn the next option into the value.
    if (i + 1 >= args.size() || args[i + 1].rfind("--", 0) == 0) {
      return Fail("option " + option + " needs a value (a value cannot start with --)");
    }
    given[option] = args[++i];
  }

  std::string profile;
  std::map<std::string, std::string> values;
  for (const ProfileField &field : ProfileFields()) {
    if (field.field == &ConnectionParameters::password) {
      continue;
    }
    const std::string option = OptionName(field.key);
    auto it = given.find(option);
    if (it == given.end()) {
      return Fail("option " + option + " is missing");
    }
    const std::string &value = it->second;
    if (value.size() < field.minimum) {
      return Fail(option + " needs at least " + std::to_string(field.minimum) + " characters");
    }
    if (value.size() > kProfileValueWidth) {
      return Fail(option + " is longer than " + std::to_string(kProfileValueWidth) +
                  " characters, which the sensor would cut");
    }
    for (char c : value) {
      if (IsControl(c)) {
        return Fail(option + " holds a control character");
      }
    }
    values[option] = value;
    given.erase(it);
  }
  PrivateAccess access;
  if (auto it = given.find(std::string(kGrantReadOption)); it != given.end()) {
    access.reader = it->second;
    given.erase(it);
  }
  if (!given.empty()) {
    return Fail("unknown option " + given.begin()->first);
  }
  if (auto refused = CheckPrivateAccess(access)) {
    return Fail(*refused);
  }

  const auto stored = StoredPassword(ReadPassword(), kMinPasswordLength);
  if (!stored) {
    return kExitUsage;
  }

  for (const ProfileField &field : ProfileFields()) {
    profile += field.key;
    profile += ' ';
    if (field.field == &ConnectionParameters::password) {
      profile += *stored;
    } else {
      profile += values[OptionName(field.key)];
    }
    profile += "\n";
  }
  if (!WritePrivateFile(file, profile, force, access)) {
    return Fail("cannot write " + file +
                (force ? "" : " (it may exist already; --force replaces it)"));
  }
  std::cout << "wrote " << file << "\n";
  return 0;
}

/// The file name as a command line takes it back.
std::string Quoted(const std::string &file) {
  return file.find(' ') == std::string::npos ? file : "\"" + file + "\"";
}

int Check(const std::vector<std::string> &files) {
  if (files.empty()) {
    return Fail("check needs the profile file names");
  }
  bool named = false, unexamined = false;
  for (const std::string &file : files) {
    const OpenAccess found = ExamineAccess(file);
    if (!found.examined) {
      Fail("cannot examine " + file + " (no such file, or its permissions cannot be read)");
      unexamined = true;
    } else if (found.open) {
      std::cout << file << ": others have access: " << found.who
                << "; close it with: kestrovan-profile protect " << Quoted(file) << "\n";
      named = true;
    } else {
      std::cout << file << ": no one else can read it\n";
    }
  }
  return named ? kExitOpenProfile : unexamined ? kExitUsage : 0;
}

int Protect(const std::vector<std::string> &args) {
  PrivateAccess access;
  std::string file;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == kGrantReadOption && i + 1 < args.size() && access.reader.empty()) {
      access.reader = args[++i];
    } else if (file.empty() && args[i].rfind("--", 0) != 0) {
      file = args[i];
    } else {
      return Fail("protect takes one file and at most one --grant-read ACCOUNT");
    }
  }
  if (file.empty()) {
    return Fail("protect needs the profile file name");
  }
  if (auto refused = CheckPrivateAccess(access)) {
    return Fail(*refused);
  }
  if (!ProtectFile(file, access)) {
    return Fail("cannot change the permissions of " + file);
  }
  std::cout << "protected " << file << "\n";
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    (args.empty() ? std::cerr : std::cout) << kUsage;
    return args.empty() ? kExitUsage : 0;
  }
  const std::string command = args[0];
  args.erase(args.begin());
  if (command == "scramble" && args.empty()) {
    return Scramble();
  }
  if (command == "write") {
    return Write(args);
  }
  if (command == "check") {
    return Check(args);
  }
  if (command == "protect") {
    return Protect(args);
  }
  std::cerr << kUsage;
  return kExitUsage;
}
