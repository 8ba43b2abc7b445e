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

// The tool tells an export of another kind (wrong root, missing section)
// from a broken one by the cause alone.
class ExportCause : public TransferTest {};

TEST_F(ExportCause, EachFailureOfAnExportCarriesItsCause) {
  const std::string rows = RowExport("SB_ZCFZB", NumberedItems(3));
  const std::string invoice =
      "<SB_KPJK_FPMX><InvKind>0</InvKind><TaxRate>17</TaxRate><Amount>1</Amount><Tax>1</Tax>"
      "</SB_KPJK_FPMX>";
  const std::string vat = "<SB_KPJK><SB_KPJK_FPXX>" + invoice + "</SB_KPJK_FPXX></SB_KPJK>";
  const struct {
    const char* what;
    TableKind kind;
    std::string xml;
    Cause cause;
  } cases[] = {
      {"rows: wrong root", TableKind::kBalanceSheet, vat, Cause::kWrongRoot},
      {"rows: section missing", TableKind::kIncomeStatement, rows, Cause::kMissingSection},
      {"rows: JG missing", TableKind::kBalanceSheet,
       ReplacedAll(rows, "SB_ZCFZB_JG>", "SB_ZCFZB_XX>"), Cause::kMissingPart},
      {"rows: list missing", TableKind::kBalanceSheet,
       ReplacedAll(rows, "SB_ZCFZB_MXXX>", "SB_ZCFZB_MX>"), Cause::kMissingPart},
      {"rows: JG empty", TableKind::kBalanceSheet,
       Replaced(rows, "<NSRSBH>91110105MA01ABCD2X</NSRSBH>", ""), Cause::kEmptyPart},
      {"rows: too many items", TableKind::kIncomeStatement, RowExport("SB_SYB", NumberedItems(18)),
       Cause::kTooManyItems},
      {"rows: an item short of children", TableKind::kBalanceSheet, Replaced(rows, "<A>a2</A>", ""),
       Cause::kBadItem},
      {"rows: a value outside GBK", TableKind::kBalanceSheet,
       Replaced(rows, "<B>b3</B>", "<B>\xF0\x9F\x98\x80</B>"), Cause::kBadItem},
      {"invoices: wrong root", TableKind::kVatScheduleOne, rows, Cause::kWrongRoot},
      {"invoices: list missing", TableKind::kVatScheduleOne, "<SB_KPJK><X/></SB_KPJK>",
       Cause::kMissingSection},
      {"invoices: list empty", TableKind::kVatScheduleOne, "<SB_KPJK><SB_KPJK_FPXX/></SB_KPJK>",
       Cause::kEmptyPart},
      {"invoices: a bad amount", TableKind::kVatScheduleOne,
       Replaced(vat, "<Amount>1</Amount>", "<Amount>x</Amount>"), Cause::kBadItem},
      {"not well-formed", TableKind::kVatScheduleOne, "<SB_KPJK><SB_KPJK_FPXX>", Cause::kOther},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const KindEntry& kind = EntryOf(c.kind);
    try {
      kind.read(kind, PutExport(c.xml), {});
      ADD_FAILURE() << "read without an error";
    } catch (const Error& e) {
      EXPECT_EQ(e.fault(), Fault::kExport) << e.detail();
      EXPECT_EQ(e.cause(), c.cause) << e.detail();
    }
  }
}

}  // namespace
}  // namespace sbrep::test
