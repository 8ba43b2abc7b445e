// The rollback journal: only a journal written to its last byte rolls a
// table back, and every call that opens a table rolls back first.
#include <gtest/gtest.h>

#include "core/error.h"
#include "include/sbrep.h"
#include "support/injector.h"
#include "support/support.h"
#include "table_file/in_place.h"
#include "table_file/journal.h"
#include "transfer_cases.h"

namespace sbrep {
namespace {

using test::How;
using test::Injector;
using test::ReadBytes;
using test::Target;
using test::WriteBytes;

const std::string kOld = "[TABLE08]\r\nL01:1,\xD7\xCA\xB2\xFA,1.00,\r\n[/TABLE08]\r\n";

TEST(Journal, OnlyAWholeJournalOfTheTableDecodes) {
  const std::string journal = EncodeJournal("TABLE08.dat", kOld);
  EXPECT_EQ(DecodeJournal(journal, "TABLE08.dat"), kOld);
  EXPECT_EQ(DecodeJournal(EncodeJournal("TABLE08.dat", ""), "TABLE08.dat"), "");
  EXPECT_EQ(DecodeJournal(journal, "TABLE09.dat"), std::nullopt) << "another table's";
  // A process killed while writing it leaves any prefix; a bad sector, any
  // changed byte.
  for (std::size_t size = 0; size < journal.size(); ++size) {
    EXPECT_EQ(DecodeJournal(journal.substr(0, size), "TABLE08.dat"), std::nullopt) << size;
  }
  for (std::size_t at = 0; at < journal.size(); ++at) {
    std::string changed = journal;
    changed[at] = static_cast<char>(changed[at] ^ 0x01);
    EXPECT_EQ(DecodeJournal(changed, "TABLE08.dat"), std::nullopt) << at;
  }
  EXPECT_EQ(DecodeJournal(journal + "x", "TABLE08.dat"), std::nullopt);
}

class RollBack : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = folder_.Join("TABLE08.dat");
    journal_ = JournalPath(path_);
    // What a rewrite killed half-way leaves: new bytes, then the old tail.
    WriteBytes(path_, "[TABLE08]\r\nL01:1,new" + kOld.substr(20));
  }
  std::string Listing() const { return test::ListFolder(folder_.path()); }

  test::ScratchFolder folder_;
  std::string path_;
  std::string journal_;
};

TEST_F(RollBack, ACompleteJournalPutsTheOldBytesBack) {
  WriteBytes(journal_, EncodeJournal("TABLE08.dat", kOld));
  RollBackInterruptedSave(path_);
  EXPECT_EQ(ReadBytes(path_), kOld);
  EXPECT_EQ(Listing(), "TABLE08.dat");
  // Again, as after a kill in the middle of the rollback itself.
  WriteBytes(journal_, EncodeJournal("TABLE08.dat", kOld));
  RollBackInterruptedSave(path_);
  EXPECT_EQ(ReadBytes(path_), kOld);
}

TEST_F(RollBack, AnIncompleteJournalIsDroppedAndTheTableLeftAlone) {
  const std::string torn = ReadBytes(path_);
  const std::string journal = EncodeJournal("TABLE08.dat", kOld);
  WriteBytes(journal_, journal.substr(0, journal.size() - 1));
  {
    Injector injector({});
    RollBackInterruptedSave(path_);
    EXPECT_EQ(injector.Calls("open", Target::kTable), 0);
  }
  EXPECT_EQ(ReadBytes(path_), torn);
  EXPECT_EQ(Listing(), "TABLE08.dat");
}

TEST_F(RollBack, AJournalThatCannotBeRolledBackStaysAndStopsTheCall) {
  WriteBytes(journal_, EncodeJournal("TABLE08.dat", kOld));
  const struct {
    const char* what;
    test::InjectedFault fault;
    const char* detail;
  } cases[] = {
      {"the table is locked",
       {"open", Target::kTable, 1, How::kFails, fs::Status::kSharingViolation},
       "an interrupted save left ~TABLE08.dat.sbrep-journal, and TABLE08.dat cannot be rolled "
       "back: open table file for writing: in use by another program (9999)"},
      {"the old bytes do not go down",
       {"write", Target::kTable, 1, How::kFails},
       "an interrupted save left ~TABLE08.dat.sbrep-journal, and TABLE08.dat cannot be rolled "
       "back: roll back table file: error (9999)"},
      {"the journal cannot be read",
       {"read", Target::kJournal, 1, How::kFails},
       "cannot read ~TABLE08.dat.sbrep-journal: error (9999)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      Injector injector({c.fault});
      RollBackInterruptedSave(path_);
      ADD_FAILURE() << "rolled back";
    } catch (const Error& error) {
      EXPECT_EQ(error.message(), Message::kProcessingFailed);
      EXPECT_EQ(error.detail(), c.detail);
    }
    EXPECT_EQ(DecodeJournal(ReadBytes(journal_), "TABLE08.dat"), kOld);
  }
  // Emptied where it cannot be removed: never rolled back again.
  {
    Injector injector({{"remove", Target::kJournal, 1, How::kFails}});
    RollBackInterruptedSave(path_);
  }
  EXPECT_EQ(ReadBytes(path_), kOld);
  EXPECT_EQ(ReadBytes(journal_), "");
}

// A host's call finds the torn table and the journal that a killed call
// left, rolls back, and files its own figures over the old table.
TEST(RollBackThroughTheTransfer, TheNextCallRollsBackBeforeItReadsTheTable) {
  test::FilingClient client;
  const std::string old_bytes = test::ReadData("transfer/TABLE09.dat");
  const std::string path = client.TablePath("TABLE09.dat");
  client.PutTable("TABLE09.dat", old_bytes.substr(0, old_bytes.size() / 2));
  WriteBytes(JournalPath(path), EncodeJournal("TABLE09.dat", old_bytes));
  const std::string xml = client.scratch().Join("syb.xml");
  WriteBytes(xml, test::ReadData("transfer/income-statement.xml"));

  const auto call = test::CallSetSBRepData(xml, SBREP_INCOME_STATEMENT);
  EXPECT_EQ(call.result, 0) << call.message();
  EXPECT_EQ(ReadBytes(path), test::ReadData("transfer/TABLE09-filed.dat"));
  EXPECT_EQ(test::ListFolder(fs::FolderOf(path)), "TABLE09.dat");
}

}  // namespace
}  // namespace sbrep
