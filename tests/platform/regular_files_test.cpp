// Files read in pieces, copied and removed by the platform: regular files only, in bounded memory.
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/text_pieces.h"
#include "test_platform.h"

using namespace kestrovan;

namespace {

namespace fs = std::filesystem;

std::vector<std::string> AllPieces(TextSource &source, std::size_t max_chars) {
  std::vector<std::string> pieces;
  std::string piece;
  while (source.Next(max_chars, &piece)) {
    pieces.push_back(piece);
  }
  return pieces;
}

TEST(OpenText, GivesThePiecesOfTheWholeTranslatedText) {
  constexpr std::size_t chunk = kFileReadChunk;
  const std::string x(chunk - 1, 'x');
  const struct {
    const char *name;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"mixed_line_ends", std::string("a\r\nb\rc\n\r\nd\x1a tail\r\n", 18)},
      {"lone_cr_at_end", "abc\r"},
      {"cr_cr_lf", "a\r\r\nb\n"},
      {"nul_inside", std::string("a\0b\r\n", 5)},
      {"ctrl_z_first", "\x1a"
                       "after\n"},
      {"cr_lf_across_reads", x + "\r\ny\r\n"},
      {"cr_cr_across_reads", x + "\r\r\nz"},
      {"cr_ctrl_z_across_reads", x + "\r\x1a"
                                     "hidden\n"},
      {"cr_ends_file_at_read_end", x + "\r"},
      {"ctrl_z_opens_second_read", x + "x\x1a"
                                       "hidden"},
      {"cr_lf_ctrl_z_at_read_end", std::string(chunk - 2, 'x') + "\r\n\x1a"
                                                                 "hidden"},
      {"line_longer_than_two_reads", std::string(2 * chunk + 5, 'L') + "\r\nend"},
      {"many_short_lines",
       [] {
         std::string s;
         for (int i = 0; i < 40000; ++i) {
           s += std::to_string(i) + (i % 3 ? "\r\n" : "\n");
         }
         return s;
       }()},
  };
  for (const auto &c : cases) {
    ScratchTree tree;
    tree.Write("f", c.bytes);
    TestPlatform os(tree);
    const std::string text = TranslateTextMode(c.bytes);
    for (const std::size_t max_chars :
         {std::size_t{1}, std::size_t{99}, std::size_t{159}, std::size_t{199}, chunk + 1}) {
      const auto source = os.OpenText("f");
      ASSERT_NE(source, nullptr) << c.name;
      TextPieces expected(text);
      EXPECT_EQ(AllPieces(*source, max_chars), AllPieces(expected, max_chars))
          << c.name << ", pieces of " << max_chars;
    }
  }
}

/// What a path names that is no regular file: every operation refuses it and leaves it as it is.
TEST(Platform, OnlyRegularFilesAndNoPathHoldingNul) {
  ScratchTree tree;
  tree.Write("f", "x");
  fs::create_directory(tree.Local("Dev_Rfc.Trc"));
  ASSERT_EQ(::mkfifo(tree.Local("fifo").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", tree.Local("zero"));
  TestPlatform os(tree);

  const std::string paths[] = {"Dev_Rfc.Trc", "fifo", "zero", std::string("f\0.P00", 6),
                               std::string("C:\\work\\f\0\\ExeXml\\PRD.P00", 24)};
  for (const std::string &path : paths) {
    const std::string name = path.substr(0, path.find('\0'));
    EXPECT_EQ(os.OpenText(path), nullptr) << name;
    EXPECT_EQ(os.OpenTextEnd(path, 1), nullptr) << name;
    EXPECT_FALSE(os.IsFile(path)) << name;
    EXPECT_FALSE(os.CopyFile(path, "copy", kFileReadChunk)) << name;
    EXPECT_FALSE(os.CopyFile("f", path, kFileReadChunk)) << name;
    EXPECT_EQ(os.OpenAppend(path), nullptr) << name;
    os.RemoveFile(path);
    EXPECT_TRUE(fs::exists(fs::symlink_status(tree.Local(name)))) << name;
  }
  EXPECT_EQ(tree.Read("f"), "x");
  EXPECT_FALSE(tree.Exists("copy"));
  EXPECT_TRUE(fs::is_directory(tree.Local("Dev_Rfc.Trc")));
  EXPECT_TRUE(fs::is_fifo(tree.Local("fifo")));
}

TEST(Platform, CopyFileCopiesEveryByteAndTruncatesTheTarget) {
  ScratchTree tree;
  std::string bytes(3 * kFileReadChunk + 7, 'b');
  bytes.replace(kFileReadChunk - 1, 4, std::string("\r\n\x1a\0", 4));
  tree.Write("SapRfc.PRD", bytes);
  tree.Write("SapRfc.ini", std::string(4 * kFileReadChunk, 'o'));
  TestPlatform os(tree);
  EXPECT_TRUE(os.IsFile("saprfc.prd"));
  // One byte beyond the largest copy: refused, and the target stays as it was.
  EXPECT_FALSE(os.CopyFile("SapRfc.PRD", "SapRfc.ini", bytes.size() - 1));
  EXPECT_EQ(tree.Read("SapRfc.ini"), std::string(4 * kFileReadChunk, 'o'));
  ASSERT_TRUE(os.CopyFile("SapRfc.PRD", "SapRfc.ini", bytes.size()));
  EXPECT_EQ(tree.Read("SapRfc.ini"), bytes);
  // the same file, found without case
  ASSERT_TRUE(os.CopyFile("SapRfc.PRD", "SAPRFC.prd", bytes.size()));
  EXPECT_EQ(tree.Read("SapRfc.PRD"), bytes);
  EXPECT_FALSE(os.CopyFile("SapRfc.QAS", "SapRfc.ini", bytes.size()));
  EXPECT_EQ(tree.Read("SapRfc.ini"), bytes);
}

} // namespace
