// The line diff the tool shows of a table.
#include "cli_tests/cli_test.h"

#include "cli/diff.h"

namespace sbrep::test {
namespace {

struct DiffCase {
  const char* name;
  Strings old_lines;
  Strings new_lines;
  const char* hunks;  // the diff after the two label lines; "" for no diff
};

Strings Numbered(int count) {
  Strings lines;
  for (int i = 1; i <= count; ++i) lines.push_back("l" + std::to_string(i));
  return lines;
}

Strings With(Strings lines, std::size_t index, const std::string& line) {
  lines[index] = line;
  return lines;
}

TEST(UnifiedDiff, MatchesTheUnifiedFormat) {
  const DiffCase cases[] = {
      {"equal", Numbered(5), Numbered(5), ""},
      {"both empty", {}, {}, ""},
      {"one line", {"a"}, {"b"}, "@@ -1 +1 @@\n-a\n+b\n"},
      {"into an empty file", {}, {"a", "b"}, "@@ -0,0 +1,2 @@\n+a\n+b\n"},
      {"everything removed", {"a", "b"}, {}, "@@ -1,2 +0,0 @@\n-a\n-b\n"},
      {"middle change, three lines of context", Numbered(10), With(Numbered(10), 4, "x"),
       "@@ -2,7 +2,7 @@\n l2\n l3\n l4\n-l5\n+x\n l6\n l7\n l8\n"},
      {"context cut at the start", Numbered(6), With(Numbered(6), 0, "x"),
       "@@ -1,4 +1,4 @@\n-l1\n+x\n l2\n l3\n l4\n"},
      {"insertion keeps later lines", {"a", "c"}, {"a", "b", "c"}, "@@ -1,2 +1,3 @@\n a\n+b\n c\n"},
      {"deletions come before insertions",
       {"a", "b", "c"},
       {"a", "x", "y", "c"},
       "@@ -1,3 +1,4 @@\n a\n-b\n+x\n+y\n c\n"},
      {"six lines apart share a hunk", Numbered(12), With(With(Numbered(12), 2, "x"), 9, "y"),
       "@@ -1,12 +1,12 @@\n l1\n l2\n-l3\n+x\n l4\n l5\n l6\n l7\n l8\n l9\n-l10\n+y\n l11\n"
       " l12\n"},
      {"seven lines apart make two hunks", Numbered(14), With(With(Numbered(14), 2, "x"), 10, "y"),
       "@@ -1,6 +1,6 @@\n l1\n l2\n-l3\n+x\n l4\n l5\n l6\n"
       "@@ -8,7 +8,7 @@\n l8\n l9\n l10\n-l11\n+y\n l12\n l13\n l14\n"},
      {"a moved line",
       {"a", "b", "c", "d"},
       {"b", "c", "d", "a"},
       "@@ -1,4 +1,4 @@\n-a\n b\n c\n d\n+a\n"},
  };
  const auto plain = [](const std::string& line) { return line; };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string diff = cli::UnifiedDiff(c.old_lines, c.new_lines, {"old", "new"}, plain);
    const std::string hunks = c.hunks;
    EXPECT_EQ(diff, hunks.empty() ? "" : "--- old\n+++ new\n" + hunks);
  }
}

TEST(UnifiedDiff, ComparesBytesAndRendersForPrinting) {
  // Two lines that render alike still differ.
  const auto shout = [](const std::string& line) { return "<" + line + ">"; };
  EXPECT_EQ(cli::UnifiedDiff({"a", "b"}, {"a", "B"}, {"o", "n"},
                             [](const std::string&) { return std::string("same"); }),
            "--- o\n+++ n\n@@ -1,2 +1,2 @@\n same\n-same\n+same\n");
  EXPECT_EQ(cli::UnifiedDiff({"a"}, {"a", "b"}, {"o", "n"}, shout),
            "--- o\n+++ n\n@@ -1 +1,2 @@\n <a>\n+<b>\n");
}

// A table's bytes reach the terminal escaped, and an escape never reads like
// the table's own text.
TEST(UnifiedDiff, ShowsControlsAndBadBytesEscapedAndUnambiguous) {
  const struct {
    const char* name;
    std::string gbk;
    const char* shown;
  } cases[] = {
      {"an escape sequence", "\x1b[2Jred", "\\x1b[2Jred"},
      {"NUL, tab and DEL", std::string("a\0b\tc\x7f", 6), "a\\x00b\\x09c\\x7f"},
      {"a literal backslash", "C:\\x81", "C:\\\\x81"},
      {"a byte that is no GBK", "\x81", "\\x81"},
      {"GBK with one bad byte", "\xb1\xe0\xd6\xc6\xff\x1b", "编制\\xff\\x1b"},
      {"a GBK character ending in 0x5C", "\x81\x5c\\", "乗\\\\"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(cli::EscapedLine(c.gbk), c.shown);
  }
}

}  // namespace
}  // namespace sbrep::test
