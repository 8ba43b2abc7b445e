// The call log through the entry point: a line per call that selects a
// table, written where the profile says, and nothing about the call changed
// by a log that cannot be written.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "harness/process.h"
#include "platform/filesystem.h"
#include "platform/registry.h"
#include "support/support.h"
#include "transfer/call_log.h"

namespace sbrep {
namespace {

using test::CallResult;
using test::EnvironmentVariable;
using test::FilingClient;

const char kBadAmount[] = "1,200.00";

// A client with the VAT table and two exports beside it: one that files and
// one whose amount is no number. The profile is a scratch folder of its own.
class CallLogTest : public ::testing::Test {
 protected:
  CallLogTest()
      : profile_(client_.scratch().Join("profile")),
        local_("LOCALAPPDATA", profile_),
        state_("XDG_STATE_HOME", client_.scratch().Join("profile/state")),
        home_("HOME", profile_),
        switch_("SBREP_LOG", "") {
    client_.PutTable("TABLE02.dat", test::ReadData("transfer/TABLE02.dat"));
    const std::string good = test::ReadData("transfer/vat-worked-example.xml");
    test::WriteBytes(Export(true), good);
    const auto at = good.find("<Amount>");
    std::string bad = good;
    bad.replace(at + 8, bad.find("</Amount>", at) - at - 8, kBadAmount);
    test::WriteBytes(Export(false), bad);
  }

  std::string Export(bool good) {
    return client_.scratch().Join(good ? "exports/good.xml" : "exports/bad.xml");
  }
  static std::string LogFolder() { return *CallLogFolder(); }
  static std::string LogBytes() { return test::ReadBytes(CallLogPath(LogFolder())); }

  // What a call leaves: its result and buffer, the table, and every file of
  // the install and beside the export.
  struct Effects {
    CallResult call;
    std::string table;
    std::string files;
  };
  Effects Call(bool good) {
    Effects e;
    const std::string before = test::ReadBytes(client_.TablePath("TABLE02.dat"));
    e.call = test::CallSetSBRepData(Export(good), SBREP_VAT_SCHEDULE_ONE);
    e.table = test::ReadBytes(client_.TablePath("TABLE02.dat"));
    e.files = test::ListFolder(fs::FolderOf(client_.TablePath("TABLE02.dat"))) + "|" +
              test::ListFolder(client_.scratch().Join("exports"));
    test::WriteBytes(client_.TablePath("TABLE02.dat"), before);
    return e;
  }

  FilingClient client_;
  std::string profile_;
  EnvironmentVariable local_;
  EnvironmentVariable state_;
  EnvironmentVariable home_;
  EnvironmentVariable switch_;
};

TEST_F(CallLogTest, AFailedCallLeavesALineThatNamesTheFault) {
  test::MakeFolder(profile_);
  const Effects e = Call(false);
  ASSERT_EQ(e.call.result, -1);
  const std::string log = LogBytes();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.find('\n'), log.size() - 1) << "one line per call";
  for (const std::string& part :
       {std::string("\"result\":-1"), std::string("\"kind\":3"),
        std::string("\"fault\":\"export\""), std::string(kBadAmount),
        std::string("XML\xE6\x96\x87\xE4\xBB\xB6"),
        std::string("\"export_size\":") + std::to_string(test::ReadBytes(Export(false)).size())}) {
    EXPECT_NE(log.find(part), std::string::npos) << part << " in " << log;
  }
  Call(true);
  const std::string both = LogBytes();
  EXPECT_EQ(both.compare(0, log.size(), log), 0);
  EXPECT_NE(both.find("\"result\":0", log.size()), std::string::npos) << "the next call's line";
}

// Each way the log can be out of reach, with the call as it is without a log.
struct Obstacle {
  const char* name;
  // Makes what stands in the way in the profile folder; null: an empty one.
  std::function<void(const std::string& profile)> set_up;
  fs::Status append = fs::Status::kOk;  // what the log's append gives, when it fails
  bool cut_short = false;               // the append puts half of the line down first
  fs::Status create_folder = fs::Status::kOk;
};

void PrintTo(const Obstacle& o, std::ostream* out) { *out << o.name; }

class CallLogObstacle : public CallLogTest, public ::testing::WithParamInterface<Obstacle> {};

TEST_P(CallLogObstacle, ChangesNothingAboutTheCall) {
  const Obstacle& o = GetParam();
  Effects without[2];
  {
    EnvironmentVariable off("SBREP_LOG", "0");
    without[0] = Call(false);
    without[1] = Call(true);
  }
  ASSERT_EQ(without[0].call.result, -1);
  ASSERT_EQ(without[1].call.result, 0);
  const bool profile = std::string(o.name) != "NoProfileFolder";
  if (profile) test::MakeFolder(profile_);
  if (o.set_up) o.set_up(profile_);
  static const Obstacle* current;
  current = &o;
  fs::Ops& ops = fs::FileSystem();
  const fs::Ops saved = ops;
  ops.append = [](const std::string& path, const void* data, std::size_t size) noexcept {
    if (current->append == fs::Status::kOk)
      return fs::PlatformFileSystem().append(path, data, size);
    if (current->cut_short) fs::PlatformFileSystem().append(path, data, size / 2);
    return fs::Outcome{current->append, 9999};
  };
  ops.create_folder = [](const std::string& path) noexcept {
    if (current->create_folder == fs::Status::kOk)
      return fs::PlatformFileSystem().create_folder(path);
    return fs::Outcome{current->create_folder, 9999};
  };
  const Effects with[2] = {Call(false), Call(true)};
  ops = saved;
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i == 0 ? "the failing call" : "the call that files");
    EXPECT_EQ(with[i].call.result, without[i].call.result);
    EXPECT_EQ(with[i].call.buffer, without[i].call.buffer);
    EXPECT_EQ(with[i].table, without[i].table);
    EXPECT_EQ(with[i].files, without[i].files);
  }
  EXPECT_EQ(test::Exists(profile_), profile) << "a profile folder is never made";
}

INSTANTIATE_TEST_SUITE_P(
    , CallLogObstacle,
    ::testing::Values(Obstacle{"NoProfileFolder", nullptr},
                      Obstacle{"AFileWhereTheFolderGoes",
                               [](const std::string& profile) {
                                 test::WriteBytes(profile + "/sbrep", "x");
                                 test::WriteBytes(profile + "/state", "x");
                                 test::MakeFolder(profile + "/.local");
                                 test::WriteBytes(profile + "/.local/state", "x");
                               }},
                      Obstacle{"AFullDisk", nullptr, fs::Status::kOther, true},
                      Obstacle{"AccessDenied", nullptr, fs::Status::kAccessDenied, false,
                               fs::Status::kAccessDenied},
                      Obstacle{"HeldByAnotherProgram", nullptr, fs::Status::kSharingViolation}),
    [](const auto& info) { return std::string(info.param.name); });

// Calls that write no line: a kind that selects nothing, and the two switches.
TEST_F(CallLogTest, TheOffSwitchesAndAKindOfNothingWriteNothing) {
  test::MakeFolder(profile_);
  EXPECT_EQ(test::CallSetSBRepData(Export(true), 4).result, 0);
  {
    EnvironmentVariable off("SBREP_LOG", "0");
    Call(false);
  }
  ASSERT_TRUE(registry::WriteUserDword(kCallLogKey, kCallLogValue, 0));
  Call(false);
  ASSERT_TRUE(registry::WriteUserDword(kCallLogKey, kCallLogValue, 1));
  EXPECT_FALSE(test::Exists(CallLogPath(LogFolder())));
  EXPECT_EQ(Call(true).call.result, 0) << "the switch keeps the install's value";
  EXPECT_TRUE(test::Exists(CallLogPath(LogFolder()))) << "on again";
}

// Past 1 MiB the log turns over: the older half is replaced, never both kept
// beyond 2 MiB.
TEST_F(CallLogTest, AFullLogBecomesTheOlderOne) {
  test::MakeFolder(profile_);
  Call(false);
  const std::string line = LogBytes();
  const std::string full(kCallLogLimit - line.size() / 2, 'x');
  test::WriteBytes(OlderCallLogPath(LogFolder()), "oldest");
  test::WriteBytes(CallLogPath(LogFolder()), full);
  Call(false);
  EXPECT_EQ(test::ReadBytes(OlderCallLogPath(LogFolder())), full);
  const std::string fresh = LogBytes();
  EXPECT_EQ(fresh.find('\n'), fresh.size() - 1) << "one line: " << fresh.substr(0, 80);
  EXPECT_EQ(fresh.rfind("{\"time\":", 0), 0u);
}

}  // namespace
}  // namespace sbrep
