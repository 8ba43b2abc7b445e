// The sbrep tool: the line diff, check on good, bad and misfiled exports,
// transfer against a direct call of SetSBRepData, backups and restore, the
// deployed library, JSON, and the command line's mistakes.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "cli/backup.h"
#include "cli/diff.h"
#include "cli/places.h"
#include "cli/progress.h"
#include "cli/sbrep_cli.h"
#include "cli/shared.h"
#include "core/messages.h"
#include "host/hold_open.h"
#include "host/process.h"
#include "platform/codepage.h"
#include "platform/filesystem.h"
#include "support/injector.h"
#include "support/support.h"
#include "table_file/journal.h"
#include "transfer/call_log.h"
#include "transfer_cases.h"

namespace sbrep::test {
namespace {

using Json = nlohmann::json;
using Strings = std::vector<std::string>;

// ---------------------------------------------------------------------------
// The line diff.

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

// ---------------------------------------------------------------------------
// The tool, driven through its library.

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// `input` is what the person types at a prompt.
Outcome Sbrep(const Strings& args, const std::string& input = "") {
  std::ostringstream out;
  std::ostringstream err;
  std::istringstream in(input);
  cli::Console console{out, err, in, false, false, {}};
  Outcome run;
  run.status = cli::RunCli(args, console);
  run.out = out.str();
  run.err = err.str();
  return run;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
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

// A registered install with all three tables, a folder for exports, and a
// backup folder of the test's own, which the platform's default names too.
class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& kind : kKinds) client_.PutTable(kind.table, ReadData(kind.old_table));
  }

  std::string PutExport(const std::string& fixture, const std::string& name) {
    return PutExportBytes(ReadData(fixture), name);
  }
  std::string PutExportBytes(const std::string& bytes, const std::string& name) {
    const std::string path = exports_.Join(name);
    WriteBytes(path, bytes);
    return path;
  }

  std::string Table(const std::string& name) const { return ReadBytes(client_.TablePath(name)); }
  std::string Icdat() { return ListFolder(client_.scratch().Join("Dexlan/ICDAT")); }
  std::string Backups() { return ListFolder(backups_.path()); }

  // The output with the install folder written as @CLIENT@.
  std::string Anonymous(const std::string& out) const {
    return ReplacedAll(out, client_.folder(), "@CLIENT@");
  }

  FilingClient client_;
  ScratchFolder exports_;
  ScratchFolder backups_;
  // The profile: the default backup folder and the call log.
  ScratchFolder profile_;
  EnvironmentVariable local_app_data_{"LOCALAPPDATA", profile_.Join("local")};
  EnvironmentVariable xdg_state_home_{"XDG_STATE_HOME", profile_.Join("state")};
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

TEST_F(Cli, CheckTakesTheClientFolderInsteadOfTheRegistry) {
  const std::string xml = PutExport("transfer/income-statement.xml", "syb.xml");
  client_.registry().Remove();
  EXPECT_EQ(Sbrep({"check", "2", xml}).status, 2);
  const Outcome run = Sbrep({"check", "2", xml, "--client", client_.folder()});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(Anonymous(run.out), ReadData("cli/check-income-statement.txt"));

  const Outcome missing = Sbrep({"check", "2", xml, "--client", exports_.Join("no such folder")});
  EXPECT_EQ(missing.status, 2);
  EXPECT_TRUE(Has(missing.err, "message: " + Shown(Message::kInstallFolderMissing))) << missing.err;
}

// The ICDAT folder, or the Dexlan folder, given for the install folder is a
// common slip; empty text is no folder at all.
TEST_F(Cli, AClientFolderThatCannotBeAnInstallIsAUsageError) {
  const std::string xml = PutExport("transfer/income-statement.xml", "syb.xml");
  const std::string icdat = client_.scratch().Join("Dexlan/ICDAT");
  const std::string dexlan = client_.scratch().Join("Dexlan");
  const struct {
    std::string folder;
    std::string said;
  } cases[] = {
      {"", "--client takes the install folder, the one that holds Dexlan\\ICDAT, not empty text"},
      {icdat, "'" + icdat + "' is the ICDAT folder itself: give '" + client_.folder() + "'"},
      {dexlan, "'" + dexlan + "' is the Dexlan folder below it: give '" + client_.folder() + "'"},
  };
  for (const auto& c : cases) {
    for (const char* command : {"check", "transfer"}) {
      SCOPED_TRACE(std::string(command) + " --client " + c.folder);
      const Outcome run = Sbrep({command, "2", xml, "--client", c.folder});
      EXPECT_EQ(run.status, 64);
      EXPECT_TRUE(Has(run.err, c.said)) << run.err;
      EXPECT_FALSE(Has(run.err, "registry")) << run.err;
    }
  }
  EXPECT_EQ(Backups(), "");
}

// A transfer killed while it rewrote the table in place left it torn, with
// its journal: check rolls it back before it reads the table.
TEST_F(Cli, CheckRollsBackAnInterruptedSaveFirst) {
  const std::string xml = PutExport("transfer/income-statement.xml", "syb.xml");
  const std::string old_bytes = Table("TABLE09.dat");
  const std::string listing = Icdat();
  const std::string filed = ReadData("transfer/TABLE09-filed.dat");
  std::string torn = old_bytes;
  torn.replace(0, filed.size() / 2, filed.substr(0, filed.size() / 2));
  client_.PutTable("TABLE09.dat", torn);
  WriteBytes(JournalPath(client_.TablePath("TABLE09.dat")),
             EncodeJournal("TABLE09.dat", old_bytes, filed));
  const Outcome run = Sbrep({"check", "2", xml});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(Anonymous(run.out), ReadData("cli/check-income-statement.txt"));
  EXPECT_TRUE(Has(run.err,
                  "note: an interrupted save had left TABLE09.dat half written; it was "
                  "rolled back\n"))
      << run.err;
  EXPECT_EQ(Table("TABLE09.dat"), old_bytes);
  EXPECT_EQ(Icdat(), listing);

  // The client saved its table since the kill: kept, and said so.
  const std::string client_save = "[TABLE09 saved by the client]" + torn;
  client_.PutTable("TABLE09.dat", client_save);
  WriteBytes(JournalPath(client_.TablePath("TABLE09.dat")),
             EncodeJournal("TABLE09.dat", old_bytes, filed));
  const Outcome kept = Sbrep({"check", "2", xml, "--json"});
  const Json json = Json::parse(kept.out, nullptr, false);
  EXPECT_EQ(json["recovery"], "kept") << kept.out;
  EXPECT_EQ(json["recovery_note"],
            "an interrupted save's journal was found, but TABLE09.dat changed since; it was kept "
            "as it is");
  EXPECT_EQ(Table("TABLE09.dat"), client_save);
  EXPECT_EQ(Icdat(), listing);
}

// Makes every export unreadable, as a lock or a missing permission would,
// while it still exists.
class UnreadableExports {
 public:
  UnreadableExports() : saved_(fs::FileSystem()) { fs::FileSystem().open = &Open; }
  ~UnreadableExports() { fs::FileSystem() = saved_; }

 private:
  static fs::Outcome Open(const std::string& path, fs::OpenMode mode, fs::Handle* out) noexcept {
    const bool xml = path.size() > 4 && path.compare(path.size() - 4, 4, ".xml") == 0;
    if (xml && mode == fs::OpenMode::kRead) return {fs::Status::kAccessDenied, 5};
    return fs::PlatformFileSystem().open(path, mode, out);
  }
  fs::Ops saved_;
};

// Lets no new file be made in one folder, as an access list that allows
// writing its files but not creating them does.
class NoNewFileIn {
 public:
  explicit NoNewFileIn(const std::string& folder) : saved_(fs::FileSystem()) {
    folder_ = Normal(folder + "/");
    fs::FileSystem().open = &Open;
  }
  ~NoNewFileIn() { fs::FileSystem() = saved_; }

 private:
  static std::string Normal(std::string path) {
    for (char& c : path) c = c == '\\' ? '/' : c;
    return path;
  }
  static fs::Outcome Open(const std::string& path, fs::OpenMode mode, fs::Handle* out) noexcept {
    if (mode == fs::OpenMode::kCreateOrTruncate && Normal(fs::FolderOf(path)) == folder_) {
      return {fs::Status::kAccessDenied, 13};
    }
    return fs::PlatformFileSystem().open(path, mode, out);
  }
  static inline std::string folder_;
  fs::Ops saved_;
};

enum class Setup {
  kNone,
  kUnregistered,
  kNoTable,
  kReadOnlyTable,
  kUnreadableExport,
  kFolder,
  kBackupDirIsAFile,     // --backup-dir names a file
  kDefaultBackupBlocked  // a file stands where the default backup folder goes
};

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

// The verdict and the reasons go to the error stream, the report (when
// there is one) to the output. Where a check is not ready, a transfer on
// the same files fails too and leaves the table as it was.
TEST_F(Cli, CheckShowsTheDetailAndStatusOfEachFailureClassAndTransferFailsAlike) {
  const FailureCase cases[] = {
      {"not installed", "3", "TABLE02.dat", "cli/vat-grouped-amount.xml", nullptr,
       Setup::kUnregistered, 2, Message::kNotInstalled, "no install folder is registered"},
      {"table file missing", "3", "TABLE02.dat", "transfer/vat-worked-example.xml", nullptr,
       Setup::kNoTable, 2, Message::kVatScheduleOneMissing, ""},
      {"export missing", "1", "TABLE08.dat", nullptr, nullptr, Setup::kNone, 2,
       Message::kExportMissing, ""},
      {"export is a folder", "1", "TABLE08.dat", nullptr, nullptr, Setup::kFolder, 2,
       Message::kExportMissing, "the export '"},
      {"grouped amount", "3", "TABLE02.dat", "cli/vat-grouped-amount.xml", nullptr, Setup::kNone, 3,
       Message::kXmlParseError, "invoice 2 (SB_KPJK_FPMX): Amount '1,200.00' is not a number"},
      {"too many items", "1", "TABLE08.dat", "cli/balance-sheet-59-items.xml", nullptr,
       Setup::kNone, 3, Message::kXmlParseError,
       "balance sheet has more than 58 items, the table has 58 rows"},
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
      {"--backup-dir is a file", "2", "TABLE09.dat", "transfer/income-statement.xml", nullptr,
       Setup::kBackupDirIsAFile, 5, Message::kEmpty, "cannot make the backup folder "},
      {"default backup folder blocked", "3", "TABLE02.dat", "transfer/vat-worked-example.xml",
       nullptr, Setup::kDefaultBackupBlocked, 5, Message::kEmpty, "cannot make the backup folder "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FilingClient client;
    if (c.table_fixture != nullptr) {
      client.PutTable(c.table, ReadData(c.table_fixture));
    } else if (c.setup != Setup::kNoTable) {
      client.PutTable(c.table, ReadData(std::string("transfer/") + c.table));
    }
    std::string xml = c.export_fixture != nullptr ? PutExport(c.export_fixture, "导出.xml")
                                                  : exports_.Join("missing.xml");
    if (c.setup == Setup::kFolder) {
      xml = exports_.Join("导出");
      MakeFolder(xml);
    }
    if (c.setup == Setup::kUnregistered) client.registry().Remove();
    if (c.setup == Setup::kReadOnlyTable) MakeReadOnly(client.TablePath(c.table), true);
    const std::string before = ReadBytes(client.TablePath(c.table));
    const std::string blocked = exports_.Join("a file");
    WriteBytes(blocked, "");
    const auto run_command = [&](const char* command) {
      Strings args = {command, c.kind, xml};
      if (c.setup == Setup::kBackupDirIsAFile) args.insert(args.end(), {"--backup-dir", blocked});
      std::optional<UnreadableExports> unreadable;
      std::optional<EnvironmentVariable> app_data;
      std::optional<EnvironmentVariable> state;
      if (c.setup == Setup::kUnreadableExport) unreadable.emplace();
      if (c.setup == Setup::kDefaultBackupBlocked) {
        app_data.emplace("LOCALAPPDATA", blocked);
        state.emplace("XDG_STATE_HOME", blocked);
      }
      return Sbrep(args);
    };

    const Outcome run = run_command("check");
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(run.err.rfind("not ready to file: ", 0), 0u) << run.err;
    if (c.message == Message::kEmpty) {
      EXPECT_TRUE(Has(run.err, "\ndetail: " + std::string(c.detail))) << run.err;
      EXPECT_FALSE(Has(run.err, "message:")) << run.err;
    } else {
      EXPECT_TRUE(Has(run.err, "\nmessage: " + Shown(c.message) + "\ndetail: " + c.detail))
          << run.err;
    }
    EXPECT_FALSE(Has(run.out, "ready to file")) << run.out;
    EXPECT_FALSE(Has(run.out, "message:")) << run.out;
    if (c.setup == Setup::kFolder) {
      EXPECT_TRUE(Has(run.err, "' is a folder, not a file")) << run.err;
    }
    EXPECT_EQ(ReadBytes(client.TablePath(c.table)), before);

    const Outcome transfer = run_command("transfer");
    EXPECT_EQ(transfer.status, 1) << transfer.out << transfer.err;
    EXPECT_EQ(transfer.err.rfind("not transferred: ", 0), 0u) << transfer.err;
    EXPECT_EQ(ReadBytes(client.TablePath(c.table)), before);
    if (c.setup == Setup::kReadOnlyTable) MakeReadOnly(client.TablePath(c.table), false);
  }
}

// A folder that takes no new file still takes the save, in place: check
// says so and is ready, and the transfer files.
TEST_F(Cli, AFolderThatTakesNoNewFileIsWarnedOfAndStillFiled) {
  const std::string xml = PutExport("transfer/balance-sheet.xml", "zcfzb.xml");
  const std::string before = Table("TABLE08.dat");
  NoNewFileIn no_new_file(client_.scratch().Join("Dexlan/ICDAT"));
  const Outcome check = Sbrep({"check", "1", xml});
  EXPECT_EQ(check.status, 0) << check.err;
  EXPECT_TRUE(Has(check.err, "takes no new file, so the save rewrites it in place")) << check.err;
  EXPECT_EQ(Sbrep({"check", "1", xml, "--strict"}).status, 3);
  EXPECT_EQ(Table("TABLE08.dat"), before);
  const Outcome transfer = Sbrep({"transfer", "1", xml});
  EXPECT_EQ(transfer.status, 0) << transfer.err;
  EXPECT_NE(Table("TABLE08.dat"), before);
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
    EXPECT_EQ(run.status, 0) << run.err;
  }
  {
    HoldOpen locked(client_.TablePath("TABLE08.dat"), Sharing::kNone);
    ASSERT_TRUE(locked.ok());
    const Outcome run = Sbrep({"check", "1", xml});
    EXPECT_EQ(run.status, 4) << run.err;
    EXPECT_TRUE(Has(run.err, "message: " + Shown(Message::kProcessingFailed) +
                                 "\ndetail: cannot read TABLE08.dat: "))
        << run.err;
  }
  EXPECT_EQ(Table("TABLE08.dat"), before);
}

// A path the ANSI code page cannot hold never reaches the DLL as it is: a
// check that called it ready to file would promise what no transfer keeps.
TEST_F(Cli, ACheckOfAPathAHostCannotPassFailsAsTheTransferDoes) {
  const std::string name = "导出-\xF0\x9F\x98\x80.xml";  // an emoji: in no ANSI code page
  if (Utf8ToAnsi(name)) GTEST_SKIP() << "a host's path here is any bytes";
  const std::string xml = PutExport("transfer/income-statement.xml", name);
  const std::string before = Table("TABLE09.dat");
  const Outcome check = Sbrep({"check", "2", xml});
  const Outcome transfer = Sbrep({"transfer", "2", xml});
  EXPECT_EQ(check.status, 2) << check.out << check.err;
  EXPECT_EQ(transfer.status, 1);
  for (const Outcome* run : {&check, &transfer}) {
    EXPECT_TRUE(Has(run->err, "message: " + Shown(Message::kExportMissing) +
                                  "\ndetail: the ANSI code page cannot hold the export's path"))
        << run->err;
  }
  EXPECT_FALSE(Has(check.out, "ready to file"));
  EXPECT_EQ(Table("TABLE09.dat"), before);
  EXPECT_EQ(Backups(), "");
}

TEST_F(Cli, AnExportOfAnotherKindSaysWhichKindItLooksLike) {
  const std::string balance = PutExport("transfer/balance-sheet.xml", "zcfzb.xml");
  const std::string income = PutExport("transfer/income-statement.xml", "syb.xml");
  const std::string vat = PutExport("transfer/vat-worked-example.xml", "fp.xml");
  // Right root and section, wrong value: still an income statement export.
  const std::string bad_income =
      PutExportBytes(Replaced(ReadData("transfer/income-statement.xml"), "<SB_SYB_MXXX>",
                              "<SB_SYB_MXXX><SB_SYB_XM><HC>1</HC></SB_SYB_XM>"),
                     "syb-bad.xml");
  const struct {
    const char* kind;
    std::string xml;
    const char* hint;  // nullptr: none
  } cases[] = {
      {"3", balance, "this looks like a balance sheet export: use KIND 1 (balance-sheet)"},
      {"1", income, "this looks like an income statement export: use KIND 2 (income-statement)"},
      {"1", vat, "this looks like a VAT schedule one export: use KIND 3 (vat-schedule-one)"},
      {"3", bad_income,
       "this looks like an income statement export: use KIND 2 (income-statement)"},
      {"2", PutExportBytes("<DZSBB><SB_OTHER/></DZSBB>", "other.xml"), nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.xml);
    for (const char* command : {"check", "transfer"}) {
      const Outcome run = Sbrep({command, c.kind, c.xml});
      EXPECT_NE(run.status, 0);
      if (c.hint == nullptr) {
        EXPECT_FALSE(Has(run.err, "hint:")) << run.err;
      } else {
        EXPECT_TRUE(Has(run.err, std::string("\nhint: ") + c.hint + "\n")) << run.err;
      }
    }
  }
}

const std::string kOdd =
    "is not a plain decimal amount such as -1048945.31, which the client may read otherwise";

// The first values of rows 1 to 7 in forms the client may misread.
std::string OddAmounts(std::string xml) {
  const char* const odd[] = {"0x10", "1e5", "１２", "+5", ".5", "5.", "-"};
  const char* const plain[] = {"1883523.82", "591437.28", "655677.25", "32987.25",
                               "922354.44",  "717299.35", "1137560.71"};
  for (std::size_t i = 0; i < std::size(odd); ++i) {
    xml = Replaced(xml, std::string("<NCS>") + plain[i] + "</NCS>",
                   std::string("<NCS>") + odd[i] + "</NCS>");
  }
  return xml;
}

// Items are filed by position and values as their text reads: an item whose
// own row number is another row, a value the client reads otherwise, or an
// export of another company or period, files without an error.
TEST_F(Cli, ACheckWarnsOfAMisfiledExport) {
  const std::string good = ReadData("transfer/balance-sheet.xml");
  std::string swapped = Replaced(good, "<HC>1</HC>", "<HC>@</HC>");
  swapped = Replaced(swapped, "<HC>2</HC>", "<HC>1</HC>");
  swapped = Replaced(swapped, "<HC>@</HC>", "<HC>2</HC>");
  const struct {
    const char* name;
    std::string xml;
    std::vector<std::string> warnings;
  } cases[] = {
      {"items out of order",
       swapped,
       {"item 1 carries row number 2 but goes into row 1: items are filed by position",
        "item 2 carries row number 1 but goes into row 2: items are filed by position"}},
      {"another company",
       Replaced(good, "<NSRMC>北京恒远商贸有限公司</NSRMC>", "<NSRMC>上海某公司</NSRMC>"),
       {"the export is for '上海某公司' (NSRMC), the table for '北京恒远商贸有限公司' (line 77, "
        "编制单位)"}},
      {"another period",
       Replaced(good, "<SSQZ>2024-03-31</SSQZ>", "<SSQZ>2024-06-30</SSQZ>"),
       {"the export's period ends 2024-06-30 (SSQZ), the table is dated 2024-03-31 (line 82, "
        "DATE)"}},
      {"fewer items",
       ReadData("cli/balance-sheet-three-items.xml"),
       {"the export has fewer items than the table has rows; rows 4 to 58 get no item"}},
      {"grouped digits",
       Replaced(good, "<QMS>1463801.15</QMS>", "<QMS>1,463,801.15</QMS>"),
       {"row 1: '1,463,801.15' holds a comma, so the row files as 4 fields where the row has 2"}},
      {"amounts the client may misread",
       OddAmounts(good),
       {"row 1: '0x10' " + kOdd, "row 2: '1e5' " + kOdd, "row 3: '１２' " + kOdd,
        "row 4: '+5' " + kOdd, "row 5: '.5' " + kOdd,
        "and 2 more values that are not plain decimal amounts"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string xml = PutExportBytes(c.xml, "zcfzb.xml");
    std::string warned;
    for (const std::string& warning : c.warnings) warned += "warning: " + warning + "\n";

    const Outcome check = Sbrep({"check", "1", xml});
    EXPECT_EQ(check.status, 0);
    EXPECT_EQ(check.err, warned);
    EXPECT_TRUE(Has(check.out, "\nready to file: a transfer would save TABLE08.dat\n"));

    const Outcome strict = Sbrep({"check", "1", xml, "--strict"});
    EXPECT_EQ(strict.status, 3);
    EXPECT_EQ(strict.err, warned + "not ready to file: a warning, and --strict\n");

    const std::string before = Table("TABLE08.dat");
    const Outcome transfer = Sbrep({"transfer", "1", xml, "--strict"});
    EXPECT_EQ(transfer.status, 1);
    EXPECT_TRUE(Has(transfer.err,
                    "not transferred: a warning, and --strict; nothing was "
                    "written\n"))
        << transfer.err;
    EXPECT_EQ(Table("TABLE08.dat"), before);
  }
  const std::string vat = PutExportBytes(Replaced(ReadData("transfer/vat-worked-example.xml"),
                                                  "<SSQ>2024-03</SSQ>", "<SSQ>2024-02</SSQ>"),
                                         "fp.xml");
  EXPECT_EQ(Sbrep({"check", "3", vat}).err,
            "warning: the export's period is 2024-02 (SSQ), the table is dated 2024-03 (line 14, "
            "DATE)\n");
  EXPECT_EQ(Backups(), "");
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
    EXPECT_TRUE(Has(run.out, "result: " + std::to_string(call.result) + "\n")) << run.out;
    if (call.result == 0) {
      EXPECT_TRUE(Has(run.out, "\ntransferred: the ")) << run.out;
    } else {
      EXPECT_EQ(run.err.rfind("not transferred: ", 0), 0u) << run.err;
      EXPECT_TRUE(Has(run.err, "\nmessage: " + GbkToUtf8ForTest(call.message()) + " (")) << run.err;
      EXPECT_TRUE(Has(run.err, "\ndetail: ")) << run.err;
    }
    EXPECT_EQ(Table(c.kind.table), called_bytes);
  }
}

// The order of the options is the person's choice.
TEST_F(Cli, TransferTakesTheClientFolderAsCheckDoes) {
  const std::string xml = PutExport("transfer/income-statement.xml", "syb.xml");
  client_.registry().Remove();
  const Strings orders[] = {
      {"transfer", "2", xml, "--client", client_.folder()},
      {"transfer", "--client", client_.folder(), "2", xml},
      {"transfer", "2", "--client=" + client_.folder(), xml},
  };
  for (const Strings& args : orders) {
    client_.PutTable("TABLE09.dat", ReadData("transfer/TABLE09.dat"));
    const Outcome run = Sbrep(args);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Table("TABLE09.dat"), ReadData("transfer/TABLE09-filed.dat"));
  }
}

std::string OnlyBackup(const std::string& folder) {
  const auto entries = cli::ListBackups(folder);
  EXPECT_EQ(entries.size(), 1u);
  return entries.empty() ? std::string() : entries[0].name.file;
}

// The backup holds the bytes the transfer replaced, and the restore puts
// them back through the crash-safe save after a diff and a yes.
TEST_F(Cli, ATransferIsBackedUpAndRestoresByteForByte) {
  const std::string xml = PutExport("transfer/income-statement.xml", "syb.xml");
  const std::string old_bytes = Table("TABLE09.dat");
  const Outcome transfer = Sbrep({"transfer", "2", xml, "--backup-dir", backups_.path()});
  ASSERT_EQ(transfer.status, 0) << transfer.err;
  const std::string filed = Table("TABLE09.dat");
  ASSERT_NE(filed, old_bytes);

  const std::string name = OnlyBackup(backups_.path());
  const auto parsed = cli::ParseBackupName(name);
  ASSERT_TRUE(parsed.has_value()) << name;
  EXPECT_EQ(parsed->table, "TABLE09.dat");
  EXPECT_EQ(parsed->id, cli::IdentifyInstall(client_.folder()).id.substr(0, 8));
  EXPECT_EQ(transfer.out.rfind("backup: " + backups_.Join(name) + "\nresult: 0\n", 0), 0u)
      << transfer.out;
  EXPECT_EQ(ReadBytes(backups_.Join(name)), old_bytes);
  EXPECT_TRUE(Has(Sbrep({"restore", "--list", "--backup-dir", backups_.path()}).out, name));

  // Not confirmed: nothing changes.
  for (const char* answer : {"n\n", "", "yes please\n"}) {
    const Outcome declined = Sbrep({"restore", name, "--backup-dir", backups_.path()}, answer);
    EXPECT_EQ(declined.status, 1) << declined.err;
    EXPECT_TRUE(Has(declined.out, "+++ ")) << "the diff comes before the question";
    EXPECT_TRUE(Has(declined.err, "restore TABLE09.dat from this backup? [y/N] "));
    EXPECT_EQ(Table("TABLE09.dat"), filed);
  }
  EXPECT_EQ(Backups(), name + " " + fs::NameOf(cli::SidecarOf(name)));

  const Outcome restored = Sbrep({"restore", name, "--backup-dir", backups_.path()}, "y\n");
  EXPECT_EQ(restored.status, 0) << restored.err;
  EXPECT_EQ(Table("TABLE09.dat"), old_bytes);
  // What the table held before the restore is kept too.
  const auto entries = cli::ListBackups(backups_.path());
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].name.file, name);
  EXPECT_EQ(ReadBytes(entries[0].path), filed);
  EXPECT_TRUE(Has(restored.out, "\nrestored: TABLE09.dat from " + name + "\n")) << restored.out;

  const Outcome again = Sbrep({"restore", name, "--backup-dir", backups_.path(), "--yes"});
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(again.out, "no change: TABLE09.dat already holds this backup\n");
  EXPECT_EQ(ListFolder(client_.scratch().Join("Dexlan/ICDAT")),
            "TABLE02.dat TABLE08.dat TABLE09.dat");
}

TEST_F(Cli, BackupsGoToThePlatformsFolderUnlessOneIsGiven) {
  const std::string xml = PutExport("transfer/vat-worked-example.xml", "fp.xml");
  ASSERT_EQ(Sbrep({"transfer", "3", xml}).status, 0);
  const auto folder = cli::DefaultBackupFolder();
  ASSERT_TRUE(folder.has_value());
  EXPECT_EQ(*folder, cli::LibraryFileName() == std::string("sbrep.dll")
                         ? profile_.Join("local") + "\\sbrep\\backups"
                         : profile_.Join("state") + "/sbrep/backups");
  EXPECT_EQ(OnlyBackup(*folder).substr(0, 8), "TABLE02_");
  const Outcome list = Sbrep({"restore"});
  EXPECT_EQ(list.status, 0);
  EXPECT_TRUE(Has(list.out, "1 backup in " + *folder + ", by install and table, newest first:\n"))
      << list.out;
}

TEST_F(Cli, AFailedBackupStopsTheTransferBeforeAnythingIsWritten) {
  const std::string xml = PutExport("transfer/balance-sheet.xml", "zcfzb.xml");
  const std::string blocked = backups_.Join("a file");
  WriteBytes(blocked, "not a folder");
  const std::string before = Table("TABLE08.dat");
  const Outcome run = Sbrep({"transfer", "1", xml, "--backup-dir", blocked});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Has(run.err,
                  "not transferred: the backup failed; nothing was written\n"
                  "detail: cannot make the backup folder "))
      << run.err;
  EXPECT_FALSE(Has(run.out, "result:")) << "no call's result stands";
  EXPECT_EQ(Table("TABLE08.dat"), before);
  EXPECT_EQ(Icdat(), "TABLE02.dat TABLE08.dat TABLE09.dat");
}

TEST_F(Cli, ARestoreRefusedForAReadOnlyTableLeavesEverythingAsItWas) {
  const std::string xml = PutExport("transfer/balance-sheet.xml", "zcfzb.xml");
  ASSERT_EQ(Sbrep({"transfer", "1", xml, "--backup-dir", backups_.path()}).status, 0);
  const std::string name = OnlyBackup(backups_.path());
  const std::string table = client_.TablePath("TABLE08.dat");
  const std::string filed = Table("TABLE08.dat");
  MakeReadOnly(table, true);
  const Outcome run = Sbrep({"restore", name, "--backup-dir", backups_.path(), "--yes"});
  MakeReadOnly(table, false);
  EXPECT_EQ(run.status, 4);
  EXPECT_TRUE(Has(run.err,
                  "not restored: the table file is at fault\ndetail: TABLE08.dat is "
                  "read-only"))
      << run.err;
  EXPECT_EQ(Table("TABLE08.dat"), filed);
  EXPECT_EQ(Backups(), name + " " + fs::NameOf(cli::SidecarOf(name)));
  EXPECT_EQ(Icdat(), "TABLE02.dat TABLE08.dat TABLE09.dat");
}

// A restore after a save killed in place: the journal is rolled back first,
// so the diff shows the real table, and no later transfer rolls the table
// back over what the restore put there.
TEST_F(Cli, ARestoreRollsBackAKilledSaveFirst) {
  const std::string xml = PutExport("transfer/income-statement.xml", "syb.xml");
  ASSERT_EQ(Sbrep({"transfer", "2", xml, "--backup-dir", backups_.path()}).status, 0);
  const std::string name = OnlyBackup(backups_.path());
  const std::string filed = Table("TABLE09.dat");
  const std::string journal = JournalPath(client_.TablePath("TABLE09.dat"));
  // Killed while it put the old table back over the filed one.
  const std::string restoring = ReadData("transfer/TABLE09.dat");
  std::string torn = filed;
  torn.replace(0, restoring.size() / 2, restoring.substr(0, restoring.size() / 2));
  client_.PutTable("TABLE09.dat", torn);
  WriteBytes(journal, EncodeJournal("TABLE09.dat", filed, restoring));

  const Outcome run = Sbrep({"restore", name, "--backup-dir", backups_.path(), "--yes"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Table("TABLE09.dat"), ReadData("transfer/TABLE09.dat"));
  EXPECT_FALSE(fs::IsFile(journal));
  // What the table held before the restore is the rolled-back table, whole.
  const auto entries = cli::ListBackups(backups_.path());
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(ReadBytes(entries[0].path), filed);
}

TEST_F(Cli, ABackupGoesBackOnlyIntoTheInstallItCameFrom) {
  const std::string xml = PutExport("transfer/balance-sheet.xml", "zcfzb.xml");
  ASSERT_EQ(Sbrep({"transfer", "1", xml, "--backup-dir", backups_.path()}).status, 0);
  const std::string name = OnlyBackup(backups_.path());
  FilingClient other;
  other.PutTable("TABLE08.dat", ReadData("transfer/TABLE08.dat"));
  const std::string before = ReadBytes(other.TablePath("TABLE08.dat"));
  const Outcome run = Sbrep({"restore", name, "--backup-dir", backups_.path(), "--yes"});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(Has(run.err, "not restored: the backup is of another install")) << run.err;
  EXPECT_EQ(ReadBytes(other.TablePath("TABLE08.dat")), before);

  // Named by --client, however it is spelled, the install it came from takes it.
  const Outcome back =
      Sbrep({"restore", backups_.Join(name), "--client", client_.folder() + "/Dexlan/..", "--yes",
             "--backup-dir", backups_.path()});
  EXPECT_EQ(back.status, 0) << back.err;
  EXPECT_EQ(Table("TABLE08.dat"), ReadData("transfer/TABLE08.dat"));

  const Outcome unknown = Sbrep({"restore", "nothing.dat", "--backup-dir", backups_.path()});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_TRUE(Has(unknown.err, "'nothing.dat' is no backup's name")) << unknown.err;
}

// A restore checks what it would write before it writes: the sidecar, the
// bytes against it, and the content against the table. Each forgery is
// refused with its reason, and nothing is written, not even a backup.
TEST_F(Cli, ARestoreRefusesWhatItCannotProveIsTheTablesBackup) {
  const std::string xml = PutExport("transfer/balance-sheet.xml", "zcfzb.xml");
  ASSERT_EQ(Sbrep({"transfer", "1", xml, "--backup-dir", backups_.path()}).status, 0);
  const std::string genuine = backups_.Join(OnlyBackup(backups_.path()));
  const std::string bytes = ReadBytes(genuine);
  const std::string sidecar = ReadBytes(cli::SidecarOf(genuine));
  const std::string name = fs::NameOf(genuine);
  const std::string as_table02 = ReplacedAll(name, "TABLE08", "TABLE02");
  const std::string old_name = "20240315-143012-123_TABLE08_x_3f2a9c1b.dat";
  // A backup the tool took of what a table held at the time.
  const auto backup_of = [&](const std::string& table, const std::string& held,
                             const std::string& folder) {
    const std::string before = Table("TABLE08.dat");
    client_.PutTable(table, held);
    const std::string path = cli::WriteBackup(folder, client_.TablePath(table));
    if (table == "TABLE08.dat")
      client_.PutTable(table, before);
    else
      RemoveFile(client_.TablePath(table));
    return path;
  };
  struct Forgery {
    const char* name;
    // Puts the forgery in the folder and gives the restore's arguments.
    std::function<Strings(const ScratchFolder&)> make;
    std::string reason;
  };
  const Forgery forgeries[] = {
      {"a TABLE08 backup and its sidecar under TABLE02 names",
       [&](const ScratchFolder& f) {
         WriteBytes(f.Join(as_table02), bytes);
         WriteBytes(cli::SidecarOf(f.Join(as_table02)), sidecar);
         return Strings{as_table02};
       },
       "detail: its sidecar is another file's"},
      {"a backup without its sidecar",
       [&](const ScratchFolder& f) {
         WriteBytes(f.Join(as_table02), bytes);
         return Strings{as_table02};
       },
       "is not a backup the tool took: it has no sidecar"},
      {"a TABLE77 name",
       [&](const ScratchFolder& f) {
         const std::string forged = ReplacedAll(name, "TABLE08", "TABLE77");
         WriteBytes(f.Join(forged), bytes);
         return Strings{forged};
       },
       "it has no sidecar"},
      {"emptied",
       [&](const ScratchFolder& f) {
         WriteBytes(f.Join(name), "");
         WriteBytes(cli::SidecarOf(f.Join(name)), sidecar);
         return Strings{name};
       },
       "detail: it holds 0 bytes, its sidecar " + std::to_string(bytes.size())},
      {"one figure changed",
       [&](const ScratchFolder& f) {
         WriteBytes(f.Join(name), ReplacedAll(bytes, "L01:1,", "L01:2,"));
         WriteBytes(cli::SidecarOf(f.Join(name)), sidecar);
         return Strings{name};
       },
       "detail: its bytes are not those its sidecar's SHA-256 names"},
      {"a TABLE08 table backed up as TABLE77",
       [&](const ScratchFolder& f) { return Strings{backup_of("TABLE77.dat", bytes, f.path())}; },
       "does not read as TABLE77.dat\ndetail: its first line is '[TABLE08]', not the [TABLE77]"},
      {"a table cut to 300 bytes, backed up",
       [&](const ScratchFolder& f) {
         return Strings{backup_of("TABLE08.dat", bytes.substr(0, 300), f.path())};
       },
       "does not read as TABLE08.dat\ndetail: TABLE08.dat has 12 lines, 83 needed"},
      {"an empty table, backed up",
       [&](const ScratchFolder& f) { return Strings{backup_of("TABLE08.dat", "", f.path())}; },
       "detail: it is empty"},
      {"a 1.1.0 backup without --force",
       [&](const ScratchFolder& f) {
         WriteBytes(f.Join(old_name), bytes);
         return Strings{f.Join(old_name)};
       },
       "give its path and --force"},
      {"a 1.1.0 backup cut to 300 bytes",
       [&](const ScratchFolder& f) {
         WriteBytes(f.Join(old_name), bytes.substr(0, 300));
         return Strings{f.Join(old_name), "--force"};
       },
       "detail: TABLE08.dat has 12 lines, 83 needed"},
      {"a 1.1.0 backup of TABLE08 under a TABLE02 name",
       [&](const ScratchFolder& f) {
         const std::string forged = ReplacedAll(old_name, "TABLE08", "TABLE02");
         WriteBytes(f.Join(forged), bytes);
         return Strings{f.Join(forged), "--force"};
       },
       "does not read as TABLE02.dat\ndetail: its first line names TABLE08.dat"},
  };
  const std::string table = Table("TABLE08.dat");
  for (const Forgery& forgery : forgeries) {
    SCOPED_TRACE(forgery.name);
    ScratchFolder folder;
    Strings args = {"restore"};
    for (const std::string& arg : forgery.make(folder)) args.push_back(arg);
    const std::string listed = ListFolder(folder.path());
    args.insert(args.end(), {"--client", client_.folder(), "--backup-dir", folder.path(), "--yes"});
    const Outcome run = Sbrep(args);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_TRUE(Has(run.err, forgery.reason)) << run.err;
    EXPECT_EQ(Table("TABLE08.dat"), table);
    EXPECT_EQ(Icdat(), "TABLE02.dat TABLE08.dat TABLE09.dat");
    EXPECT_EQ(ListFolder(folder.path()), listed) << "no backup was taken";
  }

  // A link named like a backup is never followed, even to a backup.
  ScratchFolder links;
  std::error_code error;
  std::filesystem::create_symlink(std::filesystem::u8path(genuine),
                                  std::filesystem::u8path(links.Join(name)), error);
  if (!error) {
    WriteBytes(cli::SidecarOf(links.Join(name)), sidecar);
    const Outcome run = Sbrep({"restore", name, "--backup-dir", links.path(), "--yes"});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(Has(run.err, "detail: it is a symbolic link, which is never followed")) << run.err;
    EXPECT_TRUE(Has(Sbrep({"restore", "--list", "--all", "--backup-dir", links.path()}).out,
                    name + ": it is a symbolic link"));
  }

  // A whole 1.1.0 backup goes back by its path with --force.
  ScratchFolder old;
  WriteBytes(old.Join(old_name), ReadData("transfer/TABLE08.dat"));
  const Outcome forced =
      Sbrep({"restore", old.Join(old_name), "--force", "--yes", "--backup-dir", backups_.path()});
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_TRUE(Has(forced.err, "has no sidecar; its install cannot be checked")) << forced.err;
  EXPECT_EQ(Table("TABLE08.dat"), ReadData("transfer/TABLE08.dat"));
}

// A transfer that will fail takes no backup, and the same table twice is
// backed up once: retries never push the history out.
TEST_F(Cli, OnlyATransferThatCanSaveTakesABackupAndOnlyOfNewBytes) {
  const std::string xml = PutExport("transfer/income-statement.xml", "syb.xml");
  const std::string table = client_.TablePath("TABLE09.dat");
  MakeReadOnly(table, true);
  for (int i = 0; i < 3; ++i) {
    const Outcome run = Sbrep({"transfer", "2", xml, "--backup-dir", backups_.path()});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Has(run.err, "read-only")) << run.err;
  }
  MakeReadOnly(table, false);
  EXPECT_EQ(Backups(), "");

  std::string last;
  for (int i = 0; i < 3; ++i) {
    const Outcome run = Sbrep({"transfer", "2", xml, "--backup-dir", backups_.path()});
    ASSERT_EQ(run.status, 0) << run.err;
    last = run.out.substr(0, run.out.find('\n'));
  }
  const auto entries = cli::ListBackups(backups_.path());
  ASSERT_EQ(entries.size(), 2u) << "the original table, then the filed one once";
  EXPECT_EQ(last, "backup: " + entries[0].path);
  EXPECT_EQ(ReadBytes(entries[0].path), Table("TABLE09.dat"));
  EXPECT_EQ(ReadBytes(entries[1].path), ReadData("transfer/TABLE09.dat"));
}

// Backups are ordered by their number, not the clock: the one just taken
// stays, pruning keeps the newest 50 of one table of one install, and it
// deletes nothing its sidecar does not prove the tool wrote.
TEST(Backups, TheNewestFiftyOfEachTableOfEachInstallAreKeptAndNothingElseGoes) {
  const cli::InstallIdentity install{"C:\\财务 软件\\dexlan_1", std::string(64, 'a')};
  const cli::BackupName name = cli::NameBackup("TABLE08.dat", install, 42);
  EXPECT_EQ(name.file, "TABLE08_C-财务-软件-dexlan-1_aaaaaaaa_000042.dat");
  const auto parsed = cli::ParseBackupName(name.file);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->table, "TABLE08.dat");
  EXPECT_EQ(parsed->sequence, 42u);
  for (const char* bad :
       {"TABLE08.dat", "TABLE08_x_3f2a9c1b_000001.txt", "TABLE08_x_3f2a9c1_000001.dat",
        "TABLE08_x_3f2a9c1b_01.dat", "TABLE08_3f2a9c1b_000001.dat"}) {
    EXPECT_FALSE(cli::ParseBackupName(bad).has_value()) << bad;
  }

  FilingClient one;
  FilingClient two;
  ScratchFolder folder;
  // What a person keeps there, and a backup of 1.1.0, named like backups.
  const std::string id = cli::IdentifyInstall(one.folder()).id.substr(0, 8);
  const std::string kept = "TABLE02_KEEP-year-end-DO-NOT-DELETE_" + id + "_000001.dat";
  const std::string old = "20240315-143012-123_TABLE02_x_" + id + ".dat";
  WriteBytes(folder.Join(kept), "kept\r\n");
  WriteBytes(folder.Join(old), "old\r\n");
  two.PutTable("TABLE02.dat", "two\r\n");
  cli::WriteBackup(folder.path(), two.TablePath("TABLE02.dat"));
  one.PutTable("TABLE09.dat", "nine\r\n");
  cli::WriteBackup(folder.path(), one.TablePath("TABLE09.dat"));
  std::string last;
  for (int i = 0; i < 52; ++i) {
    // The clock set back halfway changes nothing: nothing is ordered by it.
    EnvironmentVariable zone("TZ", i < 51 ? "Etc/GMT-14" : "Etc/GMT+12");
    one.PutTable("TABLE02.dat", "v" + std::to_string(i) + "\r\n");
    last = cli::WriteBackup(folder.path(), one.TablePath("TABLE02.dat"));
  }
  EXPECT_EQ(ReadBytes(last), "v51\r\n");
  EXPECT_EQ(cli::ParseBackupName(fs::NameOf(last))->sequence, 52u);

  std::vector<cli::OtherFile> others;
  const auto entries = cli::ListBackups(folder.path(), &others);
  ASSERT_EQ(entries.size(), cli::kBackupsKept + 2);
  std::size_t of_one = 0;
  for (const auto& entry : entries) {
    EXPECT_EQ(ReadBytes(entry.path).size(), entry.facts.size);
    if (entry.facts.table == "TABLE02.dat" && entry.facts.install_id.compare(0, 8, id) == 0) {
      EXPECT_GE(entry.facts.sequence, 3u) << "the two oldest went";
      if (of_one++ == 0) {
        EXPECT_EQ(entry.path, last) << "newest first";
      }
    }
  }
  EXPECT_EQ(of_one, cli::kBackupsKept);
  ASSERT_EQ(others.size(), 2u);
  EXPECT_EQ(ReadBytes(folder.Join(kept)), "kept\r\n");
  EXPECT_EQ(ReadBytes(folder.Join(old)), "old\r\n");
  EXPECT_EQ(ListFolder(folder.path()).find('~'), std::string::npos) << "no partial sidecar is left";

  // The same bytes again are not backed up again; a name another transfer
  // took is passed over, and its file left alone.
  EXPECT_EQ(cli::WriteBackup(folder.path(), one.TablePath("TABLE02.dat")), last);
  const std::string taken =
      folder.Join(cli::NameBackup("TABLE02.dat", cli::IdentifyInstall(one.folder()), 53).file);
  WriteBytes(taken, "another's\r\n");
  one.PutTable("TABLE02.dat", "v52\r\n");
  const std::string next = cli::WriteBackup(folder.path(), one.TablePath("TABLE02.dat"));
  EXPECT_EQ(cli::ParseBackupName(fs::NameOf(next))->sequence, 54u);
  EXPECT_EQ(ReadBytes(taken), "another's\r\n");
}

// A backup that cannot be written whole leaves nothing behind: neither its
// bytes without a sidecar, nor a partial sidecar.
TEST(Backups, AFailedWriteLeavesNothingAndTheNextTakesTheSameNumber) {
  FilingClient client;
  client.PutTable("TABLE02.dat", "two\r\n");
  const InjectedFault faults[] = {
      {"write", Target::kTable, 1, How::kFails},  // the bytes
      {"flush", Target::kTable, 1, How::kFails},
      {"write", Target::kTemp, 1, How::kFails},  // the sidecar
      {"replace", Target::kTemp, 1, How::kFails},
  };
  for (const InjectedFault& fault : faults) {
    SCOPED_TRACE(std::string(fault.op) + (fault.target == Target::kTemp ? " sidecar" : " bytes"));
    ScratchFolder folder;
    {
      Injector injector({fault});
      EXPECT_THROW(cli::WriteBackup(folder.path(), client.TablePath("TABLE02.dat")),
                   cli::BackupError);
    }
    EXPECT_EQ(ListFolder(folder.path()), "");
    const std::string path = cli::WriteBackup(folder.path(), client.TablePath("TABLE02.dat"));
    EXPECT_EQ(cli::ParseBackupName(fs::NameOf(path))->sequence, 1u);
  }
}

// An install is its folder however it is spelled: backups and restore's
// guard go by the folder resolved.
TEST(Backups, AnInstallIsItsFolderHoweverItIsSpelled) {
  FilingClient client;
  const std::string& folder = client.folder();
  const std::string id = cli::IdentifyInstall(folder).id;
  const bool windows = cli::LibraryFileName() == std::string("sbrep.dll");
  std::vector<std::string> spellings = {folder + "/", folder + "/.", folder + "/Dexlan/..",
                                        fs::FolderOf(folder) + "./" + fs::NameOf(folder)};
  if (windows) {
    spellings.push_back("\\\\?\\" + folder);
    std::string upper = folder;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    spellings.push_back(upper);
  }
  for (const std::string& spelling : spellings) {
    EXPECT_EQ(cli::IdentifyInstall(spelling).id, id) << spelling;
  }
  FilingClient other;
  EXPECT_NE(cli::IdentifyInstall(other.folder()).id, id);
  EXPECT_THROW(cli::IdentifyInstall(folder + "/missing"), cli::BackupError);
}

// ---------------------------------------------------------------------------
// JSON and --quiet, for scripts.

Json Parsed(const Outcome& run) {
  const Json json = Json::parse(run.out, nullptr, false);
  EXPECT_FALSE(json.is_discarded()) << run.out;
  EXPECT_TRUE(json.is_object()) << run.out;
  return json;
}

TEST_F(Cli, JsonHoldsTheVerdictTheMessageTheSummaryAndTheChangedLines) {
  const std::string vat = PutExport("transfer/vat-worked-example.xml", "发票.xml");
  const Json ready = Parsed(Sbrep({"check", "3", vat, "--json"}));
  EXPECT_EQ(ready["command"], "check");
  EXPECT_EQ(ready["kind"], 3);
  EXPECT_EQ(ready["export"], vat);
  EXPECT_EQ(ready["ok"], true);
  EXPECT_EQ(ready["verdict"], "ready to file: a transfer would save TABLE02.dat");
  EXPECT_EQ(ready["exit_status"], 0);
  EXPECT_TRUE(ready["fault"].is_null());
  EXPECT_TRUE(ready["message"].is_null());
  EXPECT_EQ(ready["table"], client_.folder() + "\\Dexlan\\ICDAT\\TABLE02.dat");
  EXPECT_EQ(ready["warnings"], Json::array());
  const Json& summary = ready["summary"];
  EXPECT_EQ(summary["invoices"], 7);
  EXPECT_EQ(summary["voided"], 1);
  ASSERT_EQ(summary["totals"].size(), 12u);
  EXPECT_EQ(summary["totals"][0],
            Json::parse(R"({"kind":0,"rate":17,"line":3,"count":2,"amount":"1200.50",)"
                        R"("tax":"204.09"})"));
  EXPECT_TRUE(summary["totals"][4]["line"].is_null()) << "kind 1 is on no line";
  const Json& changed = ready["changed_lines"];
  ASSERT_EQ(changed.size(), 4u);
  const int lines[] = {3, 5, 10, 12};
  const Strings filed = Lines(ReadData("transfer/TABLE02-worked-example.dat"));
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(changed[i]["line"], lines[i]);
    EXPECT_EQ(changed[i]["new"], filed[static_cast<std::size_t>(lines[i] - 1)]);
  }

  const Json broken =
      Parsed(Sbrep({"check", "3", PutExport("cli/vat-grouped-amount.xml", "坏.xml"), "--json"}));
  EXPECT_EQ(broken["ok"], false);
  EXPECT_EQ(broken["exit_status"], 3);
  EXPECT_EQ(broken["fault"], "export");
  EXPECT_EQ(broken["message"]["gbk_hex"],
            cli::HexBytes(std::string(MessageBytes(Message::kXmlParseError))));
  EXPECT_EQ(broken["message"]["text"], "XML文件解析出错!");
  EXPECT_EQ(broken["detail"], "invoice 2 (SB_KPJK_FPMX): Amount '1,200.00' is not a number");
  EXPECT_TRUE(broken["summary"].is_null());

  const Json transferred =
      Parsed(Sbrep({"transfer", "3", vat, "--json", "--backup-dir", backups_.path()}));
  EXPECT_EQ(transferred["command"], "transfer");
  EXPECT_EQ(transferred["result"], 0);
  EXPECT_EQ(transferred["exit_status"], 0);
  EXPECT_EQ(ReadBytes(transferred["backup"].get<std::string>()), ReadData("transfer/TABLE02.dat"));
  EXPECT_EQ(transferred["changed_lines"].size(), 4u);

  client_.registry().Remove();
  const Json failed = Parsed(Sbrep({"transfer", "3", vat, "--json"}));
  EXPECT_EQ(failed["result"], -1);
  EXPECT_EQ(failed["exit_status"], 1);
  EXPECT_EQ(failed["fault"], "install");
  EXPECT_EQ(failed["message"]["gloss"], "the filing client is not installed");
  EXPECT_TRUE(failed["backup"].is_null());
}

TEST_F(Cli, QuietPrintsTheVerdictAlone) {
  const std::string good = PutExport("transfer/income-statement.xml", "syb.xml");
  const std::string bad = PutExport("cli/income-statement-not-well-formed.xml", "bad.xml");
  const Outcome ready = Sbrep({"check", "2", good, "--quiet"});
  EXPECT_EQ(ready.out, "ready to file: a transfer would save TABLE09.dat\n");
  EXPECT_EQ(ready.err, "");
  const Outcome failed = Sbrep({"check", "2", bad, "--quiet"});
  EXPECT_EQ(failed.status, 3);
  EXPECT_EQ(failed.out, "");
  EXPECT_EQ(failed.err, "not ready to file: the export is at fault\n");
  const Outcome done = Sbrep({"transfer", "2", good, "--quiet", "--backup-dir", backups_.path()});
  EXPECT_EQ(done.out, "transferred: the income statement is in TABLE09.dat\n");
  EXPECT_EQ(done.err, "");
}

// ---------------------------------------------------------------------------
// The deployed library beside the tool, as a host meets it.

TEST_F(Cli, CallRunsTheLibraryBesideTheTool) {
  const std::string vat = PutExport("transfer/vat-worked-example.xml", "发票.xml");
  const Outcome done = Sbrep({"call", "3", vat});
  EXPECT_EQ(done.status, 0) << done.err;
  EXPECT_TRUE(
      Has(done.out, "library: " + fs::FolderOf(cli::ProgramPath()) + cli::LibraryFileName() + "\n"))
      << done.out;
  EXPECT_TRUE(Has(done.out, "\nresult: 0\nmessage buffer: untouched\n")) << done.out;
  EXPECT_EQ(Table("TABLE02.dat"), ReadData("transfer/TABLE02-worked-example.dat"));
  EXPECT_EQ(Backups(), "") << "a host's call takes no backup";

  const std::string bytes(MessageBytes(Message::kExportMissing));
  const Outcome failed = Sbrep({"call", "1", exports_.Join("缺少.xml")});
  EXPECT_EQ(failed.status, 1);
  EXPECT_TRUE(Has(failed.out,
                  "\nresult: -1\nmessage bytes: " + cli::HexBytes(bytes, " ") +
                      " (27 bytes, then a NUL)\nmessage: " + Shown(Message::kExportMissing) + "\n"))
      << failed.out;

  const Outcome missing = Sbrep({"call", "1", vat, "--dll", exports_.Join("sbrep.dll")});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err.rfind("not called: cannot load " + exports_.Join("sbrep.dll") + ": ", 0),
            0u)
      << missing.err;
}

TEST(CliVersion, NamesTheToolAndTheLibraryBesideIt) {
  const Outcome version = Sbrep({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("sbrep " SBREP_VERSION ", ", 0), 0u) << version.out;
  const std::string library = fs::FolderOf(cli::ProgramPath()) + cli::LibraryFileName();
  EXPECT_TRUE(Has(version.out,
                  "the " + std::string(cli::LibraryFileName()) + " beside it: " + library + "\n"))
      << version.out;
  // Only the Windows DLL carries a version resource.
  if (cli::LibraryFileName() == std::string("sbrep.dll")) {
    // Three parts or four, as the resource has them.
    EXPECT_TRUE(Has(version.out, "  version: " SBREP_VERSION)) << version.out;
    EXPECT_TRUE(Has(version.out, " (file), " SBREP_VERSION)) << version.out;
    EXPECT_TRUE(Has(version.out, sizeof(void*) == 4 ? "  built for: x86 (PE machine 014c)\n"
                                                    : "  built for: x64 (PE machine 8664)\n"))
        << version.out;
  } else {
    EXPECT_TRUE(Has(version.out, "  version: no version resource found\n")) << version.out;
  }
  EXPECT_EQ(Sbrep({"-V"}).out, version.out);
  ScratchFolder none;
  EXPECT_TRUE(Has(Sbrep({"--version", "--dll", none.Join("sbrep.dll")}).out,
                  "library: none found at " + none.Join("sbrep.dll") + "\n"));
}

// ---------------------------------------------------------------------------
// The call log: what a host's call left, as support reads it.

TEST_F(Cli, TheLogShowsTheDetailOfACallThatFailedInTheLibrary) {
  MakeFolder(profile_.Join("local"));  // %LOCALAPPDATA% is there to begin with
  const std::string good = PutExport("transfer/vat-worked-example.xml", "发票.xml");
  const std::string bad = PutExportBytes(
      Replaced(ReadData("transfer/vat-worked-example.xml"), "<Amount>", "<Amount>1,200.00"),
      "坏.xml");
  ASSERT_EQ(Sbrep({"call", "3", bad}).status, 1);
  ASSERT_EQ(Sbrep({"check", "3", bad}).status, 3);
  ASSERT_EQ(Sbrep({"transfer", "3", good, "--backup-dir", backups_.path()}).status, 0);

  const Outcome all = Sbrep({"log"});
  EXPECT_EQ(all.status, 0) << all.err;
  ASSERT_TRUE(
      Has(all.out, "  kind 3 (VAT schedule one)  -1  " +
                       GbkToUtf8ForTest(std::string(MessageBytes(Message::kXmlParseError))) + "\n"))
      << all.out;
  EXPECT_TRUE(Has(all.out, "\n    export: invoice 1 (SB_KPJK_FPMX): Amount '1,200.00")) << all.out;
  EXPECT_TRUE(Has(all.out, "  0  transferred\n")) << all.out;
  EXPECT_EQ(std::count(all.out.begin(), all.out.end(), '\n'), 3) << "a check is not logged";

  // A cut-off write is named and skipped; the lines around it stand.
  const std::string log = *CallLogFolder();
  WriteBytes(CallLogPath(log), ReadBytes(CallLogPath(log)) + "{\"time\":\"20");
  const Outcome failed = Sbrep({"log", "--failed", "--json"});
  EXPECT_EQ(failed.status, 0);
  EXPECT_EQ(failed.err,
            "line 3 of calls.log cannot be read (cut off, or of a newer format); skipped\n");
  const Json line = Json::parse(failed.out);
  EXPECT_EQ(line["result"], -1);
  EXPECT_EQ(line["fault"], "export");
  EXPECT_EQ(line["export"], bad);
  EXPECT_EQ(line["export_size"], ReadBytes(bad).size());
  EXPECT_EQ(line["table_size_before"], line["table_size_after"]);
  EXPECT_EQ(line["program"], cli::ProgramPath());
  const Outcome last = Sbrep({"log", "-n", "1"});
  EXPECT_TRUE(Has(last.out, "  0  transferred\n")) << last.out;
  EXPECT_EQ(std::count(last.out.begin(), last.out.end(), '\n'), 1) << last.out;
}

// Whatever a path or a detail holds, a line is one JSON object of UTF-8.
TEST(CallLogLine, IsOneJsonObjectWhateverItQuotes) {
  CallRecord record;
  record.facts.xml_path = std::string("C:\\a \"b\"\n\t\x01\x7f \xE5\xAF\xBC \xFF\xC3(");
  record.outcome.result = -1;
  record.outcome.message = Message::kProcessingFailed;
  record.outcome.error = Error(Message::kProcessingFailed, Fault::kTable, std::string(5000, 'd'));
  const std::string text = CallLogLine(record);
  ASSERT_EQ(text.find('\n'), text.size() - 1);
  const Json line = Json::parse(text);
  EXPECT_EQ(line["export"], "C:\\a \"b\"\n\t\x01\x7f \xE5\xAF\xBC \xEF\xBF\xBD\xEF\xBF\xBD(");
  EXPECT_EQ(line["message"],
            GbkToUtf8ForTest(std::string(MessageBytes(Message::kProcessingFailed))));
  EXPECT_LT(line["detail"].get<std::string>().size(), 5000u) << "a long detail is cut";
  EXPECT_TRUE(line["table"].is_null());
  EXPECT_EQ(line["recovery"], "none");
}

// ---------------------------------------------------------------------------
// The command line.

TEST(CliOptions, UsageErrorsSayWhatWasWrongInOneLineAnd64) {
  const struct {
    Strings args;
    const char* said;
  } cases[] = {
      {{}, "a command is needed: check, transfer, restore, call or log"},
      {{"chek", "1", "x.xml"}, "unknown command 'chek'; did you mean 'check'?"},
      {{"Check", "1", "x.xml"}, "unknown command 'Check'; did you mean 'check'?"},
      {{"tranfser", "1", "x.xml"}, "unknown command 'tranfser'; did you mean 'transfer'?"},
      {{"version"}, "unknown command 'version'; did you mean '--version'?"},
      {{"file", "1", "x.xml"}, "unknown command 'file'; the commands are check, transfer"},
      {{"check"}, "check needs KIND and EXPORT"},
      {{"check", "1"}, "check needs EXPORT"},
      {{"check", "4", "x.xml"},
       "KIND must be 1, 2, 3, balance-sheet, income-statement or "
       "vat-schedule-one, not '4'"},
      {{"check", "0", "x.xml"}, "not '0'"},
      {{"check", "-1", "x.xml"}, "not '-1'"},
      {{"check", "Balance-Sheet", "x.xml"}, "not 'Balance-Sheet'; did you mean 'balance-sheet'?"},
      {{"transfer", "vat", "x.xml"}, "not 'vat'"},
      {{"check", "1", "x.xml", "extra.xml"},
       "check takes KIND and EXPORT; 'extra.xml' is one too "
       "many"},
      {{"check", "1", "x.xml", "--frobnicate"}, "unknown option '--frobnicate'; sbrep help check"},
      {{"check", "1", "x.xml", "--clinet", "d"},
       "unknown option '--clinet'; did you mean "
       "'--client'?"},
      {{"check", "1", "x.xml", "--client"}, "option --client needs DIR"},
      {{"check", "1", "x.xml", "--json=yes"}, "option --json takes no value"},
      {{"check", "1", "x.xml", "--json", "--quiet"}, "--json and --quiet do not go together"},
      {{"call", "1", "x.xml", "--backup-dir", "d"}, "option --backup-dir does not go with call"},
      {{"check", "1", "x.xml", "--client", "a", "--client", "b"},
       "option --client is given twice; give it once"},
      {{"transfer", "1", "x.xml", "--backup-dir=a", "--backup-dir", "a"},
       "option --backup-dir is given twice"},
      {{"check", "1", "x.xml", "--encoding", "auto", "--encoding=utf-8"},
       "option --encoding is given twice"},
      {{"transfer", "1", "x.xml", "--backup-dir", " \t"},
       "--backup-dir takes a folder, not empty text"},
      {{"call", "1", "x.xml", "--client", "d"}, "option --client does not go with call"},
      {{"check", "1", "x.xml", "--encoding", "gbk"}, "--encoding takes utf-8 or auto, not 'gbk'"},
      {{"restore", "--list", "x.dat"}, "restore --list takes no BACKUP"},
      {{"check", "-V"}, "option -V does not go with check"},
      {{"--frobnicate"}, "unknown option '--frobnicate'"},
      {{"help", "chek"}, "unknown command 'chek'; did you mean 'check'?"},
      {{"log", "--off", "--on"}, "--off and --on do not go together"},
      {{"log", "--off", "--json"}, "--off goes alone with log"},
      {{"log", "-n", "0"}, "-n takes a number of calls from 1 to 999999, not '0'"},
      {{"log", "calls.log"}, "log takes no operand"},
  };
  for (const auto& c : cases) {
    std::string joined;
    for (const auto& arg : c.args) joined += arg + " ";
    SCOPED_TRACE(joined);
    const Outcome run = Sbrep(c.args);
    EXPECT_EQ(run.status, 64);
    // Only a JSON object, where one was asked for.
    const bool json = std::find(c.args.begin(), c.args.end(), "--json") != c.args.end();
    EXPECT_EQ(run.out.empty(), !json) << run.out;
    ASSERT_FALSE(run.err.empty());
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_EQ(run.err.rfind("sbrep: ", 0), 0u) << run.err;
    EXPECT_TRUE(Has(run.err, c.said)) << run.err;
  }
}

// A script that asked for JSON gets one object whatever happens.
TEST(CliOptions, JsonIsOneObjectEvenForAUsageErrorOrTheHelp) {
  const Outcome usage = Sbrep({"check", "4", "x.xml", "--json"});
  EXPECT_EQ(usage.status, 64);
  EXPECT_TRUE(Has(usage.err, "sbrep: KIND must be ")) << usage.err;
  const Json error = Parsed(usage);
  EXPECT_EQ(error["command"], "check");
  EXPECT_EQ(error["ok"], false);
  EXPECT_EQ(error["exit_status"], 64);
  EXPECT_EQ(error["fault"], "usage");
  EXPECT_EQ(error["detail"], usage.err.substr(7, usage.err.size() - 8));
  EXPECT_TRUE(Parsed(Sbrep({"--json", "--frobnicate"}))["command"].is_null());
  EXPECT_EQ(Parsed(Sbrep({"transfer", "1", "x.xml", "--json", "--client", " "}))["command"],
            "transfer");

  const Outcome help = Sbrep({"check", "--json", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(Parsed(help), Json({{"help", Sbrep({"help", "check"}).out}}));
  // What follows "--" is an operand, not the option.
  EXPECT_EQ(Sbrep({"check", "1", "--", "--json", "x.xml"}).out, "");
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// One usage block each; a command's help shows its own exit statuses.
TEST(CliOptions, HelpAsWindowsAndPosixUsersAskForIt) {
  const std::string help = Sbrep({"--help"}).out;
  EXPECT_EQ(Count(help, "Usage"), 1u) << help;
  EXPECT_TRUE(Has(help, "Examples:\n  sbrep check ")) << help;
  for (const Strings& args : {Strings{"-h"}, Strings{"-?"}, Strings{"/?"}, Strings{"help"}}) {
    const Outcome run = Sbrep(args);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, help);
  }
  const struct {
    const char* command;
    const char* own;    // in its own help
    const char* other;  // another command's, not in it
  } commands[] = {
      {"check", "  3    the export is at fault", "transferred"},
      {"transfer", "  1    not transferred", "ready to file"},
      {"restore", "  1    not confirmed", "ready to file"},
      {"call", "  2    the library cannot be loaded", "ready to file"},
  };
  for (const auto& c : commands) {
    SCOPED_TRACE(c.command);
    const std::string own = Sbrep({"help", c.command}).out;
    EXPECT_EQ(Count(own, "Usage"), 1u) << own;
    EXPECT_EQ(own.rfind(std::string("Usage: sbrep ") + c.command + " ", 0), 0u) << own;
    EXPECT_TRUE(Has(own, c.own)) << own;
    EXPECT_FALSE(Has(own, c.other)) << own;
    EXPECT_EQ(Sbrep({c.command, "--help"}).out, own);
    EXPECT_EQ(Sbrep({c.command, "/?"}).out, own);
    EXPECT_EQ(Sbrep({c.command, "1", "x.xml", "-h"}).out, own);
  }
}

// ---------------------------------------------------------------------------
// The terminal.

TEST(CliTerminal, LinesLeaveAsTheyEndAndNoCharacterIsSplit) {
  std::vector<std::string> sent;
  cli::TerminalBuffer buffer([&](std::string_view text) {
    sent.emplace_back(text);
    return true;
  });
  std::ostream stream(&buffer);
  stream << "first";
  EXPECT_TRUE(sent.empty());
  stream << " line\nsecond";
  EXPECT_EQ(sent, Strings({"first line\n"}));
  stream << " \xE6\xB2" << std::flush;  // the first two bytes of 没
  EXPECT_EQ(sent, Strings({"first line\n", "second "}));
  stream << "\xA1\n";
  EXPECT_EQ(sent, Strings({"first line\n", "second ", "\xE6\xB2\xA1\n"}));
  stream << "\rprogress" << std::flush;
  EXPECT_EQ(sent.back(), "\rprogress");
}

// A redirected report reads right where it lands: the console's code page
// and CR LF on Windows, as `type` shows it; UTF-8 when a script asks.
TEST(CliTerminal, RedirectedTextIsInTheCodePageOfItsReaders) {
  const std::string text = "message: 没有安装申报软件!\ndetail: x\n";
  EXPECT_EQ(cli::RedirectedBytes(text, cli::Encoding::kAuto), RedirectedForm(text));
  EXPECT_EQ(cli::RedirectedBytes(text, cli::Encoding::kUtf8), text);
}

TEST(CliTerminal, ProgressShowsOnceAReadTakesASecond) {
  EXPECT_EQ(cli::ProgressText(0, 0), "reading the export: 0.0 MB");
  EXPECT_EQ(cli::ProgressText(3 << 19, 3 << 20), "reading the export: 50% (1.5 of 3.0 MB)");
  EXPECT_EQ(cli::ProgressText(5, 4), "reading the export: 100% (0.0 of 0.0 MB)");
  {
    std::ostringstream off;
    cli::ProgressLine line(off, false);
    EXPECT_FALSE(static_cast<bool>(line.callback()));
  }
  std::ostringstream quick;
  {
    cli::ProgressLine line(quick, true);
    line.callback()(10, 100);
    line.Stop();
  }
  EXPECT_EQ(quick.str(), "") << "a read that ends at once shows nothing";
  std::ostringstream slow;
  {
    cli::ProgressLine line(slow, true);
    line.callback()(50 << 20, 100 << 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    line.Stop();
  }
  const std::string shown = "\rreading the export: 50% (50.0 of 100.0 MB)";
  EXPECT_EQ(slow.str().substr(0, shown.size()), shown);
  const std::string cleared = "\r" + std::string(shown.size() - 1, ' ') + "\r";
  EXPECT_EQ(slow.str().substr(slow.str().size() - cleared.size()), cleared)
      << "the line is cleared";
}

}  // namespace
}  // namespace sbrep::test
