// The frame of a transfer as the tool drives it: an install folder of its
// own choosing, and a step between the file stage and the save.
#include <gtest/gtest.h>

#include <stdexcept>

#include "transfer_cases.h"

namespace sbrep::test {
namespace {

class Transfer : public TransferTest {
 protected:
  void SetUp() override { PutTable("TABLE09.dat", ReadData("transfer/TABLE09.dat")); }

  TransferOutcome Run(const TransferOptions& options) {
    const std::string xml = PutExport(ReadData("transfer/income-statement.xml"));
    return TransferTable(EntryOf(TableKind::kIncomeStatement), CallerPath(xml).c_str(), {},
                         options);
  }
};

TEST_F(Transfer, TakesTheGivenInstallFolderInsteadOfTheRegistry) {
  client_.registry().Remove();
  EXPECT_EQ(Run({}).message, Message::kNotInstalled);
  TransferOptions options;
  options.client_folder = client_.folder();
  EXPECT_EQ(Run(options).result, 0);
  EXPECT_EQ(Table("TABLE09.dat"), ReadData("transfer/TABLE09-filed.dat"));
}

TEST_F(Transfer, TheStepBeforeTheSaveSeesWhatWillBeSavedAndCanStopIt) {
  const std::string before = Table("TABLE09.dat");
  std::vector<std::string> seen;
  TransferOptions options;
  options.before_save = [&](const Preparation& p) -> Verdict {
    seen = p.new_lines.lines();
    EXPECT_EQ(Table("TABLE09.dat"), before);
    throw std::runtime_error("no room for the backup");
  };
  const auto expect_stopped = [&](const std::string& detail) {
    const TransferOutcome stopped = Run(options);
    EXPECT_EQ(stopped.result, -1);
    EXPECT_EQ(stopped.message, Message::kProcessingFailed);
    ASSERT_TRUE(stopped.error.has_value());
    EXPECT_EQ(stopped.error->fault(), Fault::kMachine);
    EXPECT_EQ(stopped.error->detail(), detail);
    EXPECT_EQ(Table("TABLE09.dat"), before);
  };
  expect_stopped("no room for the backup");
  EXPECT_EQ(seen, Lines(ReadData("transfer/TABLE09-filed.dat")));

  // A stop ends it as a throw does, with the reason the step gave.
  const std::string reason = "stopped by a warning";
  options.before_save = [](const Preparation&) { return Verdict::kStop; };
  options.stop_reason = &reason;
  expect_stopped(reason);

  options.before_save = [](const Preparation&) { return Verdict::kSave; };
  EXPECT_EQ(Run(options).result, 0);
  EXPECT_EQ(Table("TABLE09.dat"), ReadData("transfer/TABLE09-filed.dat"));
}

}  // namespace
}  // namespace sbrep::test
