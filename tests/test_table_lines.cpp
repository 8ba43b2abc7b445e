// Table lines: line breaks, the line builders, bounds, and the rebuild and
// patch of an old file's lines.
#include <gtest/gtest.h>

#include "core/error.h"
#include "platform/filesystem.h"
#include "support/support.h"
#include "table_file/table_lines.h"

namespace sbrep {
namespace {

using Lines = std::vector<std::string>;

std::string DetailOf(void (*action)()) {
  try {
    action();
  } catch (const Error& error) {
    EXPECT_EQ(error.fault(), Fault::kTable);
    return error.detail();
  }
  ADD_FAILURE() << "no error";
  return {};
}

TEST(TableLines, SplitBreaksAtCrLfLoneLfAndLoneCr) {
  const struct {
    std::string_view bytes;
    Lines lines;
  } cases[] = {
      {"", {}},
      {"\r\n", {""}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"a\r\nb", {"a", "b"}},
      {"a\nb\n", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},
      {"a\r\r\nb", {"a", "", "b"}},
      {"a\n\rb", {"a", "", "b"}},
      {"\n\n", {"", ""}},
      {"a\r\n\r\n", {"a", ""}},
      {"a\r", {"a"}},
      {"L01:1,\xC4\xE3\xBA\xC3,\r\nLD0:,,,", {"L01:1,\xC4\xE3\xBA\xC3,", "LD0:,,,"}},
      {std::string_view("a\0b\n", 4), {std::string("a\0b", 3)}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitTableLines(c.bytes).lines(), c.lines) << c.bytes;
}

TEST(TableLines, JoinEndsEveryLineWithCrLf) {
  EXPECT_EQ(JoinTableLines(TableLines()), "");
  EXPECT_EQ(JoinTableLines(TableLines({""})), "\r\n");
  EXPECT_EQ(JoinTableLines(TableLines({"a", "", "\xB1\xED"})), "a\r\n\r\n\xB1\xED\r\n");
}

TEST(TableLines, LineBuildersFollowTheClientGrammar) {
  EXPECT_EQ(FormatDataLine(1, 1, {"", ""}), "L01:1,,,");
  EXPECT_EQ(FormatDataLine(7, 12, {"12.50", "-3.00"}), "L07:12,12.50,-3.00,");
  EXPECT_EQ(FormatDataLine(10, 9, {"1,2", ""}), "L10:9,1,2,,");
  EXPECT_EQ(FormatDataLine(123, 4, {}), "L123:4,");
  EXPECT_EQ(FormatDataLine(2, 3, {"\xD6\xD0"}), "L02:3,\xD6\xD0,");
  EXPECT_EQ(FormatMarkerLine(0), "LD0:,,,");
  EXPECT_EQ(FormatMarkerLine(9), "LD9:,,,");
  EXPECT_EQ(FormatMarkerLine(10), "LDA:,,,");
  EXPECT_EQ(FormatMarkerLine(15), "LDF:,,,");
  EXPECT_THROW(FormatMarkerLine(16), Error);
  EXPECT_THROW(FormatMarkerLine(-1), Error);
}

TEST(TableLines, AccessOutsideTheListThrows) {
  TableLines lines({"a", "b"});
  EXPECT_EQ(lines.LineAt(1), "b");
  lines.InsertLine(2, "c");
  lines.InsertLine(0, "z");
  lines.ReplaceLine(1, "A");
  lines.AppendLine("d");
  EXPECT_EQ(lines.lines(), (Lines{"z", "A", "b", "c", "d"}));

  EXPECT_THROW(lines.LineAt(5), Error);
  EXPECT_THROW(lines.ReplaceLine(5, "x"), Error);
  EXPECT_THROW(lines.InsertLine(6, "x"), Error);
  EXPECT_EQ(DetailOf([] { TableLines({"a"}).LineAt(3); }), "read of line 3 in a table of 1 line");
}

TEST(TableLines, RebuildKeepsHeaderAndTrailerAroundTheBody) {
  const TableLines old({"h0", "h1", "b0", "b1", "t0", "t1", "x"});
  EXPECT_EQ(RebuildTable(old, 2, {"n0"}, 4, 6, "T").lines(), (Lines{"h0", "h1", "n0", "t0", "t1"}));
  EXPECT_EQ(RebuildTable(old, 0, {}, 7, 7, "T").lines(), Lines{});
  EXPECT_EQ(RebuildTable(old, 7, {"n"}, 0, 1, "T").lines(),
            (Lines{"h0", "h1", "b0", "b1", "t0", "t1", "x", "n", "h0"}));
}

TEST(TableLines, ShortOldFilesAreNamedInTheDetail) {
  EXPECT_EQ(
      DetailOf([] { RebuildTable(TableLines(Lines(80, "x")), 3, {}, 10, 83, "TABLE08.dat"); }),
      "TABLE08.dat has 80 lines, 83 needed");
  EXPECT_EQ(DetailOf([] { RebuildTable(TableLines({"x"}), 2, {}, 2, 2, "TABLE09.dat"); }),
            "TABLE09.dat has 1 line, 2 needed");
  EXPECT_EQ(DetailOf([] {
              PatchTable(TableLines(), {{0, "y"}}, "TABLE02.dat");
            }),
            "TABLE02.dat has 0 lines, 1 needed");
  EXPECT_EQ(DetailOf([] {
              PatchTable(TableLines({"a", "b"}), {{0, "y"}, {4, "z"}}, "T");
            }),
            "T has 2 lines, 5 needed");
}

TEST(TableLines, PatchReplacesInOrder) {
  const TableLines old({"a", "b", "c"});
  EXPECT_EQ(PatchTable(old, {{2, "C"}, {0, "A"}, {2, "D"}}, "T").lines(), (Lines{"A", "b", "D"}));
  EXPECT_EQ(PatchTable(old, {}, "T").lines(), old.lines());
}

TEST(TableLines, LoadReadsGbkBytesUnchanged) {
  test::ScratchFolder folder;
  const std::string path = folder.Join("TABLE08.dat");
  test::WriteBytes(path, "L01:1,\xD7\xCA\xB2\xFA,\x80\xFF,\nLD0:,,,\r");
  EXPECT_EQ(LoadTableLines(path).lines(), (Lines{"L01:1,\xD7\xCA\xB2\xFA,\x80\xFF,", "LD0:,,,"}));
  test::WriteBytes(path, "");
  EXPECT_EQ(LoadTableLines(path).size(), 0u);
}

TEST(TableLines, LoadFailureNamesTheFileAndTheCause) {
  test::ScratchFolder folder;
  const std::string path = folder.Join("TABLE08.dat");
  try {
    LoadTableLines(path);
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(error.fault(), Fault::kTable);
    EXPECT_EQ(error.detail().rfind("cannot read TABLE08.dat: not found (", 0), 0u)
        << error.detail();
  }
  const fs::Ops saved = fs::FileSystem();
  fs::FileSystem().open = [](const std::string&, fs::OpenMode, fs::Handle*) noexcept {
    return fs::Outcome{fs::Status::kAccessDenied, 5};
  };
  test::WriteBytes(path, "x");
  std::string detail;
  try {
    LoadTableLines(path);
  } catch (const Error& error) {
    detail = error.detail();
  }
  fs::FileSystem() = saved;
  EXPECT_EQ(detail, "cannot read TABLE08.dat: access denied (5)");
}

}  // namespace
}  // namespace sbrep
