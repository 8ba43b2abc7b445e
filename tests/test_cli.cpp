// The sbrep tool: the line diff, check on good and bad exports, transfer
// against a direct call of SetSBRepData, and the option errors.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/diff.h"
#include "cli/sbrep_cli.h"
#include "core/messages.h"
#include "host/hold_open.h"
#include "platform/filesystem.h"
#include "support/support.h"
#include "table_file/journal.h"

namespace sbrep::test {
namespace {

using Lines = std::vector<std::string>;

// ---------------------------------------------------------------------------
// The line diff.

struct DiffCase {
  const char* name;
  Lines old_lines;
  Lines new_lines;
  const char* hunks;  // the diff after the two label lines; "" for no diff
};

Lines Numbered(int count) {
  Lines lines;
  for (int i = 1; i <= count; ++i) lines.push_back("l" + std::to_string(i));
  return lines;
}

Lines With(Lines lines, std::size_t index, const std::string& line) {
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

// ---------------------------------------------------------------------------
// The tool, driven through its library.

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

Outcome Sbrep(const Lines& args) {
  std::ostringstream out;
  std::ostringstream err;
  Outcome run;
  run.status = cli::RunCli(args, out, err);
  run.out = out.str();
  run.err = err.str();
  return run;
}

std::string ReplacedAll(std::string text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// What check prints for a message: its text decoded, then its gloss.
std::string Shown(Message message) {
  return GbkToUtf8ForTest(std::string(MessageBytes(message))) + " (" +
         std::string(MessageGloss(message)) + ")";
}

struct Kind {
  const char* number;
  const char* name;
  const char* table;
  const char* old_table;  // below tests/data
  const char* good_export;
};

const Kind kKinds[] = {
    {"1", "balance-sheet", "TABLE08.dat", "transfer/TABLE08.dat", "transfer/balance-sheet.xml"},
    {"2", "income-statement", "TABLE09.dat", "transfer/TABLE09.dat",
     "transfer/income-statement.xml"},
    {"3", "vat-schedule-one", "TABLE02.dat", "transfer/TABLE02.dat",
     "transfer/vat-worked-example.xml"},
};

// A registered install with all three tables, and a folder for exports.
class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& kind : kKinds) client_.PutTable(kind.table, ReadData(kind.old_table));
  }

  std::string PutExport(const std::string& fixture, const std::string& name) {
    const std::string path = exports_.Join(name);
    WriteBytes(path, ReadData(fixture));
    return path;
  }

  std::string Table(const std::string& name) const { return ReadBytes(client_.TablePath(name)); }
  std::string Icdat() { return ListFolder(client_.scratch().Join("Dexlan/ICDAT")); }

  // The output with the install folder written as @CLIENT@.
  std::string Anonymous(const std::string& out) const {
    return ReplacedAll(out, client_.folder(), "@CLIENT@");
  }

  FilingClient client_;
  ScratchFolder exports_;
};

TEST_F(Cli, CheckShowsTheDiffAndSummaryOfEachKind) {
  for (const auto& kind : kKinds) {
    SCOPED_TRACE(kind.name);
    const std::string xml = PutExport(kind.good_export, "导出.xml");
    const std::string before = Table(kind.table);
    const std::string listing = Icdat();
    const std::string expected = ReadData(std::string("cli/check-") + kind.name + ".txt");

    const Outcome by_name = Sbrep({"check", kind.name, xml});
    EXPECT_EQ(by_name.status, 0) << by_name.out << by_name.err;
    EXPECT_EQ(Anonymous(by_name.out), expected);
    EXPECT_EQ(by_name.err, "");
    const Outcome by_number = Sbrep({"check", kind.number, xml});
    EXPECT_EQ(by_number.status, 0);
    EXPECT_EQ(by_number.out, by_name.out);

    EXPECT_EQ(Table(kind.table), before);
    EXPECT_EQ(Icdat(), listing);
  }
}

TEST_F(Cli, CheckWarnsWhenTheExportHasFewerItemsThanRows) {
  const std::string xml = PutExport("cli/balance-sheet-three-items.xml", "three.xml");
  const Outcome run = Sbrep({"check", "1", xml});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("balance sheet: 3 items for 58 rows\n"
                         "  rows with values: 3\n"
                         "  rows left empty:  55\n"
                         "warning: the export has fewer items than the table has rows; rows 4 "
                         "to 58 get no item\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("+L04:4,,,\n"), std::string::npos);
}

TEST_F(Cli, CheckTakesTheClientFolderInsteadOfTheRegistry) {
  const std::string xml = PutExport("transfer/income-statement.xml", "syb.xml");
  client_.registry().Remove();
  EXPECT_EQ(Sbrep({"check", "2", xml}).status, 2);
  const Outcome run = Sbrep({"check", "2", xml, "--client", client_.folder()});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(Anonymous(run.out), ReadData("cli/check-income-statement.txt"));

  const Outcome missing = Sbrep({"check", "2", xml, "--client", exports_.Join("no such folder")});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.out.find("message: " + Shown(Message::kInstallFolderMissing)),
            std::string::npos)
      << missing.out;
}

// A transfer killed while it rewrote the table in place left it torn, with
// its journal: check rolls it back before it reads the table.
TEST_F(Cli, CheckRollsBackAnInterruptedSaveFirst) {
  const std::string xml = PutExport("transfer/income-statement.xml", "syb.xml");
  const std::string old_bytes = Table("TABLE09.dat");
  const std::string listing = Icdat();
  client_.PutTable("TABLE09.dat", "[TABLE09]\r\n" + old_bytes.substr(old_bytes.size() / 2));
  WriteBytes(JournalPath(client_.TablePath("TABLE09.dat")),
             EncodeJournal("TABLE09.dat", old_bytes));
  const Outcome run = Sbrep({"check", "2", xml});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(Anonymous(run.out), ReadData("cli/check-income-statement.txt"));
  EXPECT_EQ(Table("TABLE09.dat"), old_bytes);
  EXPECT_EQ(Icdat(), listing);
}

// Makes every export unreadable, as a lock or a missing permission would,
// while it still exists.
class UnreadableExports {
 public:
  UnreadableExports() : saved_(fs::FileSystem()) { fs::FileSystem().open = &Open; }
  ~UnreadableExports() { fs::FileSystem() = saved_; }

 private:
  static fs::Outcome Open(const std::string& path, fs::OpenMode mode, fs::Handle* out) {
    const bool xml = path.size() > 4 && path.compare(path.size() - 4, 4, ".xml") == 0;
    if (xml && mode == fs::OpenMode::kRead) return {fs::Status::kAccessDenied, 5};
    return fs::PlatformFileSystem().open(path, mode, out);
  }
  fs::Ops saved_;
};

enum class Setup { kNone, kUnregistered, kNoTable, kReadOnlyTable, kUnreadableExport };

struct FailureCase {
  const char* name;
  const char* kind;
  const char* table;
  const char* export_fixture;  // nullptr: a path that does not exist
  const char* table_fixture;   // nullptr: the good old table
  Setup setup;
  int status;
  Message message;
  const char* detail;  // the start of the detail line
};

TEST_F(Cli, CheckShowsTheDetailAndStatusOfEachFailureClass) {
  const FailureCase cases[] = {
      {"not installed", "3", "TABLE02.dat", "cli/vat-grouped-amount.xml", nullptr,
       Setup::kUnregistered, 2, Message::kNotInstalled, "no install folder is registered"},
      {"table file missing", "3", "TABLE02.dat", "transfer/vat-worked-example.xml", nullptr,
       Setup::kNoTable, 2, Message::kVatScheduleOneMissing, ""},
      {"export missing", "1", "TABLE08.dat", nullptr, nullptr, Setup::kNone, 2,
       Message::kExportMissing, ""},
      {"grouped amount", "3", "TABLE02.dat", "cli/vat-grouped-amount.xml", nullptr, Setup::kNone, 3,
       Message::kXmlParseError, "invoice 2 (SB_KPJK_FPMX): Amount '1,200.00' is not a number"},
      {"too many items", "1", "TABLE08.dat", "cli/balance-sheet-59-items.xml", nullptr,
       Setup::kNone, 3, Message::kXmlParseError,
       "balance sheet has 59 items, the table has 58 rows"},
      {"empty part", "1", "TABLE08.dat", "cli/balance-sheet-empty-jg.xml", nullptr, Setup::kNone, 3,
       Message::kXmlParseError, "DZSBB/SB_ZCFZB/SB_ZCFZB_JG is empty"},
      {"not well-formed", "2", "TABLE09.dat", "cli/income-statement-not-well-formed.xml", nullptr,
       Setup::kNone, 3, Message::kXmlParseError, "line "},
      {"short table file", "2", "TABLE09.dat", "transfer/income-statement.xml",
       "cli/TABLE09-20-lines.dat", Setup::kNone, 4, Message::kProcessingFailed,
       "TABLE09.dat has 20 lines, 23 needed"},
      {"read-only table file", "1", "TABLE08.dat", "transfer/balance-sheet.xml", nullptr,
       Setup::kReadOnlyTable, 4, Message::kProcessingFailed, "TABLE08.dat is read-only"},
      {"unreadable export", "1", "TABLE08.dat", "transfer/balance-sheet.xml", nullptr,
       Setup::kUnreadableExport, 5, Message::kProcessingFailed, "cannot read '"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FilingClient client;
    if (c.table_fixture != nullptr) {
      client.PutTable(c.table, ReadData(c.table_fixture));
    } else if (c.setup != Setup::kNoTable) {
      client.PutTable(c.table, ReadData(std::string("transfer/") + c.table));
    }
    const std::string xml = c.export_fixture != nullptr ? PutExport(c.export_fixture, "导出.xml")
                                                        : exports_.Join("missing.xml");
    if (c.setup == Setup::kUnregistered) client.registry().Remove();
    if (c.setup == Setup::kReadOnlyTable) MakeReadOnly(client.TablePath(c.table), true);
    const std::string before = ReadBytes(client.TablePath(c.table));

    Outcome run;
    if (c.setup == Setup::kUnreadableExport) {
      UnreadableExports unreadable;
      run = Sbrep({"check", c.kind, xml});
    } else {
      run = Sbrep({"check", c.kind, xml});
    }
    EXPECT_EQ(run.status, c.status) << run.out;
    EXPECT_NE(run.out.find("\nmessage: " + Shown(c.message) + "\ndetail: " + c.detail),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("\nready to file:"), std::string::npos);
    EXPECT_EQ(ReadBytes(client.TablePath(c.table)), before);
    if (c.setup == Setup::kReadOnlyTable) MakeReadOnly(client.TablePath(c.table), false);
  }
}

// The client may hold its table open: sharing read and write is fine, since
// the save can rewrite in place; a lock that shares nothing is not.
TEST_F(Cli, CheckReportsATableFileTheClientHoldsLocked) {
  if (!HoldOpen::Enforced()) GTEST_SKIP() << "this platform does not enforce sharing modes";
  const std::string xml = PutExport("transfer/balance-sheet.xml", "zcfzb.xml");
  const std::string before = Table("TABLE08.dat");
  {
    HoldOpen shared(client_.TablePath("TABLE08.dat"), Sharing::kReadWrite);
    ASSERT_TRUE(shared.ok());
    const Outcome run = Sbrep({"check", "1", xml});
    EXPECT_EQ(run.status, 0) << run.out;
  }
  {
    HoldOpen locked(client_.TablePath("TABLE08.dat"), Sharing::kNone);
    ASSERT_TRUE(locked.ok());
    const Outcome run = Sbrep({"check", "1", xml});
    EXPECT_EQ(run.status, 4) << run.out;
    EXPECT_NE(run.out.find("message: " + Shown(Message::kProcessingFailed) +
                           "\ndetail: cannot read TABLE08.dat: "),
              std::string::npos)
        << run.out;
  }
  EXPECT_EQ(Table("TABLE08.dat"), before);
}

// transfer and a host's call on the same inputs: same result, message and
// file bytes.
TEST_F(Cli, TransferDoesWhatADirectCallDoes) {
  struct Case {
    const char* name;
    const Kind& kind;
    const char* export_fixture;  // nullptr: a path that does not exist
    const char* table_fixture;
  };
  const Case cases[] = {
      {"balance sheet", kKinds[0], "transfer/balance-sheet.xml", "transfer/TABLE08.dat"},
      {"income statement", kKinds[1], "transfer/income-statement.xml", "transfer/TABLE09.dat"},
      {"VAT schedule one", kKinds[2], "transfer/vat-worked-example.xml", "transfer/TABLE02.dat"},
      {"grouped amount", kKinds[2], "cli/vat-grouped-amount.xml", "transfer/TABLE02.dat"},
      {"too many items", kKinds[0], "cli/balance-sheet-59-items.xml", "transfer/TABLE08.dat"},
      {"short table file", kKinds[1], "transfer/income-statement.xml", "cli/TABLE09-20-lines.dat"},
      {"export missing", kKinds[0], nullptr, "transfer/TABLE08.dat"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string xml = c.export_fixture != nullptr ? PutExport(c.export_fixture, "发票.xml")
                                                        : exports_.Join("缺少.xml");
    const std::string old_bytes = ReadData(c.table_fixture);

    client_.PutTable(c.kind.table, old_bytes);
    const CallResult call = CallSetSBRepData(xml, std::stoi(c.kind.number));
    const std::string called_bytes = Table(c.kind.table);

    client_.PutTable(c.kind.table, old_bytes);
    const Outcome run = Sbrep({"transfer", c.kind.name, xml});
    EXPECT_EQ(run.status, call.result == 0 ? 0 : 1) << run.out << run.err;
    EXPECT_EQ(
        run.out.compare(0, run.out.find('\n') + 1, "result: " + std::to_string(call.result) + "\n"),
        0)
        << run.out;
    if (call.result != 0) {
      EXPECT_NE(run.out.find("\nmessage: " + GbkToUtf8ForTest(call.message()) + " ("),
                std::string::npos)
          << run.out;
      EXPECT_NE(run.out.find("\ndetail: "), std::string::npos) << run.out;
    }
    EXPECT_EQ(Table(c.kind.table), called_bytes);
  }
}

// ---------------------------------------------------------------------------
// Options.

TEST(CliOptions, UsageErrorsGiveOneLineAnd64) {
  const Lines cases[] = {
      {},
      {"check"},
      {"check", "1"},
      {"check", "4", "export.xml"},
      {"check", "0", "export.xml"},
      {"check", "Balance-Sheet", "export.xml"},
      {"transfer", "vat", "export.xml"},
      {"check", "1", "export.xml", "extra.xml"},
      {"check", "1", "export.xml", "--frobnicate"},
      {"check", "1", "export.xml", "--client"},
      {"transfer", "1", "export.xml", "--client", "C:\\Dexlan"},
      {"--frobnicate"},
      {"file", "1", "export.xml"},
  };
  for (const auto& args : cases) {
    std::string joined;
    for (const auto& arg : args) joined += arg + " ";
    SCOPED_TRACE(joined);
    const Outcome run = Sbrep(args);
    EXPECT_EQ(run.status, 64);
    EXPECT_EQ(run.out, "");
    ASSERT_FALSE(run.err.empty());
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_EQ(run.err.rfind("sbrep: ", 0), 0u) << run.err;
  }
  EXPECT_NE(Sbrep({"check", "4", "x.xml"}).err.find("not '4'"), std::string::npos);
}

TEST(CliOptions, HelpShowsAnExampleAndVersionMatchesTheLibrary) {
  for (const Lines& args : {Lines{"--help"}, Lines{"check", "--help"}, Lines{"-h"}}) {
    const Outcome help = Sbrep(args);
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Examples:\n  sbrep check "), std::string::npos) << help.out;
  }
  const Outcome version = Sbrep({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "sbrep " SBREP_VERSION "\n");
}

}  // namespace
}  // namespace sbrep::test
