// Kind 2 end to end: TABLE09.dat rebuilt from SB_SYB, 17 rows whose tags run
// one ahead of their row numbers.
#include <gtest/gtest.h>

#include "dll/last_message.h"
#include "transfer_cases.h"

namespace sbrep::test {
namespace {

constexpr int kKind = 2;
constexpr const char kTable[] = "TABLE09.dat";

class IncomeStatement : public RowTableTest {
 protected:
  IncomeStatement() : RowTableTest(kKind, kTable, "SB_SYB") {}
};

TEST_F(IncomeStatement, FilesTheFullExportLineForLine) {
  ExpectFiled(ReadData("transfer/TABLE09.dat"),
              PutExport(ReadData("transfer/income-statement.xml"), "损益表.xml"));
}

TEST_F(IncomeStatement, TagsRunOneAheadOfRows) {
  const auto old_lines = Lines(ReadData("transfer/TABLE09.dat"));
  const struct {
    int items;
    std::size_t line;
    const char* text;
  } cases[] = {
      {17, 2, "L02:1,a1,b1,"},     {17, 10, "L10:9,a9,b9,"}, {17, 11, "L11:10,a10,b10,"},
      {17, 18, "L18:17,a17,b17,"}, {3, 4, "L04:3,a3,b3,"},   {3, 5, "L05:4,,,"},
      {3, 18, "L18:17,,,"},        {0, 2, "L02:1,,,"},       {0, 10, "L10:9,,,"},
      {0, 11, "L11:10,,,"},        {0, 18, "L18:17,,,"},
  };
  for (const int items : {17, 3, 0}) {
    const auto lines = FileItems(NumberedItems(items));
    ASSERT_EQ(lines.size(), 23u);
    for (const auto& c : cases) {
      if (c.items == items) {
        EXPECT_EQ(lines[c.line], c.text) << items << " items";
      }
    }
    for (std::size_t i : {0, 1, 19, 20, 21, 22}) EXPECT_EQ(lines[i], old_lines[i]);
  }
}

TEST_F(IncomeStatement, ValuesGoInAsTheExportHasThem) {
  const auto lines = FileItems({{"1,200.00", ""}, {"无", "-"}});
  EXPECT_EQ(lines[2], "L02:1,1,200.00,,");
  EXPECT_EQ(lines[3], "L03:2,\xCE\xDE,-,");
}

TEST_F(IncomeStatement, ReadsOnlyTheFirstSection) {
  const std::string first = RowExport("SB_SYB", NumberedItems(1));
  const std::string second = RowExport("SB_SYB", NumberedItems(5));
  const auto begin = second.find("  <SB_SYB>");
  const std::string section = second.substr(begin, second.find("</DZSBB>") - begin);
  const auto lines =
      ExpectSuccess(PutExport(Replaced(first, "</DZSBB>", section + "</DZSBB>")), kKind, kTable);
  EXPECT_EQ(lines[2], "L02:1,a1,b1,");
  EXPECT_EQ(lines[3], "L03:2,,,");
}

TEST_F(IncomeStatement, ExportFaultsFailWithTheXmlMessage) {
  const std::string good = RowExport("SB_SYB", NumberedItems(3));
  // Cut short after the 17th item, with text that the parser hands over only
  // as the file ends: the 18th child, which decides the result there.
  const std::string full = RowExport("SB_SYB", NumberedItems(17));
  const std::string cut = full.substr(0, full.rfind("    </SB_SYB_MXXX>")) + "  DZSBB>\n";
  const struct {
    const char* what;
    std::string xml;
  } cases[] = {
      {"18 items", RowExport("SB_SYB", NumberedItems(18))},
      {"17 items, then text, cut short", cut},
      {"root in the wrong case", ReplacedAll(good, "DZSBB>", "Dzsbb>")},
      {"a balance sheet export", ReadData("transfer/balance-sheet.xml")},
      {"empty JG", Replaced(good, "<NSRSBH>91110105MA01ABCD2X</NSRSBH>", "")},
      {"empty BTXX", Replaced(good, "<NSRMC>北京恒远商贸有限公司</NSRMC>", "")},
      {"list missing", ReplacedAll(good, "SB_SYB_MXXX>", "SB_SYB_MX>")},
      {"item with two children", Replaced(Replaced(good, "<A>a3</A>", ""), "<B>b3</B>", "")},
      {"value outside GBK", Replaced(good, "<A>a1</A>", "<A>\xED\x95\x9C</A>")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ExpectFailure(PutExport(c.xml), kKind, kTable, Message::kXmlParseError);
  }
}

TEST_F(IncomeStatement, OldFilesOfAnyLengthFromTwentyThree) {
  const std::string xml = PutExport(ReadData("transfer/income-statement.xml"));
  auto old_lines = Lines(ReadData("transfer/TABLE09.dat"));
  auto longer = old_lines;
  for (int i = 0; i < 7; ++i) longer.push_back("L" + std::to_string(19 + i) + ":dropped,");
  const struct {
    const char* what;
    std::string old_file;
  } cases[] = {
      {"exactly 23 lines", Joined(old_lines)},
      {"30 lines", Joined(longer)},
      {"LF only", Joined(old_lines, "\n")},
      {"CR only", Joined(old_lines, "\r")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ExpectFiled(c.old_file, xml);
  }
  old_lines.pop_back();
  PutTable(kTable, Joined(old_lines));
  ExpectFailure(xml, kKind, kTable, Message::kProcessingFailed);
}

// Only a failure stores a text in the slot; a successful call leaves it as it
// was, for this kind as for the others.
TEST_F(IncomeStatement, SuccessLeavesTheMessageSlotAsItWas) {
  const std::string xml = PutExport(RowExport("SB_SYB", NumberedItems(2)));
  StoreLastMessage(Message::kProcessingFailed);
  EXPECT_EQ(CallSetSBRepData(xml, kKind).result, 0);
  EXPECT_EQ(LastMessage(), MessageBytes(Message::kProcessingFailed));

  StoreLastMessage(Message::kProcessingFailed);
  EXPECT_EQ(CallSetSBRepData(client_.scratch().Join("none.xml"), kKind).result, -1);
  EXPECT_EQ(LastMessage(), MessageBytes(Message::kExportMissing));
}

// The install and export a newcomer files first.
TEST_F(IncomeStatement, FilesTheExampleInstall) {
  ExpectFiled(ReadBytes(ExamplePath("client/Dexlan/ICDAT/TABLE09.dat")),
              ExamplePath("exports/income-statement.xml"), "example-filed");
}

}  // namespace
}  // namespace sbrep::test
