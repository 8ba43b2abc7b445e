// Kind 3 end to end: invoices totalled by kind and rate into four lines of
// TABLE02.dat, every other line kept in place.
#include <gtest/gtest.h>

#include <variant>

#include "transfer/transfer.h"
#include "transfer_cases.h"
#include "xml/text_value.h"

namespace sbrep::test {
namespace {

constexpr int kKind = 3;
constexpr const char kTable[] = "TABLE02.dat";
constexpr const char kZeros[] = "L01:1,0.00,0.00,0.00,0.00,0.00,0.00,0,0.00,0.00,0,0.00,0.00,";

// Field texts of one invoice; nullptr leaves the element out.
struct Invoice {
  const char* kind;
  const char* rate;
  const char* amount;
  const char* tax;
  const char* waste;
};

std::string Field(const char* name, const char* text) {
  if (text == nullptr) return "";
  return std::string("<") + name + ">" + text + "</" + name + ">";
}

std::string VatExport(const std::vector<Invoice>& invoices) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SB_KPJK>\n  <SB_KPJK_FPXX>\n";
  for (const auto& i : invoices) {
    xml += "    <SB_KPJK_FPMX><FPHM>00001021</FPHM><GFMC>天津物美商贸有限公司</GFMC>" +
           Field("InvKind", i.kind) + Field("TaxRate", i.rate) + Field("Amount", i.amount) +
           Field("Tax", i.tax) + Field("Waste", i.waste) + "</SB_KPJK_FPMX>\n";
  }
  return xml + "  </SB_KPJK_FPXX>\n</SB_KPJK>\n";
}

std::string TotalsLine(const std::string& six) {
  return "L01:1," + six + ",0,0.00,0.00,0,0.00,0.00,";
}

class VatScheduleOne : public TransferTest {
 protected:
  void SetUp() override { PutTable(kTable, ReadData("transfer/TABLE02.dat")); }
};

TEST_F(VatScheduleOne, ReproducesTheWorkedExample) {
  const std::string xml = PutExport(ReadData("transfer/vat-worked-example.xml"), "发票.xml");
  const auto lines = ExpectSuccess(xml, kKind, kTable);
  EXPECT_EQ(Table(kTable), ReadData("transfer/TABLE02-worked-example.dat"));
  ASSERT_EQ(lines.size(), 15u);
  EXPECT_EQ(lines[2], "L01:1,2.00,1200.50,204.09,0.00,0.00,0.00,0,0.00,0.00,0,0.00,0.00,");
  EXPECT_EQ(lines[4], "L01:1,0.00,0.00,0.00,1.00,100.00,13.00,0,0.00,0.00,0,0.00,0.00,");
  EXPECT_EQ(lines[9], "L01:1,0.00,0.00,0.00,0.00,0.00,0.00,0,0.00,0.00,0,0.00,0.00,");
  EXPECT_EQ(lines[11], "L01:1,0.00,0.00,0.00,1.00,-20.00,-0.80,0,0.00,0.00,0,0.00,0.00,");
}

// Lines 3, 5, 10 and 12 for invoice lists that file.
TEST_F(VatScheduleOne, TotalsByKindAndRate) {
  const std::string one = TotalsLine("1.00,10.00,1.70,0.00,0.00,0.00");
  const struct {
    const char* what;
    std::vector<Invoice> invoices;
    std::string lines[4];
  } cases[] = {
      {"Waste ' 1 ' voids; '01', 'Y', '' and none count",
       {{"0", "17", "10", "1.7", " 1 "},
        {"0", "17", "10", "1.7", "01"},
        {"0", "17", "10", "1.7", "Y"},
        {"0", "17", "10", "1.7", ""},
        {"0", "17", "10", "1.7", nullptr},
        {"0", "17", "10", "1.7", "\t1\n"}},
       {TotalsLine("4.00,40.00,6.80,0.00,0.00,0.00"), kZeros, kZeros, kZeros}},
      {"a voided invoice is not read further",
       {{"x", "17%", "1,200.00", nullptr, "1"}, {"0", "17", "10", "1.7", "0"}},
       {one, kZeros, kZeros, kZeros}},
      {"all voided",
       {{"0", "17", "10", "1.7", "1"}, {"2", "4", "1", "1", "1"}},
       {kZeros, kZeros, kZeros, kZeros}},
      {"kind 1 and rates outside 17, 13, 6 and 4 leave no trace",
       {{"1", "17", "50", "8.5", ""},
        {"0", "3", "10", "0.3", ""},
        {"0", "0", "10", "0", ""},
        {"7", "5", "10", "0.5", ""},
        {"-1", "11", "10", "1.1", ""}},
       {kZeros, kZeros, kZeros, kZeros}},
      {"every rate group of kinds 0 and 2",
       {{"0", "17", "1", "0.17", ""},
        {"0", "13", "2", "0.26", ""},
        {"0", "6", "3", "0.18", ""},
        {"0", "4", "4", "0.16", ""},
        {"2", "17", "5", "0.85", ""},
        {"2", "13", "6", "0.78", ""},
        {"2", "6", "7", "0.42", ""},
        {"+2", " 4 ", "+8", "3.2e-1", ""}},
       {TotalsLine("1.00,1.00,0.17,1.00,2.00,0.26"), TotalsLine("1.00,5.00,0.85,1.00,6.00,0.78"),
        TotalsLine("1.00,3.00,0.18,1.00,4.00,0.16"), TotalsLine("1.00,7.00,0.42,1.00,8.00,0.32")}},
      {"negative totals and three invoices",
       {{"2", "4", "-20", "-0.8", ""}, {"2", "4", "-5.5", "-0.22", ""}, {"2", "4", "1", ".5", ""}},
       {kZeros, kZeros, kZeros, TotalsLine("0.00,0.00,0.00,3.00,-24.50,-0.52")}},
      {"half cents round away from zero",
       {{"0", "17", "1.005", "2.675", ""}, {"0", "13", "-0.125", "-0.001", ""}},
       {TotalsLine("1.00,1.01,2.68,1.00,-0.13,0.00"), kZeros, kZeros, kZeros}},
      {"large totals in full",
       {{"0", "6", "123456789012.34", "1e3", ""}, {"0", "6", "0.1", "5.", ""}},
       {kZeros, kZeros, TotalsLine("2.00,123456789012.44,1005.00,0.00,0.00,0.00"), kZeros}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PutTable(kTable, ReadData("transfer/TABLE02.dat"));
    const auto old_lines = Lines(ReadData("transfer/TABLE02.dat"));
    const auto lines = ExpectSuccess(PutExport(VatExport(c.invoices)), kKind, kTable);
    ASSERT_EQ(lines.size(), old_lines.size());
    const std::size_t patched[] = {2, 4, 9, 11};
    for (std::size_t i = 0, p = 0; i < lines.size(); ++i) {
      if (p < 4 && patched[p] == i) {
        EXPECT_EQ(lines[i], c.lines[p++]) << "line " << i + 1;
      } else {
        EXPECT_EQ(lines[i], old_lines[i]) << "line " << i + 1;
      }
    }
  }
}

TEST_F(VatScheduleOne, ExportFaultsFailWithTheXmlMessage) {
  const Invoice good = {"0", "17", "10", "1.7", ""};
  const struct {
    const char* what;
    std::string xml;
  } cases[] = {
      {"no invoices", VatExport({})},
      {"no invoice list", ReplacedAll(VatExport({good}), "SB_KPJK_FPXX>", "SB_KPJK_FP>")},
      {"a balance-sheet export", ReadData("transfer/balance-sheet.xml")},
      {"SB_KPJK below the root", Replaced(Replaced(VatExport({good}), "<SB_KPJK>", "<R><SB_KPJK>"),
                                          "</SB_KPJK>", "</SB_KPJK></R>")},
      {"root in the wrong case", ReplacedAll(VatExport({good}), "SB_KPJK>", "sb_kpjk>")},
      {"kind 3 at 17 %", VatExport({good, {"3", "17", "10", "1.7", ""}})},
      {"kind -1 at 4 %", VatExport({{"-1", "4", "10", "0.4", ""}})},
      {"kind 1 with an amount that does not convert", VatExport({{"1", "17", "abc", "1", ""}})},
      {"ignored rate with a tax that does not convert", VatExport({{"0", "3", "1", "", ""}})},
      {"rate 17.0", VatExport({{"0", "17.0", "10", "1.7", ""}})},
      {"rate 0.17", VatExport({{"0", "0.17", "10", "1.7", ""}})},
      {"amount with grouping", VatExport({{"0", "17", "1,000.00", "170", ""}})},
      {"amount 1e400", VatExport({{"0", "17", "1e400", "170", ""}})},
      {"amounts whose total overflows",
       VatExport({{"2", "6", "1.5e308", "1", ""}, {"2", "6", "1.5e308", "1", ""}})},
      {"missing InvKind", VatExport({{nullptr, "17", "10", "1.7", ""}})},
      {"missing Tax", VatExport({{"0", "17", "10", nullptr, ""}})},
      {"Waste outside GBK", VatExport({{"0", "17", "10", "1.7", "\xF0\x9F\x98\x80"}})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ExpectFailure(PutExport(c.xml), kKind, kTable, Message::kXmlParseError);
  }
}

TEST_F(VatScheduleOne, ReadsOnlyTheFirstListAndAnyChildIsAnInvoice) {
  std::string xml = VatExport({{"0", "17", "10", "1.7", ""}});
  xml = Replaced(xml, "<SB_KPJK_FPMX>", "<FP>");
  xml = Replaced(xml, "</SB_KPJK_FPMX>", "</FP>");
  xml = Replaced(xml, "</SB_KPJK>",
                 "  " + std::string("<SB_KPJK_FPXX><SB_KPJK_FPMX>") +
                     "<InvKind>0</InvKind><TaxRate>17</TaxRate><Amount>5" +
                     "</Amount><Tax>1</Tax></SB_KPJK_FPMX></SB_KPJK_FPXX>\n" + "</SB_KPJK>");
  const auto lines = ExpectSuccess(PutExport(xml), kKind, kTable);
  EXPECT_EQ(lines[2], TotalsLine("1.00,10.00,1.70,0.00,0.00,0.00"));
}

TEST_F(VatScheduleOne, OldFilesOfAnyLengthFromTwelve) {
  const std::string xml = PutExport(ReadData("transfer/vat-worked-example.xml"));
  const auto filed = Lines(ReadData("transfer/TABLE02-worked-example.dat"));
  const auto old_lines = Lines(ReadData("transfer/TABLE02.dat"));
  for (const std::size_t count : {12, 13, 15}) {
    SCOPED_TRACE(count);
    const std::vector<std::string> old_file(old_lines.begin(), old_lines.begin() + count);
    for (const char* br : {"\r\n", "\n", "\r"}) {
      PutTable(kTable, Joined(old_file, br));
      ExpectSuccess(xml, kKind, kTable);
      EXPECT_EQ(Table(kTable),
                Joined(std::vector<std::string>(filed.begin(), filed.begin() + count)));
    }
  }
  PutTable(kTable, Joined(std::vector<std::string>(old_lines.begin(), old_lines.begin() + 11)));
  ExpectFailure(xml, kKind, kTable, Message::kProcessingFailed);
}

TEST_F(VatScheduleOne, PrepareCountsWhatTheWalkSaw) {
  const std::string xml = PutExport(ReadData("transfer/vat-worked-example.xml"));
  const std::string before = Table(kTable);
  const Preparation p = PrepareTable(EntryOf(TableKind::kVatScheduleOne), xml, client_.folder());
  const VatTotals& totals = std::get<VatTotals>(p.values);
  EXPECT_EQ(totals.invoices, 7u);
  EXPECT_EQ(totals.voided, 1u);
  EXPECT_EQ(totals.counted, 5u);
  EXPECT_EQ(totals.ignored, 1u);
  EXPECT_EQ(totals.kind_one, 1u);
  EXPECT_DOUBLE_EQ(totals.cells[1][1], 50.0);
  const HeaderFields header = {{"NSRSBH", "91110105MA01ABCD2X"}, {"SSQ", "2024-03"}};
  EXPECT_EQ(totals.header, header);
  EXPECT_EQ(p.new_lines.lines(), Lines(ReadData("transfer/TABLE02-worked-example.dat")));
  EXPECT_EQ(Table(kTable), before);
}

// The detail of a failure names the invoice and the field.
TEST_F(VatScheduleOne, FailuresNameWhatIsWrong) {
  const Invoice good = {"0", "17", "10", "1.7", ""};
  const std::string huge(kMaxValueBytes + 1, '1');
  const struct {
    std::string xml;
    const char* detail;
  } cases[] = {
      {VatExport({}), "SB_KPJK/SB_KPJK_FPXX is empty"},
      {VatExport({good, {"0", "17", "1,200.00", "1", ""}}),
       "invoice 2 (SB_KPJK_FPMX): Amount '1,200.00' is not a number"},
      {VatExport({{"0", " 17.0 ", "1", "1", ""}}),
       "invoice 1 (SB_KPJK_FPMX): TaxRate '17.0' is not an integer"},
      {VatExport({{"0", "17", "1", nullptr, ""}}),
       "invoice 1 (SB_KPJK_FPMX): Tax (missing) is not a number"},
      {VatExport({{"", "17", "1", "1", ""}}),
       "invoice 1 (SB_KPJK_FPMX): InvKind (empty) is not an integer"},
      {VatExport({good, good, {"3", "13", "1", "1", ""}}),
       "invoice 3 (SB_KPJK_FPMX): InvKind 3 is outside 0 to 2"},
      {VatExport({{"0", "4", "1e308", "1", ""}, {"0", "4", "1e308", "1", ""}}),
       "invoice 2 (SB_KPJK_FPMX): Amount makes its total overflow"},
      {VatExport({good, {"0", "17", huge.c_str(), "1", ""}}),
       "invoice 2 (SB_KPJK_FPMX): Amount is longer than 65536 bytes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.detail);
    ExpectDetail(TableKind::kVatScheduleOne, c.xml, Fault::kExport, c.detail);
  }
}

// Each call hands back the text of its own failure, not one left in the slot
// by an earlier call of another kind.
TEST_F(VatScheduleOne, EachFailureHandsBackItsOwnText) {
  PutTable("TABLE09.dat", ReadData("transfer/TABLE09.dat"));
  const std::string invoices = PutExport(ReadData("transfer/vat-worked-example.xml"), "vat.xml");
  const std::string no_invoices = PutExport(VatExport({}), "none.xml");
  const std::string income = PutExport(RowExport("SB_SYB", NumberedItems(2)), "syb.xml");
  const std::string twelve_lines = Joined(std::vector<std::string>(12, "L01:1,"));
  const struct {
    const char* what;
    int kind;
    std::string xml;
    std::string table;  // TABLE02.dat before the call; empty keeps it
    int result;
    Message message;
  } calls[] = {
      {"a short table", kKind, invoices, "L01:1,\r\n", -1, Message::kProcessingFailed},
      {"then no invoices", kKind, no_invoices, twelve_lines, -1, Message::kXmlParseError},
      {"then a missing export", kKind, client_.scratch().Join("gone.xml"), "", -1,
       Message::kExportMissing},
      {"then an income statement that files", 2, income, "", 0, Message::kEmpty},
      {"then a short table again", kKind, invoices, "L01:1,\r\n", -1, Message::kProcessingFailed},
      {"then a balance sheet without its table", 1, income, "", -1, Message::kBalanceSheetMissing},
      {"then the root of another export", kKind, income, twelve_lines, -1, Message::kXmlParseError},
  };
  for (const auto& c : calls) {
    SCOPED_TRACE(c.what);
    if (!c.table.empty()) PutTable(kTable, c.table);
    const CallResult call = CallSetSBRepData(c.xml, c.kind);
    EXPECT_EQ(call.result, c.result);
    if (c.result == 0) {
      EXPECT_TRUE(call.untouched());
    } else {
      EXPECT_EQ(call.message(), std::string(MessageBytes(c.message)));
    }
  }
}

// The export and the install a newcomer files first.
TEST_F(VatScheduleOne, FilesTheExampleInstall) {
  PutTable(kTable, ReadBytes(ExamplePath("client/Dexlan/ICDAT/TABLE02.dat")));
  const auto old_lines = Lines(Table(kTable));
  const auto lines = ExpectSuccess(ExamplePath("exports/vat-schedule-one.xml"), kKind, kTable);
  ASSERT_EQ(lines.size(), old_lines.size());
  ASSERT_GE(lines.size(), 12u);
  EXPECT_EQ(lines[2], TotalsLine("4.00,95023.57,16154.00,2.00,53640.92,6973.32"));
  EXPECT_EQ(lines[4], TotalsLine("2.00,44914.14,7635.41,0.00,0.00,0.00"));
  EXPECT_EQ(lines[9], TotalsLine("1.00,35388.79,2123.33,2.00,45430.03,1817.20"));
  EXPECT_EQ(lines[11], TotalsLine("1.00,26371.71,1582.30,1.00,22923.34,916.93"));
  for (std::size_t i : {0, 1, 3, 5, 6, 7, 8, 10}) EXPECT_EQ(lines[i], old_lines[i]);
}

}  // namespace
}  // namespace sbrep::test
