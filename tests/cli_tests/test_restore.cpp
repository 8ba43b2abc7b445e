// restore: a backup goes back only where it came from, and only once it is
// proven the table's.
#include "cli_tests/cli_test.h"

#include "cli/backup.h"
#include "platform/filesystem.h"
#include "table_file/journal.h"

namespace sbrep::test {
namespace {

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

}  // namespace
}  // namespace sbrep::test
