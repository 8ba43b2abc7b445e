// Memory that runs out anywhere in a call is the machine's fault, never the
// export's: every allocation of the library's own code and of libxml2 is
// made to fail in turn, the nth in the nth run, until a run makes fewer than
// n. Each failing run must give -1 and "数据处理失败" with a detail that says
// so, and leave the table as it was.
#include <libxml/xmlmemory.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "core/messages.h"
#include "harness/process.h"
#include "platform/filesystem.h"
#include "transfer/call_log.h"
#include "transfer_cases.h"

namespace {

// The allocation that is to fail, counted down from n; below zero nothing
// fails. Only the code under test runs while it counts.
long g_countdown = -1;
bool g_failed = false;

bool FailNow() {
  if (g_countdown < 0) return false;
  if (g_countdown-- > 0) return false;
  g_failed = true;
  return true;
}

void* Allocate(std::size_t size) { return FailNow() ? nullptr : std::malloc(size ? size : 1); }

void* HookMalloc(std::size_t size) { return Allocate(size); }
void* HookRealloc(void* p, std::size_t size) {
  return FailNow() ? nullptr : std::realloc(p, size ? size : 1);
}
char* HookStrdup(const char* text) {
  const std::size_t size = std::strlen(text) + 1;
  char* copy = static_cast<char*>(Allocate(size));
  if (copy != nullptr) std::memcpy(copy, text, size);
  return copy;
}
void HookFree(void* p) { std::free(p); }

}  // namespace

void* operator new(std::size_t size) {
  if (void* p = Allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace sbrep {
namespace {

using test::FilingClient;

class OutOfMemory : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(xmlMemSetup(HookFree, HookMalloc, HookRealloc, HookStrdup), 0);
  }

  // Runs the transfer with the nth allocation failing, for n = 0, 1, 2, ...
  // until one runs through; returns how many runs failed. A run whose
  // failed allocation was one the code can do without must file the same
  // table as a run with none.
  static int FailEachAllocation(TableKind kind, const std::string& xml, const std::string& table) {
    const std::string before = test::ReadBytes(table);
    const std::string host_path = test::CallerPath(xml);
    {
      const TransferOutcome clean = TransferTable(EntryOf(kind), host_path.c_str());
      EXPECT_EQ(clean.result, 0) << (clean.error ? clean.error->detail() : std::string());
    }
    const std::string filed = test::ReadBytes(table);
    test::WriteBytes(table, before);
    int failures = 0;
    for (long n = 0;; ++n) {
      g_failed = false;
      g_countdown = n;
      const TransferOutcome outcome = TransferTable(EntryOf(kind), host_path.c_str());
      g_countdown = -1;
      if (!g_failed) {
        EXPECT_EQ(outcome.result, 0)
            << "with no allocation failing: " << (outcome.error ? outcome.error->detail() : "");
        break;
      }
      SCOPED_TRACE("allocation " + std::to_string(n));
      if (outcome.result == 0) {
        EXPECT_EQ(test::ReadBytes(table), filed) << "filed something else, at allocation " << n;
        test::WriteBytes(table, before);
        continue;
      }
      ++failures;
      EXPECT_EQ(outcome.result, -1);
      EXPECT_EQ(outcome.message, Message::kProcessingFailed);
      if (outcome.error) {
        EXPECT_EQ(outcome.error->fault(), Fault::kMachine) << outcome.error->detail();
        EXPECT_NE(outcome.error->detail().find("memory"), std::string::npos)
            << outcome.error->detail();
      }
      EXPECT_EQ(test::ReadBytes(table), before) << "the table changed";
      if (::testing::Test::HasFailure()) break;
      test::WriteBytes(table, before);
    }
    return failures;
  }
};

TEST_F(OutOfMemory, EveryAllocationOfEveryKind) {
  struct Case {
    TableKind kind;
    const char* table;
    const char* xml;
  };
  const Case cases[] = {
      {TableKind::kBalanceSheet, "TABLE08.dat", "transfer/balance-sheet.xml"},
      {TableKind::kIncomeStatement, "TABLE09.dat", "transfer/income-statement.xml"},
      {TableKind::kVatScheduleOne, "TABLE02.dat", "transfer/vat-worked-example.xml"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.xml);
    FilingClient client;
    client.PutTable(c.table, test::ReadData(std::string("transfer/") + c.table));
    const int failures =
        FailEachAllocation(c.kind, test::DataPath(c.xml), client.TablePath(c.table));
    EXPECT_GT(failures, 100) << "too few allocations to say anything";
    if (HasFailure()) return;
  }
}

// Where the client holds the table so that no rename can replace it, the
// table is rewritten in place under a journal: a failure there too must
// leave it as it was.
TEST_F(OutOfMemory, TheRewriteInPlace) {
  FilingClient client;
  client.PutTable("TABLE09.dat", test::ReadData("transfer/TABLE09.dat"));
  fs::Ops& ops = fs::FileSystem();
  const fs::Ops saved = ops;
  ops.replace = [](const std::string&, const std::string&) noexcept {
    return fs::Outcome{fs::Status::kSharingViolation, 32};
  };
  ops.sleep_ms = [](unsigned) noexcept {};
  const int failures = FailEachAllocation(TableKind::kIncomeStatement,
                                          test::DataPath("transfer/income-statement.xml"),
                                          client.TablePath("TABLE09.dat"));
  ops = saved;
  EXPECT_GT(failures, 100);
}

// A GBK export goes through the code-page converter as well.
TEST_F(OutOfMemory, AGbkExport) {
  FilingClient client;
  client.PutTable("TABLE02.dat", test::ReadData("transfer/TABLE02.dat"));
  const std::string path = client.scratch().Join("gbk.xml");
  test::WriteBytes(path,
                   "<?xml version=\"1.0\" encoding=\"GBK\"?>\n<SB_KPJK><SB_KPJK_FPXX><SB_KPJK_FPMX>"
                   "<GFMC>\xB1\xB1\xBE\xA9</GFMC><InvKind>0</InvKind><TaxRate>17</TaxRate>"
                   "<Amount>1</Amount><Tax>0.17</Tax></SB_KPJK_FPMX></SB_KPJK_FPXX></SB_KPJK>");
  EXPECT_GT(FailEachAllocation(TableKind::kVatScheduleOne, path, client.TablePath("TABLE02.dat")),
            50);
}

// Memory that runs out while a call's log line is made loses the line and
// nothing else: the log holds the whole line or none of it.
TEST_F(OutOfMemory, WhileTheLogLineIsMade) {
  FilingClient client;
  client.PutTable("TABLE08.dat", test::ReadData("transfer/TABLE08.dat"));
  test::EnvironmentVariable local("LOCALAPPDATA", client.scratch().path());
  test::EnvironmentVariable state("XDG_STATE_HOME", client.scratch().Join("state"));
  const std::string missing = test::CallerPath(client.scratch().Join("missing.xml"));
  const KindEntry& kind = EntryOf(TableKind::kBalanceSheet);
  long n = 0;
  for (;; ++n) {
    SCOPED_TRACE("allocation " + std::to_string(n));
    const std::string before = test::ReadBytes(CallLogPath(*CallLogFolder()));
    g_failed = false;
    g_countdown = n;
    CallLog log(kind);
    // The transfer itself is not what fails here.
    const long left = g_countdown;
    g_countdown = -1;
    TransferOptions options;
    options.facts = log.facts();
    const TransferOutcome outcome = TransferTable(kind, missing.c_str(), {}, options);
    ASSERT_EQ(outcome.result, -1);
    g_countdown = left;
    log.Finish(outcome);
    g_countdown = -1;
    const std::string after = test::ReadBytes(CallLogPath(*CallLogFolder()));
    if (!g_failed) {
      EXPECT_GT(after.size(), before.size()) << "with no allocation failing";
      break;
    }
    if (after == before) continue;
    EXPECT_EQ(after.compare(0, before.size(), before), 0);
    EXPECT_EQ(after.find('\n', before.size()), after.size() - 1) << after.substr(before.size());
    EXPECT_NE(after.find("\"duration_ms\":", before.size()), std::string::npos);
    if (HasFailure()) break;
  }
  EXPECT_GT(n, 10) << "too few allocations to say anything";
}

}  // namespace
}  // namespace sbrep
