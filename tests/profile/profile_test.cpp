// Reading profiles: keys, columns, values, password unscrambling, and the checks in their order.
#include <gtest/gtest.h>

#include <random>

#include "profile/password.h"
#include "profile/profile.h"
#include "profile/password_scrambler.h"

using namespace kestrovan;

namespace {

/// A stored value built by hand: header digits d0..d3 and a 20-character plain sequence.
std::string Stored(int d0, int k, int n, const std::string &plain20) {
  const PasswordKeyBytes &key = PasswordKey();
  std::string v(24, '\0');
  const int header[4] = {d0, k, n / 10, n % 10};
  for (std::size_t i = 0; i < 4; ++i) {
    v[i] = static_cast<char>(('0' + header[i]) ^ key[i]);
  }
  for (std::size_t j = 0; j < 10; ++j) {
    v[4 + j] = static_cast<char>(plain20[2 * j] ^ key[static_cast<std::size_t>(k) + j]);
    v[4 + 19 - j] =
        static_cast<char>(plain20[2 * j + 1] ^ key[static_cast<std::size_t>(k) + 19 - j]);
  }
  return v;
}

std::string StoredFor(const std::string &password) {
  std::mt19937 random(42);
  return *ScramblePassword(password, random);
}

const std::string kPlain = "secretXYZabcdefghijk"; // 20 characters

std::string CompleteProfile(const std::string &password_line) {
  return "Extcompany.: Monitoring\n"
         "Destination: PRD\n"
         "Client.....: 100\n"
         "User.......: monitor\n" +
         password_line +
         "Language...: E\n"
         "Mode.......: R/3\n"
         "Hostname...: prdhost\n"
         "Sysnr......: 00\n"
         "Gwhost.....: prdgw\n"
         "Gwservice..: sapgw00\n";
}

struct ReadOutcome {
  std::string message; // first fault while reading, else the check's message, else ""
  ConnectionParameters values;
  std::string display_host;
};

ProfileReadResult Read(const std::string &text, std::size_t piece, ProfileReading reading,
                       ConnectionParameters &values, std::string &display_host) {
  TextPieces pieces(text);
  return ReadProfile(pieces, piece, reading, "PRD.P00", values, display_host);
}

ReadOutcome ReadAndCheck(const std::string &text) {
  ReadOutcome outcome;
  const ProfileReadResult read = Read(text, kSingleProfilePiece, ProfileReading::StopAtFault,
                                      outcome.values, outcome.display_host);
  outcome.message = read.valid ? CheckProfile(outcome.values, "PRD.P00") : read.first_fault;
  return outcome;
}

TEST(Profile, CompleteProfileFillsEveryField) {
  const ReadOutcome r =
      ReadAndCheck(CompleteProfile("Password...: " + StoredFor("Secret1") + "\n"));
  EXPECT_EQ(r.message, "");
  EXPECT_EQ(r.values.extcompany, "Monitoring");
  EXPECT_EQ(r.values.destination, "PRD");
  EXPECT_EQ(r.values.client, "100");
  EXPECT_EQ(r.values.user, "MONITOR");
  EXPECT_EQ(r.values.password, "Secret1");
  EXPECT_EQ(r.values.language, "E");
  EXPECT_EQ(r.values.mode, "R/3");
  EXPECT_EQ(r.values.hostname, "prdhost");
  EXPECT_EQ(r.values.sysnr, "00");
  EXPECT_EQ(r.values.gwhost, "prdgw");
  EXPECT_EQ(r.values.gwservice, "sapgw00");
  EXPECT_EQ(r.display_host, "prdhost");
}

TEST(Profile, WindowsLineEndsGiveTheSameValues) {
  std::string text = CompleteProfile("Password...: " + StoredFor("Secret1") + "\n");
  std::string crlf;
  for (char c : text) {
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  }
  const ReadOutcome r = ReadAndCheck(TranslateTextMode(crlf));
  EXPECT_EQ(r.message, "");
  EXPECT_EQ(r.values.gwservice, "sapgw00");
  EXPECT_EQ(r.values.password, "Secret1");
}

struct FaultCase {
  const char *name;
  std::string text;
  std::string message;
};

std::vector<FaultCase> FaultCases() {
  const std::string good = "Password...: " + StoredFor("Secret1") + "\n";
  const std::string e1003 = "Error 1003: Invalid Parameter(s) at PRD.P00 found...";
  const std::string e1004 = "Error 1004: Invalid Password in Profile PRD.P00 found...";
  const std::string e1005 = "Error 1005: Wrong Password in Profile PRD.P00 found...";
  const std::string e1006 = "Error 1006: Username in Profile PRD.P00 is missing...";
  const std::string e1007 = "Error 1007: Password in Profile PRD.P00 is missing...";
  std::string wrong_check = Stored((CheckDigit(kPlain) + 1) % 10, 3, 7, kPlain);
  std::string not_digits = Stored(0, 0, 7, kPlain);
  not_digits[2] = static_cast<char>('A' ^ PasswordKey()[2]);
  std::string no_extcompany = CompleteProfile(good);
  no_extcompany.erase(0, no_extcompany.find('\n') + 1);
  return {
      {"empty_profile", "", e1006},
      {"only_malformed_password", "Password...: short\n", e1004},
      {"password_23_characters",
       CompleteProfile("Password...: " + StoredFor("Secret1").substr(1) + "\n"), e1004},
      {"password_25_characters", CompleteProfile("Password...: " + StoredFor("Secret1") + "x\n"),
       e1004},
      {"password_with_trailing_blank",
       CompleteProfile("Password...: " + StoredFor("Secret1") + " \n"), e1004},
      {"header_not_digits", CompleteProfile("Password...: " + not_digits + "\n"), e1004},
      {"wrong_check_digit_stops_reading", "Password...: " + wrong_check + "\nUser.......: x\n",
       e1005},
      {"second_password_malformed", CompleteProfile(good + "Password...: 123\n"), e1004},
      {"empty_password_value", CompleteProfile("Password...:\n"), e1007},
      {"password_key_and_blank_only", CompleteProfile("Password...: \n"), e1007},
      {"header_n_00_gives_empty",
       CompleteProfile("Password...: " + Stored(CheckDigit(kPlain), 2, 0, kPlain) + "\n"), e1007},
      {"header_n_01_gives_one_character",
       CompleteProfile("Password...: " + Stored(CheckDigit(kPlain), 2, 1, kPlain) + "\n"), e1003},
      {"no_extcompany", no_extcompany, e1003},
      {"user_empty_before_password", "User.......:\n", e1006},
      {"lower_case_key_is_ignored", CompleteProfile(good) + "destination: QAS\n", ""},
      {"destination_too_short", CompleteProfile(good) + "Destination: PR\n", e1003},
      {"client_too_short", CompleteProfile(good) + "Client.....: 10\n", e1003},
      {"language_one_character_is_enough", CompleteProfile(good) + "Language...: D\n", ""},
  };
}

TEST(Profile, FaultsInTheirOrder) {
  for (const FaultCase &c : FaultCases()) {
    EXPECT_EQ(ReadAndCheck(c.text).message, c.message) << c.name;
  }
}

TEST(Profile, ColumnsAndValues) {
  const std::string good = "Password...: " + StoredFor("Secret1") + "\n";
  struct {
    const char *name;
    std::string line;
    std::string ConnectionParameters::*field;
    std::string value;
  } cases[] = {
      {"separator_column_is_skipped", "Destination:PRD", &ConnectionParameters::destination, "RD"},
      {"any_separator", "Destination#PRD", &ConnectionParameters::destination, "PRD"},
      {"blanks_kept", "Extcompany.:  a b  ", &ConnectionParameters::extcompany, " a b  "},
      {"value_cut_at_60", "Extcompany.: " + std::string(60, 'x') + "0123456789",
       &ConnectionParameters::extcompany, std::string(60, 'x')},
      {"user_raised", "User.......: mOnItor_1", &ConnectionParameters::user, "MONITOR_1"},
      {"last_occurrence_wins", "Client.....: 200", &ConnectionParameters::client, "200"},
      {"key_only_gives_empty", "Gwhost.....:", &ConnectionParameters::gwhost, ""},
  };
  for (const auto &c : cases) {
    const ReadOutcome r = ReadAndCheck(CompleteProfile(good) + c.line + "\n");
    EXPECT_EQ(r.values.*(c.field), c.value) << c.name;
  }
}

TEST(Profile, LongLinesContinueAsLinesOfTheirOwn) {
  // 159 characters per piece: the rest of a long line is read as a line and can hold a key.
  std::string filler = "Comment: " + std::string(150, '-'); // exactly 159 characters
  ASSERT_EQ(filler.size(), kSingleProfilePiece);
  ConnectionParameters single, global;
  std::string host;
  Read(filler + "Client.....: 300\n", kSingleProfilePiece, ProfileReading::StopAtFault, single,
       host);
  EXPECT_EQ(single.client, "300");
  // The global run reads 199 characters: the same line is one piece there.
  Read(filler + "Client.....: 300\n", kGlobalProfilePiece, ProfileReading::ContinueAfter, global,
       host);
  EXPECT_EQ(global.client, "");
}

TEST(Profile, GlobalReadingNotesFaultsAndKeepsEarlierPassword) {
  ConnectionParameters values;
  values.password = "Earlier";
  std::string host;
  const std::string wrong = Stored((CheckDigit(kPlain) + 1) % 10, 3, 7, kPlain);
  const ProfileReadResult r =
      Read("Password...: " + wrong + "\nClient.....: 400\n", kGlobalProfilePiece,
           ProfileReading::ContinueAfter, values, host);
  EXPECT_FALSE(r.valid);
  EXPECT_EQ(values.password, "Earlier");
  EXPECT_EQ(values.client, "400") << "reading goes on after the fault";
}

TEST(Password, HeaderSelectsOffsetAndLength) {
  for (int k = 0; k <= kMaxKeyOffset; ++k) {
    for (int n : {2, 7, 20, 25, 99}) {
      const UnscrambledPassword p = UnscramblePassword(Stored(CheckDigit(kPlain), k, n, kPlain));
      ASSERT_EQ(p.fault, PasswordFault::None) << k << " " << n;
      EXPECT_EQ(p.password, kPlain.substr(0, static_cast<std::size_t>(n))) << k << " " << n;
    }
  }
}

TEST(Password, KeyHasNoZeroByte) {
  for (unsigned char b : PasswordKey()) {
    EXPECT_NE(b, 0);
  }
}

TEST(Password, CheckDigitCountsOnlyAsciiLettersAndDigits) {
  EXPECT_EQ(CheckDigit("A"), 65 % 10);
  EXPECT_EQ(CheckDigit("A-!"), 65 % 10);
  EXPECT_EQ(CheckDigit("az09"), (97 + 122 + 48 + 57) % 10);
  EXPECT_EQ(CheckDigit("\xe9"), 0);
}

TEST(Scrambler, EveryStoredValueUnscramblesAndSurvivesATextFile) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> length(1, 20), byte(0x20, 0x7E);
  for (int round = 0; round < 2000; ++round) {
    std::string password;
    const int n = length(random);
    for (int i = 0; i < n; ++i) {
      password.push_back(static_cast<char>(byte(random)));
    }
    const auto stored = ScramblePassword(password, random);
    ASSERT_TRUE(stored) << password;
    ASSERT_EQ(stored->size(), kStoredPasswordLength);
    for (char c : *stored) {
      EXPECT_TRUE(c >= 0x20 && c <= 0x7E)
          << "printable ASCII password gives printable value: " << password;
    }
    const UnscrambledPassword back = UnscramblePassword(*stored);
    ASSERT_EQ(back.fault, PasswordFault::None) << password;
    EXPECT_EQ(back.password, password);
  }
}

TEST(Scrambler, NonAsciiAndControlCharactersStillAvoidLineEnds) {
  std::mt19937 random(11);
  for (const std::string &password :
       {std::string("p\xe4ss\xf6rd"), std::string("a\tb\x01z"), std::string("\x0b\x0c")}) {
    const auto stored = ScramblePassword(password, random);
    ASSERT_TRUE(stored);
    for (char c : *stored) {
      EXPECT_TRUE(c != '\0' && c != '\r' && c != '\n' && c != '\x1a');
    }
    EXPECT_EQ(UnscramblePassword(*stored).password, password);
  }
}

TEST(Scrambler, RefusesEmptyAndTooLong) {
  std::mt19937 random(1);
  EXPECT_FALSE(ScramblePassword("", random));
  EXPECT_FALSE(ScramblePassword(std::string(21, 'a'), random));
  EXPECT_TRUE(ScramblePassword(std::string(20, 'a'), random));
}

} // namespace
