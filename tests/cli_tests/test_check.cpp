// check and transfer on good, bad and misfiled exports, the install and
// table as a transfer meets them, and transfer against a direct call.
#include "cli_tests/cli_test.h"

#include "cli/backup.h"
#include "harness/hold_open.h"
#include "platform/codepage.h"
#include "platform/filesystem.h"
#include "table_file/journal.h"

namespace sbrep::test {
namespace {

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

}  // namespace
}  // namespace sbrep::test
