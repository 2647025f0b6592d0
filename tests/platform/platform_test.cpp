// Windows paths on POSIX, Windows text-mode reading, and fgets-style pieces.
#include <gtest/gtest.h>

#include "platform/path_mapping.h"
#include "platform/text_pieces.h"
#include "test_platform.h"

using namespace kestrovan;

namespace {

TEST(PathMapping, DrivesCurrentDriveAndRelativePaths) {
  struct {
    const char *path, *root, *mapped;
  } cases[] = {
      {"C:\\PRTG_Path.Txt", "/r", "/r/C/PRTG_Path.Txt"},
      {"d:\\Monitor\\x", "/r/", "/r/D/Monitor/x"},
      {"\\Program Files\\a b\\f", "/r", "/r/C/Program Files/a b/f"},
      {"PRD.P00", "/r", "PRD.P00"},
      {"sub\\PRD.P00", "/r", "sub/PRD.P00"},
      {"C:\\x", "", "/C/x"},
      {"D:rel", "/r", "/r/D/rel"},
      {"\\", "/r", "/r/C/"},
      {"", "/r", ""},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(MapWindowsPath(c.path, c.root), c.mapped) << c.path;
  }
}

TEST(PathMapping, FilesAreFoundWithoutRegardToCase) {
  ScratchTree tree;
  tree.Write("C:\\Program Files\\PRTG Network Monitor\\Custom Sensors\\EXEXML\\prd.p00", "x");
  TestPlatform os(tree);
  EXPECT_EQ(
      ReadAllText(os, "\\PROGRAM FILES\\prtg network monitor\\Custom Sensors\\ExeXml\\PRD.P00"),
      "x");
  EXPECT_EQ(ReadAllText(os, "\\Program Files\\Other\\PRD.P00"), std::nullopt);
}

TEST(PathMapping, NewFilesGoIntoTheExistingDirectoryOfAnyCase) {
  ScratchTree tree;
  tree.Write("D:\\Sensors\\EXEXML\\keep", "");
  TestPlatform os(tree);
  tree.Write("D:\\Sensors\\source.txt", "n");
  ASSERT_TRUE(os.CopyFile("D:\\Sensors\\source.txt", "D:\\sensors\\ExeXml\\new.txt", 1));
  EXPECT_EQ(tree.Read("D:\\Sensors\\EXEXML\\new.txt"), "n");
}

TEST(Platform, DirectoriesCannotBeOpened) {
  ScratchTree tree;
  tree.Write("D:\\dir\\file", "x");
  TestPlatform os(tree);
  EXPECT_EQ(ReadAllText(os, "D:\\dir"), std::nullopt);
  EXPECT_EQ(ReadAllText(os, "D:\\dir\\"), std::nullopt);
  EXPECT_EQ(ReadAllText(os, ""), std::nullopt);
}

TEST(Platform, TextAndBytes) {
  ScratchTree tree;
  tree.Write("f", "a\r\nb\rc\n\r\nd\x1a tail");
  TestPlatform os(tree);
  EXPECT_EQ(ReadAllText(os, "f"), "a\nb\rc\n\nd");
  os.RemoveFile("f");
  EXPECT_FALSE(tree.Exists("f"));
  os.RemoveFile("f"); // a missing file is not an error
}

TEST(TextPieces, LineFeedCountsTowardsThePiece) {
  struct {
    const char *text;
    std::size_t max;
    std::vector<std::string> pieces;
  } cases[] = {
      {"ab\ncd\n", 99, {"ab\n", "cd\n"}}, {"abcdef\n", 3, {"abc", "def", "\n"}},
      {"abc\n", 3, {"abc", "\n"}},        {"ab\n", 3, {"ab\n"}},
      {"no end", 99, {"no end"}},         {"", 99, {}},
      {"\n\n", 99, {"\n", "\n"}},
  };
  for (const auto &c : cases) {
    TextPieces pieces(c.text);
    std::vector<std::string> got;
    std::string piece;
    while (pieces.Next(c.max, &piece)) {
      got.push_back(piece);
    }
    EXPECT_EQ(got, c.pieces) << c.text;
  }
}

} // namespace
