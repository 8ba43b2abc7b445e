// The crash-safe save: each step of it failing in turn, the in-place
// fallback, and real handles held open by another program.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <vector>

#include "core/error.h"
#include "harness/file_identity.h"
#include "harness/hold_open.h"
#include "include/sbrep.h"
#include "platform/filesystem.h"
#include "support/injector.h"
#include "support/support.h"
#include "table_file/journal.h"
#include "table_file/save.h"
#include "table_file/table_lines.h"
#include "transfer_cases.h"

namespace sbrep {
namespace {

using test::How;
using test::InjectedFault;
using test::Injector;
using test::ReadBytes;
using test::Target;
using test::WriteBytes;

// What the old file holds, and what the save puts there: shorter, so that a
// rewrite in place that failed to truncate shows.
const TableLines kNew({"[TABLE08]", "L01:1,\xD7\xCA\xB2\xFA,2.00,", "[/TABLE08]"});
const std::string kNewBytes = JoinTableLines(kNew);

class Save : public ::testing::Test {
 protected:
  void SetUp() override {
    old_bytes_ = test::ReadData("transfer/TABLE08.dat");
    path_ = folder_.Join("TABLE08.dat");
    WriteBytes(path_, old_bytes_);
  }

  // The detail of the save's failure, or nothing when it succeeded.
  std::optional<std::string> SaveNow() {
    try {
      SaveTableLines(kNew, path_);
      return std::nullopt;
    } catch (const Error& error) {
      EXPECT_EQ(error.message(), Message::kProcessingFailed);
      return error.detail();
    }
  }

  std::string Bytes() const { return ReadBytes(path_); }
  std::string Listing() const { return test::ListFolder(folder_.path()); }

  test::ScratchFolder folder_;
  std::string path_;
  std::string old_bytes_;
};

enum class Outcome {
  kReplaced,      // through the temp file
  kInPlace,       // rewritten through a shared handle
  kFails,         // the old bytes stay
  kJournalStays,  // the restore failed too: the journal is left to roll back
};

// One step of the save failing, and what it must leave.
struct StepCase {
  const char* what;
  std::vector<InjectedFault> faults;
  Outcome outcome;
  const char* detail;                // the failure's detail
  const char* left = "TABLE08.dat";  // what the folder holds after
};

void PrintTo(const StepCase& c, std::ostream* out) { *out << c.what; }

using fs::Status;
const InjectedFault kRenameRefused = {"replace", Target::kTemp, 1, How::kKeepsFailing,
                                      Status::kAccessDenied};
const StepCase kStepCases[] = {
    {"nothing fails", {}, Outcome::kReplaced, nullptr},
    {"the table cannot be checked",
     {{"stat", Target::kTable, 1, How::kFails}},
     Outcome::kFails,
     "cannot save TABLE08.dat: check table file: error (9999)"},
    {"the temp file cannot be created",
     {{"open", Target::kTemp, 1, How::kFails, Status::kAccessDenied}},
     Outcome::kInPlace,
     nullptr},
    {"no right to create files in the folder: in place, without a journal",
     {{"open", Target::kTemp, 1, How::kFails, Status::kAccessDenied},
      {"open", Target::kJournal, 1, How::kFails, Status::kAccessDenied}},
     Outcome::kInPlace,
     nullptr},
    {"no right to create files, and the write in place is cut off",
     {{"open", Target::kTemp, 1, How::kFails, Status::kAccessDenied},
      {"open", Target::kJournal, 1, How::kFails, Status::kAccessDenied},
      {"write", Target::kTable, 1, How::kFails}},
     Outcome::kFails,
     "cannot save TABLE08.dat: create temp file: access denied (9999); write table file: error "
     "(9999)"},
    {"another program creates the temp file first and holds it",
     {{"open", Target::kTemp, 1, How::kFails, Status::kSharingViolation}},
     Outcome::kFails,
     "cannot save TABLE08.dat: create temp file: in use by another program (9999)"},
    {"the temp file is written part-way",
     {{"write", Target::kTemp, 1, How::kFails}},
     Outcome::kInPlace,
     nullptr},
    {"the temp file will not flush",
     {{"flush", Target::kTemp, 1, How::kFails}},
     Outcome::kInPlace,
     nullptr},
    {"the temp file will not close",
     {{"close", Target::kTemp, 1, How::kFails}},
     Outcome::kInPlace,
     nullptr},
    {"the attributes will not carry over",
     {{"set_attributes", Target::kTemp, 1, How::kFails}},
     Outcome::kInPlace,
     nullptr},
    {"the owner cannot be given to the temp file",
     {{"carry_identity", Target::kTemp, 1, How::kFails, Status::kAccessDenied}},
     Outcome::kInPlace,
     nullptr},
    {"the table cannot be located",
     {{"locate", Target::kTable, 1, How::kFails}},
     Outcome::kReplaced,
     nullptr},
    {"a scanner holds the table for a moment",
     {{"replace", Target::kTemp, 1, How::kFails, Status::kSharingViolation},
      {"replace", Target::kTemp, 2, How::kFails, Status::kAccessDenied}},
     Outcome::kReplaced,
     nullptr},
    {"the rename keeps being refused", {kRenameRefused}, Outcome::kInPlace, nullptr},
    {"the rename fails for good",
     {{"replace", Target::kTemp, 1, How::kFails}},
     Outcome::kInPlace,
     nullptr},
    {"the folder will not sync",
     {{"sync_folder", Target::kFolder, 1, How::kFails}},
     Outcome::kReplaced,
     nullptr},
    {"in place: the table cannot be opened for writing",
     {kRenameRefused, {"open", Target::kTable, 1, How::kFails, Status::kSharingViolation}},
     Outcome::kFails,
     "cannot save TABLE08.dat: replace table file: access denied (9999); open table file for "
     "writing: in use by another program (9999)"},
    {"in place: the journal is written part-way",
     {kRenameRefused, {"write", Target::kJournal, 1, How::kFails}},
     Outcome::kFails,
     "cannot save TABLE08.dat: replace table file: access denied (9999); write journal: error "
     "(9999)"},
    {"in place: the journal will not flush",
     {kRenameRefused, {"flush", Target::kJournal, 1, How::kFails}},
     Outcome::kFails,
     nullptr},
    {"in place: the journal cannot be removed, only emptied",
     {kRenameRefused, {"remove", Target::kJournal, 1, How::kFails}},
     Outcome::kInPlace,
     nullptr,
     "TABLE08.dat ~TABLE08.dat.sbrep-journal"},
    {"in place: the journal can neither be removed nor emptied",
     {kRenameRefused,
      {"remove", Target::kJournal, 1, How::kKeepsFailing},
      {"open", Target::kJournal, 2, How::kKeepsFailing}},
     Outcome::kFails,
     "cannot save TABLE08.dat: replace table file: access denied (9999); remove journal: error "
     "(9999); remove journal: error (9999)",
     "TABLE08.dat ~TABLE08.dat.sbrep-journal"},
    {"in place: the old bytes cannot be read",
     {kRenameRefused, {"read", Target::kTable, 1, How::kFails}},
     Outcome::kFails,
     nullptr},
    {"in place: the write is cut off",
     {kRenameRefused, {"write", Target::kTable, 1, How::kFails}},
     Outcome::kFails,
     nullptr},
    {"in place: the table cannot be truncated",
     {kRenameRefused, {"truncate", Target::kTable, 1, How::kFails}},
     Outcome::kFails,
     nullptr},
    {"in place: the table will not flush",
     {kRenameRefused, {"flush", Target::kTable, 1, How::kFails}},
     Outcome::kFails,
     nullptr},
    {"in place: the read-back fails",
     {kRenameRefused, {"read", Target::kTable, 3, How::kFails}},
     Outcome::kFails,
     nullptr},
    {"in place: the read-back differs",
     {kRenameRefused, {"read", Target::kTable, 3, How::kCorruptsRead}},
     Outcome::kFails,
     nullptr},
    {"in place: the restore fails too",
     {kRenameRefused, {"write", Target::kTable, 1, How::kKeepsFailing}},
     Outcome::kJournalStays,
     "cannot save TABLE08.dat: replace table file: access denied (9999); write table file: "
     "error (9999); restore table file: error (9999), the next call rolls it back from the "
     "journal",
     "TABLE08.dat ~TABLE08.dat.sbrep-journal"},
};

class SaveStep : public Save, public ::testing::WithParamInterface<StepCase> {};

TEST_P(SaveStep, FailingLeavesTheTableWholeAndNoTempFileOrJournal) {
  const StepCase& c = GetParam();
  std::optional<std::string> detail;
  int table_opens = 0;
  {
    Injector injector(c.faults);
    detail = SaveNow();
    table_opens = injector.Calls("open", Target::kTable);
    EXPECT_LE(injector.slept_ms, 1000u);
  }
  EXPECT_EQ(Listing(), c.left);
  const std::string journal = folder_.Join("~TABLE08.dat.sbrep-journal");
  switch (c.outcome) {
    case Outcome::kReplaced:
    case Outcome::kInPlace:
      EXPECT_EQ(detail, std::nullopt);
      EXPECT_EQ(Bytes(), kNewBytes);
      EXPECT_EQ(table_opens, c.outcome == Outcome::kInPlace ? 1 : 0);
      break;
    case Outcome::kFails:
      ASSERT_NE(detail, std::nullopt);
      if (c.detail != nullptr) {
        EXPECT_EQ(*detail, c.detail);
      }
      EXPECT_EQ(Bytes(), old_bytes_);
      break;
    case Outcome::kJournalStays:
      ASSERT_NE(detail, std::nullopt);
      EXPECT_EQ(*detail, c.detail);
      {
        // The next call rolls back whatever the table holds, never taking
        // it for a save by someone else.
        const auto left = DecodeJournal(ReadBytes(journal), "TABLE08.dat");
        ASSERT_TRUE(left.has_value());
        EXPECT_EQ(left->old_bytes, old_bytes_);
        EXPECT_NE(StateOf(*left, Bytes()), TableState::kChanged);
        break;
      }
  }
  // A journal left beside new or old bytes must never roll anything back.
  if (c.outcome != Outcome::kJournalStays && test::Exists(journal)) {
    const auto left = DecodeJournal(ReadBytes(journal), "TABLE08.dat");
    if (c.outcome == Outcome::kFails) {
      ASSERT_TRUE(left.has_value());
      EXPECT_EQ(left->old_bytes, old_bytes_);
    } else {
      EXPECT_FALSE(left.has_value());
    }
  }
  test::RemoveFile(journal);
}

INSTANTIATE_TEST_SUITE_P(EachStep, SaveStep, ::testing::ValuesIn(kStepCases),
                         [](const auto& info) { return test::CaseName(info.param.what); });

TEST_F(Save, RetriesARefusedRenameForAboutASecond) {
  Injector injector(
      {{"replace", Target::kTemp, 1, How::kKeepsFailing, fs::Status::kSharingViolation}});
  EXPECT_EQ(SaveNow(), std::nullopt);
  EXPECT_EQ(injector.Calls("replace", Target::kTemp), 1 + injector.sleeps);
  EXPECT_GE(injector.sleeps, 3);
  EXPECT_GE(injector.slept_ms, 800u);
  EXPECT_LE(injector.slept_ms, 1200u);
}

TEST_F(Save, ReadOnlyTableIsRefusedBeforeAnythingIsWritten) {
  test::MakeReadOnly(path_, true);
  Injector injector({});
  const auto detail = SaveNow();
  EXPECT_EQ(detail, "cannot save TABLE08.dat: read-only");
  EXPECT_EQ(injector.Calls("open", Target::kTemp), 0);
  EXPECT_EQ(injector.Calls("open", Target::kTable), 0);
  EXPECT_EQ(Bytes(), old_bytes_);
  EXPECT_EQ(Listing(), "TABLE08.dat");
}

TEST_F(Save, ReplacesATempFileLeftByACrash) {
  const std::string temp = folder_.Join("~TABLE08.dat.sbrep-tmp");
  WriteBytes(temp, "half a table");
  EXPECT_EQ(SaveNow(), std::nullopt);
  EXPECT_EQ(Bytes(), kNewBytes);
  EXPECT_EQ(Listing(), "TABLE08.dat");
}

// The temp file's name is the save's own: a leftover there that carries the
// read-only attribute (which refuses a remove on Windows, as the fake here
// does everywhere) loses it and goes. A folder, or a file another program
// holds, fails the save with the leftover as it was.
struct LeftoverCase {
  const char* what;
  bool folder;
  bool held;
};

void PrintTo(const LeftoverCase& c, std::ostream* out) { *out << c.what; }

const LeftoverCase kLeftoverCases[] = {{"a read-only file", false, false},
                                       {"a read-only file another program holds", false, true},
                                       {"a folder", true, false}};

class LeftoverTemp : public Save, public ::testing::WithParamInterface<LeftoverCase> {};

TEST_P(LeftoverTemp, OnlyAReadOnlyFileIsCleared) {
  const LeftoverCase& c = GetParam();
  const std::string temp = folder_.Join("~TABLE08.dat.sbrep-tmp");
  const fs::Ops saved = fs::FileSystem();
  fs::FileSystem().remove = [](const std::string& path) noexcept {
    fs::Attributes found;
    if (fs::PlatformFileSystem().stat(path, &found).ok() && found.read_only) {
      return fs::Outcome{fs::Status::kAccessDenied, 5};
    }
    return fs::PlatformFileSystem().remove(path);
  };
  if (c.folder) {
    test::MakeFolder(temp);
  } else {
    WriteBytes(temp, "half a table");
    test::MakeReadOnly(temp, true);
  }
  std::optional<std::string> detail;
  if (c.held) {
    Injector injector(
        {{"remove", Target::kTemp, 1, How::kKeepsFailing, fs::Status::kSharingViolation}});
    detail = SaveNow();
  } else {
    detail = SaveNow();
  }
  fs::FileSystem() = saved;
  const bool cleared = !c.folder && !c.held;
  EXPECT_EQ(detail.has_value(), !cleared) << detail.value_or("");
  EXPECT_EQ(Bytes(), cleared ? kNewBytes : old_bytes_);
  fs::Attributes left;
  ASSERT_TRUE(fs::PlatformFileSystem().stat(temp, &left).ok());
  EXPECT_EQ(left.exists, !cleared);
  if (c.held) {
    EXPECT_TRUE(left.read_only) << "the attribute goes back";
  }
  if (left.exists && !left.directory) test::MakeReadOnly(temp, false);
  fs::PlatformFileSystem().remove(temp);
}

INSTANTIATE_TEST_SUITE_P(AReadOnlyLeftover, LeftoverTemp, ::testing::ValuesIn(kLeftoverCases),
                         [](const auto& info) { return test::CaseName(info.param.what); });

// What the tool asks before it warns that saves there are not crash-safe;
// the question leaves the folder as it was.
TEST_F(Save, TellsWhetherTheFolderTakesATempFile) {
  EXPECT_TRUE(FolderTakesNewFiles(path_));
  EXPECT_EQ(Listing(), "TABLE08.dat");
  Injector injector({{"open", Target::kTemp, 1, How::kFails, fs::Status::kAccessDenied}});
  EXPECT_FALSE(FolderTakesNewFiles(path_));
}

TEST_F(Save, CarriesTheAttributesOver) {
  const std::uint32_t distinct = test::DistinctAttributes();
  ASSERT_TRUE(fs::PlatformFileSystem().set_attributes(path_, distinct).ok());
  fs::Attributes before;
  ASSERT_TRUE(fs::PlatformFileSystem().stat(path_, &before).ok());
  EXPECT_EQ(SaveNow(), std::nullopt);
  fs::Attributes after;
  ASSERT_TRUE(fs::PlatformFileSystem().stat(path_, &after).ok());
  EXPECT_EQ(after.native, before.native);
  EXPECT_EQ(Bytes(), kNewBytes);
}

TEST_F(Save, ATableTheReaderWouldRefuseIsNotWritten) {
  {
    // One line that, with its line break, is a byte over the limit.
    const TableLines too_large({std::string(kMaxTableBytes - 1, 'x')});
    Injector injector({});
    try {
      SaveTableLines(too_large, path_);
      ADD_FAILURE() << "saved";
    } catch (const Error& error) {
      EXPECT_EQ(error.message(), Message::kProcessingFailed);
      EXPECT_EQ(error.detail(),
                "cannot save TABLE08.dat: 67108865 bytes, more than the 64 MB a "
                "table may hold");
    }
    EXPECT_EQ(injector.Calls("open", Target::kTemp) + injector.Calls("open", Target::kTable), 0);
  }
  EXPECT_EQ(Bytes(), old_bytes_);
  // What the limit allows is written, and reads back.
  SaveTableLines(TableLines({std::string(kMaxTableBytes - 2, 'x')}), path_);
  EXPECT_EQ(LoadTableLines(path_).size(), 1u);
}

TEST_F(Save, AHeldTempFileFailsTheSaveInsteadOfSendingItInPlace) {
  const std::string temp = folder_.Join("~TABLE08.dat.sbrep-tmp");
  WriteBytes(temp, "another program's");
  std::optional<std::string> detail;
  {
    Injector injector(
        {{"remove", Target::kTemp, 1, How::kKeepsFailing, fs::Status::kSharingViolation}});
    detail = SaveNow();
    EXPECT_EQ(injector.Calls("open", Target::kTable), 0);
    EXPECT_LE(injector.slept_ms, 1000u);
  }
  EXPECT_EQ(detail,
            "cannot save TABLE08.dat: remove temp file: in use by another program (9999) "
            "(another program holds it)");
  EXPECT_EQ(Bytes(), old_bytes_);
  EXPECT_EQ(ReadBytes(temp), "another program's");
}

TEST_F(Save, KeepsTheOwnerAndAccessRights) {
  const std::string fresh = folder_.Join("fresh.dat");
  WriteBytes(fresh, "");
  if (!test::GiveDistinctIdentity(path_)) GTEST_SKIP() << "files cannot be given away here";
  const std::string before = test::Identity(path_);
  ASSERT_NE(before, test::Identity(fresh)) << "nothing here tells a new file apart";
  test::RemoveFile(fresh);
  EXPECT_EQ(SaveNow(), std::nullopt);
  EXPECT_EQ(test::Identity(path_), before);
  EXPECT_EQ(Bytes(), kNewBytes);
}

TEST_F(Save, SavesThroughASymlinkIntoItsTarget) {
  test::ScratchFolder elsewhere;
  const std::string target = elsewhere.Join("TABLE08.dat");
  WriteBytes(target, old_bytes_);
  test::RemoveFile(path_);
  if (!test::MakeSymlink(target, path_)) GTEST_SKIP() << "no symbolic links here";
  EXPECT_EQ(SaveNow(), std::nullopt);
  EXPECT_TRUE(test::IsSymlink(path_));
  EXPECT_EQ(ReadBytes(target), kNewBytes);
  EXPECT_EQ(Listing(), "TABLE08.dat");
  EXPECT_EQ(test::ListFolder(elsewhere.path()), "TABLE08.dat");
}

TEST_F(Save, KeepsHardLinksByWritingInPlace) {
  const std::string other = folder_.Join("TABLE08-copy.dat");
  if (!test::MakeHardLink(path_, other)) GTEST_SKIP() << "no hard links here";
  {
    Injector injector({});
    EXPECT_EQ(SaveNow(), std::nullopt);
    EXPECT_EQ(injector.Calls("open", Target::kTemp), 0) << "a rename would break the link";
  }
  EXPECT_EQ(Bytes(), kNewBytes);
  EXPECT_EQ(ReadBytes(other), kNewBytes);
  EXPECT_EQ(Listing(), "TABLE08-copy.dat TABLE08.dat");
}

// The transfer's protected region turns a failed save into the catch-all
// text, which reaches the caller. The fault is injected into the same copy
// of the library that the call runs in.
TEST(SaveThroughTheTransfer, AFailedSaveReachesTheCallerAsTheCatchAll) {
  test::FilingClient client;
  const std::string old_bytes = test::ReadData("transfer/TABLE09.dat");
  client.PutTable("TABLE09.dat", old_bytes);
  const std::string xml = client.scratch().Join("syb.xml");
  WriteBytes(xml, test::RowExport("SB_SYB", test::NumberedItems(3)));
  test::CallResult call;
  {
    Injector injector({{"replace", Target::kTemp, 1, How::kKeepsFailing, fs::Status::kAccessDenied},
                       {"truncate", Target::kTable, 1, How::kFails}});
    call = test::CallSetSBRepData(xml, SBREP_INCOME_STATEMENT);
  }
  EXPECT_EQ(call.result, -1);
  EXPECT_EQ(call.message(), MessageBytes(Message::kProcessingFailed));
  EXPECT_EQ(ReadBytes(client.TablePath("TABLE09.dat")), old_bytes);
  EXPECT_EQ(test::ListFolder(fs::FolderOf(client.TablePath("TABLE09.dat"))), "TABLE09.dat");
}

// Real handles, as the filing client may hold its table file while a save
// runs. Only where the platform enforces sharing modes do they forbid
// anything.
class HeldOpen : public Save {
 protected:
  void SetUp() override {
    if (!test::HoldOpen::Enforced()) {
      GTEST_SKIP() << "no sharing modes on this platform";
    }
    Save::SetUp();
  }
};

TEST_F(HeldOpen, WithoutSharingTheSaveFailsAndTheBytesStay) {
  std::optional<std::string> detail;
  {
    test::HoldOpen hold(path_, test::Sharing::kNone);
    ASSERT_TRUE(hold.ok());
    Injector injector({});  // counts, and skips the waits between retries
    detail = SaveNow();
  }
  EXPECT_NE(detail, std::nullopt);
  EXPECT_EQ(Bytes(), old_bytes_);
  EXPECT_EQ(Listing(), "TABLE08.dat");
}

TEST_F(HeldOpen, AHeldTempFileNeverSendsTheSaveInPlace) {
  const std::string temp = folder_.Join("~TABLE08.dat.sbrep-tmp");
  WriteBytes(temp, "another program's");
  std::optional<std::string> detail;
  {
    test::HoldOpen hold(temp, test::Sharing::kNone);
    ASSERT_TRUE(hold.ok());
    Injector injector({});
    detail = SaveNow();
    EXPECT_EQ(injector.Calls("open", Target::kTable), 0);
  }
  ASSERT_NE(detail, std::nullopt);
  EXPECT_NE(detail->find("(another program holds it)"), std::string::npos) << *detail;
  EXPECT_EQ(Bytes(), old_bytes_);
}

TEST_F(HeldOpen, WithReadAndWriteSharingTheTableIsRewrittenInPlace) {
  int table_opens = 0;
  {
    test::HoldOpen hold(path_, test::Sharing::kReadWrite);
    ASSERT_TRUE(hold.ok());
    Injector injector({});
    EXPECT_EQ(SaveNow(), std::nullopt);
    table_opens = injector.Calls("open", Target::kTable);
  }
  EXPECT_EQ(table_opens, 1);
  EXPECT_EQ(Bytes(), kNewBytes);
  EXPECT_EQ(Listing(), "TABLE08.dat");
}

}  // namespace
}  // namespace sbrep
