// The rollback journal: only a journal written to its last byte rolls a
// table back, only a table that holds what a killed save left is rolled
// back, and every call that finds a table rolls back first.
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "core/error.h"
#include "include/sbrep.h"
#include "support/injector.h"
#include "support/support.h"
#include "table_file/in_place.h"
#include "table_file/journal.h"
#include "transfer/transfer.h"
#include "transfer_cases.h"

namespace sbrep {
namespace {

using test::How;
using test::Injector;
using test::ReadBytes;
using test::Target;
using test::WriteBytes;

const std::string kOld = "[TABLE08]\r\nL01:1,\xD7\xCA\xB2\xFA,1.00,\r\n[/TABLE08]\r\n";
const std::string kNew = "[TABLE08]\r\nL01:1,new,2.00,\r\n[/TABLE08]\r\n";
// What a rewrite killed half-way leaves: new bytes, then the old tail.
const std::string kTorn = kNew.substr(0, 20) + kOld.substr(20);

TEST(Journal, OnlyAWholeJournalOfTheTableDecodes) {
  const std::string journal = EncodeJournal("TABLE08.dat", kOld, kNew);
  const auto decoded = DecodeJournal(journal, "TABLE08.dat");
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(decoded->old_bytes, kOld);
  ASSERT_TRUE(decoded->new_bytes.has_value());
  EXPECT_EQ(decoded->new_bytes->size, kNew.size());
  EXPECT_EQ(decoded->new_bytes->digest, Sha256Of(kNew));
  EXPECT_EQ(DecodeJournal(EncodeJournal("TABLE08.dat", "", ""), "TABLE08.dat")->old_bytes, "");
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
  // Written by 1.1.0: the old bytes, and nothing to tell the new ones by.
  const auto one =
      DecodeJournal(test::ReadData("journal/TABLE08-format-1.sbrep-journal"), "TABLE08.dat");
  ASSERT_TRUE(one.has_value());
  EXPECT_EQ(one->old_bytes, kOld);
  EXPECT_FALSE(one->new_bytes.has_value());
}

// Every table a rewrite, and then its rollback, can leave when killed after
// any byte is interrupted; a save by someone else over any of them is not.
TEST(Journal, OnlyWhatAKilledRewriteOrRollbackLeavesIsInterrupted) {
  const std::string longer = kNew.substr(0, 30) + "and a longer line,\r\n" + kNew.substr(30);
  const std::string shorter = "[TABLE08]\r\n[/TABLE08]\r\n";
  for (const std::string& to : {kNew, longer, shorter}) {
    SCOPED_TRACE(std::to_string(to.size()) + " new bytes");
    const Journal journal = *DecodeJournal(EncodeJournal("T", kOld, to), "T");
    EXPECT_EQ(StateOf(journal, kOld), TableState::kOld);
    EXPECT_EQ(StateOf(journal, to), TableState::kNew);
    for (std::size_t cut = 0; cut <= to.size(); ++cut) {
      std::string torn = kOld;
      torn.replace(0, std::min(cut, torn.size()), to.substr(0, cut));
      for (std::size_t back = 0; back <= std::min(cut, kOld.size()); ++back) {
        std::string rolled = torn;
        rolled.replace(0, back, kOld.substr(0, back));
        const TableState state = StateOf(journal, rolled);
        if (rolled != kOld && rolled != to) {
          EXPECT_EQ(state, TableState::kInterrupted) << "cut " << cut << ", back " << back;
        }
        // The client changes its last line; another program empties it.
        std::string saved = rolled;
        saved[saved.size() - 3] = 'X';
        EXPECT_EQ(StateOf(journal, saved), TableState::kChanged) << cut << ", " << back;
      }
    }
    EXPECT_EQ(StateOf(journal, ""), TableState::kChanged);
    EXPECT_EQ(StateOf(journal, kOld + "\r\n"), TableState::kChanged);
  }
  // Without the new bytes' record, only the old bytes are known for sure.
  const Journal one =
      *DecodeJournal(test::ReadData("journal/TABLE08-format-1.sbrep-journal"), "TABLE08.dat");
  EXPECT_EQ(StateOf(one, kOld), TableState::kOld);
  EXPECT_EQ(StateOf(one, kTorn), TableState::kChanged);
  EXPECT_EQ(StateOf(one, kNew), TableState::kChanged);
}

class RollBack : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = folder_.Join("TABLE08.dat");
    journal_ = JournalPath(path_);
    WriteBytes(path_, kTorn);
  }
  std::string Listing() const { return test::ListFolder(folder_.path()); }

  test::ScratchFolder folder_;
  std::string path_;
  std::string journal_;
};

// What the table holds decides: only what a killed save left is rolled
// back; the journal goes in every case.
struct RollBackCase {
  const char* what;
  int format;  // of the journal
  std::string table;
  Recovery recovery;
  std::string after;
};

void PrintTo(const RollBackCase& c, std::ostream* out) { *out << c.what; }

const std::string kClientSave = kTorn.substr(0, kTorn.size() - 3) + "X]\r\n";
const RollBackCase kRollBackCases[] = {
    {"torn", 2, kTorn, Recovery::kRolledBack, kOld},
    {"the old bytes", 2, kOld, Recovery::kNone, kOld},
    {"the new bytes", 2, kNew, Recovery::kNone, kNew},
    {"saved by the client since", 2, kClientSave, Recovery::kKept, kClientSave},
    {"format 1, the old bytes", 1, kOld, Recovery::kNone, kOld},
    {"format 1, torn: nothing proves it", 1, kTorn, Recovery::kKept, kTorn},
};

class RollBackOf : public RollBack, public ::testing::WithParamInterface<RollBackCase> {};

TEST_P(RollBackOf, OnlyATableAKilledSaveLeftIsRolledBack) {
  const RollBackCase& c = GetParam();
  WriteBytes(path_, c.table);
  WriteBytes(journal_, c.format == 1 ? test::ReadData("journal/TABLE08-format-1.sbrep-journal")
                                     : EncodeJournal("TABLE08.dat", kOld, kNew));
  EXPECT_EQ(RollBackInterruptedSave(path_), c.recovery);
  EXPECT_EQ(ReadBytes(path_), c.after);
  EXPECT_EQ(Listing(), "TABLE08.dat");
}

INSTANTIATE_TEST_SUITE_P(WhatTheTableHolds, RollBackOf, ::testing::ValuesIn(kRollBackCases),
                         [](const auto& info) { return test::CaseName(info.param.what); });

// Again, as after a kill in the middle of the rollback itself.
TEST_F(RollBack, AKilledRollBackIsRolledBackAgain) {
  WriteBytes(path_, kOld.substr(0, 18) + kTorn.substr(18));
  WriteBytes(journal_, EncodeJournal("TABLE08.dat", kOld, kNew));
  EXPECT_EQ(RollBackInterruptedSave(path_), Recovery::kRolledBack);
  EXPECT_EQ(ReadBytes(path_), kOld);
}

TEST_F(RollBack, AnIncompleteJournalIsDroppedAndTheTableLeftAlone) {
  const std::string torn = ReadBytes(path_);
  const std::string journal = EncodeJournal("TABLE08.dat", kOld, kNew);
  WriteBytes(journal_, journal.substr(0, journal.size() - 1));
  {
    Injector injector({});
    RollBackInterruptedSave(path_);
    EXPECT_EQ(injector.Calls("open", Target::kTable), 0);
  }
  EXPECT_EQ(ReadBytes(path_), torn);
  EXPECT_EQ(Listing(), "TABLE08.dat");
}

struct StuckCase {
  const char* what;
  test::InjectedFault fault;
  const char* detail;
};

void PrintTo(const StuckCase& c, std::ostream* out) { *out << c.what; }

const StuckCase kStuckCases[] = {
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

class StuckRollBack : public RollBack, public ::testing::WithParamInterface<StuckCase> {};

TEST_P(StuckRollBack, TheJournalStaysAndStopsTheCall) {
  const StuckCase& c = GetParam();
  WriteBytes(journal_, EncodeJournal("TABLE08.dat", kOld, kNew));
  try {
    Injector injector({c.fault});
    RollBackInterruptedSave(path_);
    ADD_FAILURE() << "rolled back";
  } catch (const Error& error) {
    EXPECT_EQ(error.message(), Message::kProcessingFailed);
    EXPECT_EQ(error.detail(), c.detail);
  }
  EXPECT_EQ(DecodeJournal(ReadBytes(journal_), "TABLE08.dat")->old_bytes, kOld);
}

INSTANTIATE_TEST_SUITE_P(AJournalThatCannotBeRolledBack, StuckRollBack,
                         ::testing::ValuesIn(kStuckCases),
                         [](const auto& info) { return test::CaseName(info.param.what); });

// Emptied where it cannot be removed: never rolled back again.
TEST_F(RollBack, AJournalThatCannotBeRemovedIsEmptied) {
  WriteBytes(journal_, EncodeJournal("TABLE08.dat", kOld, kNew));
  {
    Injector injector({{"remove", Target::kJournal, 1, How::kFails}});
    RollBackInterruptedSave(path_);
  }
  EXPECT_EQ(ReadBytes(path_), kOld);
  EXPECT_EQ(ReadBytes(journal_), "");
}

// A host's call finds the torn table and the journal that a killed call
// left, and rolls back before it reads the export: a call whose export then
// fails leaves the old table, one that cannot roll back fails as the table's
// fault, and the opening checks still come first.
enum class Xml { kWhole, kHalf, kNone };
enum class Left { kFiled, kOld, kTorn };

struct CallCase {
  const char* what;
  Xml xml;
  std::vector<test::InjectedFault> faults;
  int result;
  Message message;
  Left after;
  Recovery recovery;
};

void PrintTo(const CallCase& c, std::ostream* out) { *out << c.what; }

const CallCase kCallCases[] = {
    {"the export files", Xml::kWhole, {}, 0, Message::kEmpty, Left::kFiled, Recovery::kRolledBack},
    {"the export cannot be parsed",
     Xml::kHalf,
     {},
     -1,
     Message::kXmlParseError,
     Left::kOld,
     Recovery::kRolledBack},
    {"the table cannot be rolled back",
     Xml::kHalf,
     {{"open", Target::kTable, 1, How::kFails, fs::Status::kSharingViolation}},
     -1,
     Message::kProcessingFailed,
     Left::kTorn,
     Recovery::kNone},
    {"no export: the opening checks come first",
     Xml::kNone,
     {{"open", Target::kTable, 1, How::kFails, fs::Status::kSharingViolation}},
     -1,
     Message::kExportMissing,
     Left::kTorn,
     Recovery::kNone},
};

class RollBackThroughTheTransfer : public ::testing::TestWithParam<CallCase> {};

TEST_P(RollBackThroughTheTransfer, TheFirstCallThatFindsTheTableRollsBack) {
  const CallCase& c = GetParam();
  const std::string old_bytes = test::ReadData("transfer/TABLE09.dat");
  const std::string filed = test::ReadData("transfer/TABLE09-filed.dat");
  const std::string good = test::ReadData("transfer/income-statement.xml");
  const std::string torn = filed.substr(0, filed.size() / 2) + old_bytes.substr(filed.size() / 2);
  ASSERT_EQ(torn.size(), old_bytes.size());
  test::FilingClient client;
  const std::string path = client.TablePath("TABLE09.dat");
  client.PutTable("TABLE09.dat", torn);
  WriteBytes(JournalPath(path), EncodeJournal("TABLE09.dat", old_bytes, filed));
  const std::string xml = client.scratch().Join("syb.xml");
  if (c.xml != Xml::kNone)
    WriteBytes(xml, c.xml == Xml::kWhole ? good : good.substr(0, good.size() / 2));
  TransferOutcome outcome;
  {
    Injector injector(c.faults);
    outcome = TransferTable(EntryOf(TableKind::kIncomeStatement), test::CallerPath(xml).c_str());
  }
  EXPECT_EQ(outcome.result, c.result);
  EXPECT_EQ(outcome.message, c.message);
  EXPECT_EQ(outcome.recovery, c.recovery);
  EXPECT_EQ(ReadBytes(path), c.after == Left::kFiled ? filed
                             : c.after == Left::kOld ? old_bytes
                                                     : torn);
}

INSTANTIATE_TEST_SUITE_P(Call, RollBackThroughTheTransfer, ::testing::ValuesIn(kCallCases),
                         [](const auto& info) { return test::CaseName(info.param.what); });

}  // namespace
}  // namespace sbrep
