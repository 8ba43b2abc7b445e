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
  options.before_save = [&](const Preparation& p) {
    seen = p.new_lines.lines();
    EXPECT_EQ(Table("TABLE09.dat"), before);
    throw std::runtime_error("no room for the backup");
  };
  const TransferOutcome stopped = Run(options);
  EXPECT_EQ(stopped.result, -1);
  EXPECT_EQ(stopped.message, Message::kProcessingFailed);
  ASSERT_TRUE(stopped.error.has_value());
  EXPECT_EQ(stopped.error->fault(), Fault::kMachine);
  EXPECT_EQ(stopped.error->detail(), "no room for the backup");
  EXPECT_EQ(Table("TABLE09.dat"), before);
  EXPECT_EQ(seen, Lines(ReadData("transfer/TABLE09-filed.dat")));

  options.before_save = [](const Preparation&) {};
  EXPECT_EQ(Run(options).result, 0);
  EXPECT_EQ(Table("TABLE09.dat"), ReadData("transfer/TABLE09-filed.dat"));
}

}  // namespace
}  // namespace sbrep::test
