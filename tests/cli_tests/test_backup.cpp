// The backups a transfer takes: where they go, what they hold, which are
// kept, and that a failed one stops the transfer.
#include "cli_tests/cli_test.h"

#include "cli/backup.h"
#include "cli/places.h"
#include "platform/filesystem.h"
#include "support/injector.h"

namespace sbrep::test {
namespace {

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

}  // namespace
}  // namespace sbrep::test
