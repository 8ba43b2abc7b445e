// The crash-safe save: each step of it failing in turn, the in-place
// fallback, and real handles held open by another program.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <vector>

#include "core/error.h"
#include "host/hold_open.h"
#include "include/sbrep.h"
#include "platform/filesystem.h"
#include "support/support.h"
#include "table_file/save.h"
#include "table_file/table_lines.h"
#include "transfer_cases.h"

namespace sbrep {
namespace {

using test::ReadBytes;
using test::WriteBytes;

// The file an operation works on, told apart by name.
enum class Target { kTable, kTemp, kFolder, kOther };

enum class How {
  kFails,         // this call fails
  kKeepsFailing,  // this call and every later one fail
  kCorruptsRead,  // this read hands back one byte changed
};

// The nth call (counting from 1) of `op` on `target`. A failing write puts
// half of its bytes down first, as a full disk or a lost network drive does.
struct Fault {
  const char* op;
  Target target;
  int nth;
  How how;
  fs::Status status = fs::Status::kOther;
};

// Installs fakes over the platform's file system that count every call and
// make the listed ones fail; the real table comes back on destruction.
class Injector {
 public:
  explicit Injector(std::vector<Fault> faults) : faults_(std::move(faults)) {
    current_ = this;
    saved_ = fs::FileSystem();
    fs::Ops& ops = fs::FileSystem();
    ops.stat = [](const std::string& path, fs::Attributes* out) {
      return current_->Pass("stat", TargetOf(path), [&] { return Real().stat(path, out); });
    };
    ops.open = &Open;
    ops.read = &Read;
    ops.write = &Write;
    ops.seek = [](fs::Handle h, std::uint64_t offset) {
      return current_->Pass("seek", current_->Of(h), [&] { return Real().seek(h, offset); });
    };
    ops.truncate = [](fs::Handle h, std::uint64_t size) {
      return current_->Pass("truncate", current_->Of(h), [&] { return Real().truncate(h, size); });
    };
    ops.flush = [](fs::Handle h) {
      return current_->Pass("flush", current_->Of(h), [&] { return Real().flush(h); });
    };
    ops.close = [](fs::Handle h) {
      // The handle is closed even when the call reports failure.
      const fs::Outcome real = Real().close(h);
      return current_->Hit("close", current_->Of(h)).value_or(real);
    };
    ops.replace = [](const std::string& from, const std::string& to) {
      return current_->Pass("replace", TargetOf(from), [&] { return Real().replace(from, to); });
    };
    ops.remove = [](const std::string& path) {
      return current_->Pass("remove", TargetOf(path), [&] { return Real().remove(path); });
    };
    ops.set_attributes = [](const std::string& path, std::uint32_t native) {
      return current_->Pass("set_attributes", TargetOf(path),
                            [&] { return Real().set_attributes(path, native); });
    };
    ops.sync_folder = [](const std::string& folder) {
      return current_->Pass("sync_folder", Target::kFolder,
                            [&] { return Real().sync_folder(folder); });
    };
    ops.sleep_ms = [](unsigned ms) {
      ++current_->sleeps;
      current_->slept_ms += ms;
    };
  }

  ~Injector() {
    fs::FileSystem() = saved_;
    current_ = nullptr;
  }

  int Calls(const std::string& op, Target target) const {
    const auto it = calls_.find({op, target});
    return it == calls_.end() ? 0 : it->second;
  }

  int sleeps = 0;
  unsigned slept_ms = 0;

 private:
  static const fs::Ops& Real() { return fs::PlatformFileSystem(); }

  static Target TargetOf(const std::string& path) {
    const std::string name = fs::NameOf(path);
    if (name.empty()) return Target::kFolder;
    if (name[0] == '~') return Target::kTemp;
    return name.rfind("TABLE", 0) == 0 ? Target::kTable : Target::kOther;
  }

  Target Of(fs::Handle handle) const {
    const auto it = handles_.find(handle);
    return it == handles_.end() ? Target::kOther : it->second;
  }

  const Fault* Match(const std::string& op, Target target) {
    const int n = ++calls_[{op, target}];
    for (const auto& fault : faults_) {
      if (op != fault.op || target != fault.target) continue;
      if (n == fault.nth || (fault.how == How::kKeepsFailing && n > fault.nth)) return &fault;
    }
    return nullptr;
  }

  // The fault's outcome, or the real call's: the real call never runs when a
  // fault hits.
  template <typename Call>
  fs::Outcome Pass(const std::string& op, Target target, Call&& call) {
    if (auto failed = Hit(op, target)) return *failed;
    return call();
  }

  std::optional<fs::Outcome> Hit(const std::string& op, Target target) {
    const Fault* fault = Match(op, target);
    if (fault == nullptr) return std::nullopt;
    return fs::Outcome{fault->status, 9999};
  }

  static fs::Outcome Open(const std::string& path, fs::OpenMode mode, fs::Handle* out) {
    if (auto failed = current_->Hit("open", TargetOf(path))) return *failed;
    const fs::Outcome outcome = Real().open(path, mode, out);
    if (outcome.ok()) current_->handles_[*out] = TargetOf(path);
    return outcome;
  }

  static fs::Outcome Read(fs::Handle h, void* buffer, std::size_t size, std::size_t* got) {
    const Fault* fault = current_->Match("read", current_->Of(h));
    if (fault == nullptr || fault->how != How::kCorruptsRead) {
      if (fault != nullptr) return {fault->status, 9999};
      return Real().read(h, buffer, size, got);
    }
    const fs::Outcome outcome = Real().read(h, buffer, size, got);
    if (outcome.ok() && *got > 0) static_cast<char*>(buffer)[*got / 2] ^= 0x20;
    return outcome;
  }

  static fs::Outcome Write(fs::Handle h, const void* data, std::size_t size) {
    const Fault* fault = current_->Match("write", current_->Of(h));
    if (fault == nullptr) return Real().write(h, data, size);
    Real().write(h, data, size / 2);
    return {fault->status, 9999};
  }

  static Injector* current_;
  std::vector<Fault> faults_;
  fs::Ops saved_;
  std::map<std::pair<std::string, Target>, int> calls_;
  std::map<fs::Handle, Target> handles_;
};

Injector* Injector::current_ = nullptr;

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
  kReplaced,  // through the temp file
  kInPlace,   // rewritten through a shared handle
  kFails,     // the old bytes stay
  kDamaged,   // the restore failed too: only the detail says so
};

TEST_F(Save, EachStepFailingLeavesTheTableWholeAndNoTempFile) {
  using fs::Status;
  const Fault rename_refused = {"replace", Target::kTemp, 1, How::kKeepsFailing,
                                Status::kAccessDenied};
  const struct {
    const char* what;
    std::vector<Fault> faults;
    Outcome outcome;
    const char* detail;  // the start of the failure's detail
  } cases[] = {
      {"nothing fails", {}, Outcome::kReplaced, nullptr},
      {"the table cannot be checked",
       {{"stat", Target::kTable, 1, How::kFails}},
       Outcome::kFails,
       "cannot save TABLE08.dat: check table file: error (9999)"},
      {"no right to create files in the folder",
       {{"open", Target::kTemp, 1, How::kFails, Status::kAccessDenied}},
       Outcome::kInPlace,
       nullptr},
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
      {"a scanner holds the table for a moment",
       {{"replace", Target::kTemp, 1, How::kFails, Status::kSharingViolation},
        {"replace", Target::kTemp, 2, How::kFails, Status::kAccessDenied}},
       Outcome::kReplaced,
       nullptr},
      {"the rename keeps being refused", {rename_refused}, Outcome::kInPlace, nullptr},
      {"the rename fails for good",
       {{"replace", Target::kTemp, 1, How::kFails}},
       Outcome::kInPlace,
       nullptr},
      {"the folder will not sync",
       {{"sync_folder", Target::kFolder, 1, How::kFails}},
       Outcome::kReplaced,
       nullptr},
      {"in place: the table cannot be opened for writing",
       {rename_refused, {"open", Target::kTable, 1, How::kFails, Status::kSharingViolation}},
       Outcome::kFails,
       "cannot save TABLE08.dat: replace table file: access denied (9999); open table file for "
       "writing: in use by another program (9999)"},
      {"in place: the old bytes cannot be read",
       {rename_refused, {"read", Target::kTable, 1, How::kFails}},
       Outcome::kFails,
       nullptr},
      {"in place: the write is cut off",
       {rename_refused, {"write", Target::kTable, 1, How::kFails}},
       Outcome::kFails,
       nullptr},
      {"in place: the table cannot be truncated",
       {rename_refused, {"truncate", Target::kTable, 1, How::kFails}},
       Outcome::kFails,
       nullptr},
      {"in place: the table will not flush",
       {rename_refused, {"flush", Target::kTable, 1, How::kFails}},
       Outcome::kFails,
       nullptr},
      {"in place: the read-back fails",
       {rename_refused, {"read", Target::kTable, 3, How::kFails}},
       Outcome::kFails,
       nullptr},
      {"in place: the read-back differs",
       {rename_refused, {"read", Target::kTable, 3, How::kCorruptsRead}},
       Outcome::kFails,
       nullptr},
      {"in place: the restore fails too",
       {rename_refused, {"write", Target::kTable, 1, How::kKeepsFailing}},
       Outcome::kDamaged,
       nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteBytes(path_, old_bytes_);
    std::optional<std::string> detail;
    int table_opens = 0;
    {
      Injector injector(c.faults);
      detail = SaveNow();
      table_opens = injector.Calls("open", Target::kTable);
      EXPECT_LE(injector.slept_ms, 1000u);
    }
    EXPECT_EQ(Listing(), "TABLE08.dat");
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
      case Outcome::kDamaged:
        ASSERT_NE(detail, std::nullopt);
        EXPECT_NE(detail->find("the file may be damaged"), std::string::npos) << *detail;
        break;
    }
  }
}

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
