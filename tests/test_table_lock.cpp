// One transfer of a table at a time: a second one waits for the first, for
// a bounded time, and then fails without touching the table.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core/error.h"
#include "harness/file_identity.h"
#include "include/sbrep.h"
#include "support/injector.h"
#include "support/support.h"
#include "table_file/table_lock.h"
#include "transfer_cases.h"

namespace sbrep {
namespace {

using test::Injector;

// Holds the table's lock on a thread of its own, as another process would:
// a Windows mutex is its owning thread's again for the asking.
class Holder {
 public:
  Holder(const std::string& path, std::chrono::milliseconds hold) {
    thread_ = std::thread([this, path, hold] {
      TableLock lock = LockTable(path);
      taken_ = true;
      std::this_thread::sleep_for(hold);
    });
    while (!taken_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~Holder() { thread_.join(); }
  Holder(const Holder&) = delete;
  Holder& operator=(const Holder&) = delete;

 private:
  std::atomic<bool> taken_{false};
  std::thread thread_;
};

class Lock : public ::testing::Test {
 protected:
  void SetUp() override { test::WriteBytes(path_, "[TABLE08]\r\n"); }
  test::ScratchFolder folder_;
  const std::string path_ = folder_.Join("TABLE08.dat");
};

TEST_F(Lock, ASecondTransferWaitsForTheFirst) {
  const auto start = std::chrono::steady_clock::now();
  {
    Holder holder(path_, std::chrono::milliseconds(300));
    const TableLock lock = LockTable(path_);
    EXPECT_TRUE(lock.held());
  }
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
  // Let go, and nothing left behind: the next one takes it at once.
  { const TableLock again = LockTable(path_); }
  EXPECT_EQ(test::ListFolder(folder_.path()), "TABLE08.dat");
}

TEST_F(Lock, OneHeldTooLongFailsTheCallAndLeavesTheTable) {
  test::FilingClient client;
  const std::string old_bytes = test::ReadData("transfer/TABLE09.dat");
  client.PutTable("TABLE09.dat", old_bytes);
  const std::string xml = client.scratch().Join("syb.xml");
  test::WriteBytes(xml, test::ReadData("transfer/income-statement.xml"));
  Holder holder(client.TablePath("TABLE09.dat"), std::chrono::milliseconds(500));
  TransferOutcome outcome;
  {
    Injector injector({});
    injector.lock_wait_ms = 50;  // in place of five seconds
    outcome = TransferTable(EntryOf(TableKind::kIncomeStatement), test::CallerPath(xml).c_str());
  }
  EXPECT_EQ(outcome.result, -1);
  EXPECT_EQ(outcome.message, Message::kProcessingFailed);
  ASSERT_TRUE(outcome.error.has_value());
  EXPECT_EQ(outcome.error->detail(), "another transfer holds TABLE09.dat (waited 5 s)");
  EXPECT_EQ(test::ReadBytes(client.TablePath("TABLE09.dat")), old_bytes);
}

// One table, one lock, however its path is spelled: a second spelling must
// wait for the first.
TEST_F(Lock, EverySpellingOfTheTableSharesItsLock) {
  const test::FolderSpellings spellings(folder_.path());
  ASSERT_FALSE(spellings.all().empty());
  for (const auto& spelling : spellings.all()) {
    SCOPED_TRACE(spelling.what + ": " + spelling.folder);
    // \\?\ takes no '/'.
    const bool backslashes = spelling.folder.find('\\') != std::string::npos;
    const std::string other = spelling.folder +
                              (spelling.folder.back() == '\\' ? ""
                               : backslashes                  ? "\\"
                                                              : "/") +
                              "TABLE08.dat";
    ASSERT_EQ(test::ReadBytes(other), "[TABLE08]\r\n") << "the spelling names the table";
    Holder holder(path_, std::chrono::milliseconds(400));
    Injector injector({});
    injector.lock_wait_ms = 50;
    try {
      const TableLock lock = LockTable(other);
      ADD_FAILURE() << "taken beside the holder";
    } catch (const Error& e) {
      EXPECT_EQ(e.detail(), "another transfer holds TABLE08.dat (waited 5 s)");
    }
  }
}

}  // namespace
}  // namespace sbrep
