// The product over a long life in one process: loaded and unloaded around
// every transfer, and called thousands of times. Handles and memory stay
// flat after a warm-up, and every failure hands back its own text. This
// program loads the library by name and links nothing of it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "harness/host.h"
#include "harness/library.h"
#include "include/sbrep.h"

namespace sbrep::test {
namespace {

// 没有导出文件或导出路径错误!
constexpr char kExportMissing[] =
    "\xc3\xbb\xd3\xd0\xb5\xbc\xb3\xf6\xce\xc4\xbc\xfe\xbb\xf2\xb5\xbc\xb3\xf6\xc2\xb7\xbe\xb6\xb4"
    "\xed\xce\xf3\x21";
// XML文件解析出错!
constexpr char kXmlParseError[] = "XML\xce\xc4\xbc\xfe\xbd\xe2\xce\xf6\xb3\xf6\xb4\xed\x21";
// 找不到增值税附表一报表文件!
constexpr char kVatScheduleOneMissing[] =
    "\xd5\xd2\xb2\xbb\xb5\xbd\xd4\xf6\xd6\xb5\xcb\xb0\xb8\xbd\xb1\xed\xd2\xbb\xb1\xa8\xb1\xed\xce"
    "\xc4\xbc\xfe\x21";

// The growth a leak-free run may still show: the heap keeps some slack, and
// the platform may open a handle of its own now and then.
constexpr std::int64_t kMemorySlack = std::int64_t{256} * 1024;
constexpr std::int64_t kHandleSlack = 2;

// `fallback`, or the count the variable asks for (scripts/soak sets them).
int Count(const char* variable, int fallback) {
  const char* text = std::getenv(variable);
  const int count = text != nullptr ? std::atoi(text) : 0;
  return count > 0 ? count : fallback;
}

// An install with the income statement, an export for it, and a broken one.
class Lifetime : public ::testing::Test {
 protected:
  void SetUp() override {
    client_.PutTable("TABLE09.dat", ReadData("transfer/TABLE09.dat"));
    good_ = client_.scratch().Join("syb.xml");
    WriteBytes(good_, ReadData("transfer/income-statement.xml"));
    broken_ = client_.scratch().Join("broken.xml");
    WriteBytes(broken_, "<DZSBB><SB_SYB>");
  }

  // The call of round i: every other one succeeds, and the failures take
  // turns among three texts, so that a stale one would show.
  void Call(SetSBRepDataFn entry, int i) {
    const struct {
      const std::string& path;
      int kind;
      const char* message;
    } rounds[] = {
        {good_, SBREP_INCOME_STATEMENT, nullptr},
        {missing_, SBREP_INCOME_STATEMENT, kExportMissing},
        {good_, SBREP_INCOME_STATEMENT, nullptr},
        {broken_, SBREP_INCOME_STATEMENT, kXmlParseError},
        {good_, SBREP_INCOME_STATEMENT, nullptr},
        {good_, SBREP_VAT_SCHEDULE_ONE, kVatScheduleOneMissing},
    };
    const auto& round = rounds[i % 6];
    const CallResult call = HostCallThrough(entry, round.path, round.kind);
    if (round.message == nullptr) {
      EXPECT_EQ(call.result, 0) << "call " << i;
      EXPECT_TRUE(call.untouched()) << "call " << i;
    } else {
      EXPECT_EQ(call.result, -1) << "call " << i;
      EXPECT_EQ(call.message(), round.message) << "call " << i;
    }
  }

  // Runs `warm_up` rounds, then `rounds` more, and expects the second lot to
  // leave handles, TLS slots and memory where the first left them.
  static void ExpectFlat(int warm_up, int rounds, const std::function<void(int)>& round) {
    int i = 0;
    for (; i < warm_up; ++i) round(i);
    const Usage before = ProcessUsage();
    for (; i < warm_up + rounds; ++i) round(i);
    const Usage after = ProcessUsage();
    EXPECT_LE(after.handles, before.handles + kHandleSlack);
    EXPECT_EQ(after.tls_slots, before.tls_slots);
    EXPECT_LE(after.memory - before.memory, kMemorySlack)
        << "from " << before.memory << " to " << after.memory << " bytes";
    RecordProperty("handles",
                   std::to_string(before.handles) + " -> " + std::to_string(after.handles));
    RecordProperty("memory", std::to_string(before.memory) + " -> " + std::to_string(after.memory));
    std::printf("handles %lld -> %lld, memory %lld -> %lld bytes, TLS index %lld -> %lld\n",
                static_cast<long long>(before.handles), static_cast<long long>(after.handles),
                static_cast<long long>(before.memory), static_cast<long long>(after.memory),
                static_cast<long long>(before.tls_slots), static_cast<long long>(after.tls_slots));
  }

  FilingClient client_;
  std::string good_;
  std::string broken_;
  std::string missing_ = client_.scratch().Join("missing.xml");
};

TEST_F(Lifetime, LoadingAndUnloadingAroundEachCallLeaksNothing) {
  ExpectFlat(20, Count("SBREP_LIFETIME_CYCLES", 300), [this](int i) {
    const Library library;
    ASSERT_NE(library.entry(), nullptr);
    Call(library.entry(), i);
  });
}

TEST_F(Lifetime, ThousandsOfCallsLeakNothingAndEachFailureHandsBackItsOwnText) {
  const Library library;
  ASSERT_NE(library.entry(), nullptr);
  ExpectFlat(60, Count("SBREP_LIFETIME_CALLS", 3000),
             [this, &library](int i) { Call(library.entry(), i); });
}

}  // namespace
}  // namespace sbrep::test
