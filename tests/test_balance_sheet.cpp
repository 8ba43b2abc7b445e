// Kind 1 end to end: TABLE08.dat rebuilt from SB_ZCFZB, 58 rows with 15
// marker lines between the kept header and trailer.
#include <gtest/gtest.h>

#include "transfer_cases.h"
#include "xml/text_value.h"

namespace sbrep::test {
namespace {

constexpr int kKind = 1;
constexpr const char kTable[] = "TABLE08.dat";

class BalanceSheet : public RowTableTest {
 protected:
  BalanceSheet() : RowTableTest(kKind, kTable, "SB_ZCFZB") {}
};

TEST_F(BalanceSheet, FilesTheFullExportLineForLine) {
  ExpectFiled(ReadData("transfer/TABLE08.dat"),
              PutExport(ReadData("transfer/balance-sheet.xml"), "资产负债表.xml"));
}

TEST_F(BalanceSheet, PutsEveryMarkerAfterItsRow) {
  const auto lines = FileItems(NumberedItems(58));
  ASSERT_EQ(lines.size(), 83u);
  const struct {
    std::size_t line;
    const char* text;
  } markers[] = {{17, "LD2:,,,"}, {19, "LD3:,,,"}, {21, "LD4:,,,"}, {29, "LD5:,,,"},
                 {32, "LD6:,,,"}, {34, "LD7:,,,"}, {36, "LD8:,,,"}, {39, "LD9:,,,"},
                 {53, "LDA:,,,"}, {55, "LDB:,,,"}, {61, "LDC:,,,"}, {63, "LDD:,,,"},
                 {65, "LDE:,,,"}, {67, "LDF:,,,"}, {74, "LD0:,,,"}};
  std::size_t next = 0;
  int row = 0;
  for (std::size_t i = 3; i < 76; ++i) {
    if (next < 15 && markers[next].line == i) {
      EXPECT_EQ(lines[i], markers[next++].text) << "line " << i;
      continue;
    }
    ++row;
    const std::string n = std::to_string(row);
    const std::string tag = row < 10 ? "0" + n : n;
    EXPECT_EQ(lines[i], "L" + tag + ":" + n + ",a" + n + ",b" + n + ",") << "line " << i;
  }
  EXPECT_EQ(row, 58);
  EXPECT_EQ(lines[11], "L09:9,a9,b9,");
  EXPECT_EQ(lines[12], "L10:10,a10,b10,");
  EXPECT_EQ(lines[75], "L58:58,a58,b58,");
}

TEST_F(BalanceSheet, RowsWithoutAnItemAreEmpty) {
  const struct {
    int items;
    std::size_t line;
    const char* text;
  } cases[] = {
      {3, 5, "L03:3,a3,b3,"}, {3, 6, "L04:4,,,"}, {3, 17, "LD2:,,,"},
      {3, 75, "L58:58,,,"},   {0, 3, "L01:1,,,"}, {0, 11, "L09:9,,,"},
      {0, 12, "L10:10,,,"},   {0, 74, "LD0:,,,"}, {0, 75, "L58:58,,,"},
  };
  const auto old_lines = Lines(ReadData("transfer/TABLE08.dat"));
  for (const int items : {3, 0}) {
    const auto lines = FileItems(NumberedItems(items));
    ASSERT_EQ(lines.size(), 83u);
    for (const auto& c : cases) {
      if (c.items == items) {
        EXPECT_EQ(lines[c.line], c.text) << items << " items";
      }
    }
    for (std::size_t i : {0, 1, 2, 76, 80, 82}) EXPECT_EQ(lines[i], old_lines[i]);
  }
}

TEST_F(BalanceSheet, ValuesGoInAsTheExportHasThem) {
  const std::string note = "\xBC\xFB\xB8\xBD\xD7\xA2";  // 见附注
  const auto lines = FileItems(
      {{"1,200.00", "-3.5"}, {"", "0"}, {"见附注", "  12 345  "}, {"a &amp; b", "&#x4E00;"}});
  EXPECT_EQ(lines[3], "L01:1,1,200.00,-3.5,");
  EXPECT_EQ(lines[4], "L02:2,,0,");
  EXPECT_EQ(lines[5], "L03:3," + note + ",12 345,");
  EXPECT_EQ(lines[6], "L04:4,a & b,\xD2\xBB,");
}

// A break inside a value would split its data line in two and shift every
// later line, the kept trailer included, on the next rebuild.
TEST_F(BalanceSheet, ValueWithALineBreakFailsInsteadOfSplittingItsLine) {
  const std::string good = RowExport("SB_ZCFZB", NumberedItems(3));
  for (const char* value : {"1\n2", "1&#10;2", "1&#13;2", "1&#13;&#10;2"}) {
    SCOPED_TRACE(value);
    ExpectFailure(PutExport(Replaced(good, "<A>a2</A>", std::string("<A>") + value + "</A>")),
                  kKind, kTable, Message::kXmlParseError);
  }
  const std::string crlf = Replaced(good, "<B>b3</B>", "<B>x&#13;y</B>");
  ExpectDetail(TableKind::kBalanceSheet, crlf, Fault::kExport,
               "item 3 (SB_ZCFZB_XM), child 3: 'x\ry' has a line break");
}

// A value is bounded so that no export can grow a table past what a later
// call reads back; the bound counts the value's bytes after trimming, which
// the parser hands over in many pieces.
TEST_F(BalanceSheet, AValueOfMoreThanSixtyFourKilobytesFails) {
  const std::string good = RowExport("SB_ZCFZB", NumberedItems(3));
  const std::string largest(kMaxValueBytes, '7');
  const auto lines = ExpectSuccess(
      PutExport(Replaced(good, "<A>a2</A>", "<A>  \n" + largest + "\t </A>")), kKind, kTable);
  EXPECT_EQ(lines[4], "L02:2," + largest + ",b2,");

  const std::string xml = Replaced(good, "<A>a2</A>", "<A>" + largest + "7</A>");
  ExpectFailure(PutExport(xml), kKind, kTable, Message::kXmlParseError);
  ExpectDetail(TableKind::kBalanceSheet, xml, Fault::kExport,
               "item 2 (SB_ZCFZB_XM), child 2: the value is longer than 65536 bytes");
}

TEST_F(BalanceSheet, AnyChildOfTheListIsAnItem) {
  std::string xml = RowExport("SB_ZCFZB", NumberedItems(3));
  xml = Replaced(xml, "<SB_ZCFZB_XM><HC>2</HC>", "<QTXM><HC>2</HC>");
  xml = Replaced(xml, "b2</B></SB_ZCFZB_XM>", "b2</B></QTXM>");
  const auto lines = ExpectSuccess(PutExport(xml), kKind, kTable);
  EXPECT_EQ(lines[4], "L02:2,a2,b2,");
  EXPECT_EQ(lines[5], "L03:3,a3,b3,");
}

TEST_F(BalanceSheet, ReadsOnlyTheFirstSectionAndList) {
  const std::string first = RowExport("SB_ZCFZB", NumberedItems(1));
  const std::string second = RowExport("SB_ZCFZB", {{"x", "y"}, {"x", "y"}});
  const std::string section = second.substr(second.find("  <SB_ZCFZB>"),
                                            second.find("</DZSBB>") - second.find("  <SB_ZCFZB>"));
  const std::string two_sections = Replaced(first, "</DZSBB>", section + "</DZSBB>");
  auto lines = ExpectSuccess(PutExport(two_sections), kKind, kTable);
  EXPECT_EQ(lines[3], "L01:1,a1,b1,");
  EXPECT_EQ(lines[4], "L02:2,,,");

  const std::string two_lists =
      Replaced(first, "    </SB_ZCFZB_MXXX>\n",
               "    </SB_ZCFZB_MXXX>\n    <SB_ZCFZB_MXXX><SB_ZCFZB_XM><HC/><XMMC/><A>x</A><B>y</B>"
               "</SB_ZCFZB_XM></SB_ZCFZB_MXXX>\n");
  lines = ExpectSuccess(PutExport(two_lists), kKind, kTable);
  EXPECT_EQ(lines[3], "L01:1,a1,b1,");
  EXPECT_EQ(lines[4], "L02:2,,,");
}

TEST_F(BalanceSheet, ExportFaultsFailWithTheXmlMessage) {
  const std::string good = RowExport("SB_ZCFZB", NumberedItems(3));
  const struct {
    const char* what;
    std::string xml;
  } cases[] = {
      {"59 items", RowExport("SB_ZCFZB", NumberedItems(59))},
      {"root in the wrong case", ReplacedAll(good, "DZSBB>", "dzsbb>")},
      {"no section", ReplacedAll(good, "SB_ZCFZB>", "SB_SYB>")},
      {"empty JG", Replaced(good, "<NSRSBH>91110105MA01ABCD2X</NSRSBH>", "")},
      {"JG missing", ReplacedAll(good, "SB_ZCFZB_JG>", "SB_ZCFZB_XX>")},
      {"empty BTXX", Replaced(good, "<NSRMC>北京恒远商贸有限公司</NSRMC>", " \n ")},
      {"BTXX missing", ReplacedAll(good, "SB_ZCFZB_BTXX>", "SB_ZCFZB_BT>")},
      {"list missing", ReplacedAll(RowExport("SB_ZCFZB", {}), "SB_ZCFZB_MXXX>", "SB_ZCFZB_MX>")},
      {"item with three children", Replaced(good, "<A>a2</A>", "")},
      {"value outside GBK", Replaced(good, "<B>b3</B>", "<B>\xF0\x9F\x98\x80</B>")},
      {"not well-formed", Replaced(good, "</DZSBB>", "</DZSB>")},
      {"entity of a DOCTYPE",
       Replaced(Replaced(good, "<DZSBB>", "<!DOCTYPE DZSBB [<!ENTITY v \"9\">]>\n<DZSBB>"),
                "<A>a1</A>", "<A>&v;</A>")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ExpectFailure(PutExport(c.xml), kKind, kTable, Message::kXmlParseError);
  }
}

TEST_F(BalanceSheet, OldFilesOfAnyLengthFromEightyThree) {
  const std::string xml = PutExport(ReadData("transfer/balance-sheet.xml"));
  auto old_lines = Lines(ReadData("transfer/TABLE08.dat"));
  auto garbled = old_lines;
  garbled.erase(garbled.begin() + 10, garbled.begin() + 20);
  garbled.insert(garbled.begin() + 10, 10, "L01:1,not,these,");
  auto longer = old_lines;
  for (int i = 0; i < 7; ++i) longer.push_back("LX" + std::to_string(i) + ":dropped,");
  auto no_last_break = Joined(old_lines);
  no_last_break.resize(no_last_break.size() - 2);

  const struct {
    const char* what;
    std::string old_file;
  } cases[] = {
      {"exactly 83 lines", Joined(old_lines)},      {"90 lines", Joined(longer)},
      {"other lines in the body", Joined(garbled)}, {"LF only", Joined(old_lines, "\n")},
      {"CR only", Joined(old_lines, "\r")},         {"no break after the last line", no_last_break},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ExpectFiled(c.old_file, xml);
  }

  old_lines.pop_back();
  PutTable(kTable, Joined(old_lines));
  ExpectFailure(xml, kKind, kTable, Message::kProcessingFailed);
  PutTable(kTable, "");
  ExpectFailure(xml, kKind, kTable, Message::kProcessingFailed);
}

// The detail of a failure names what is wrong, for the command-line tool.
TEST_F(BalanceSheet, FailuresNameWhatIsWrong) {
  const std::string good = RowExport("SB_ZCFZB", NumberedItems(3));
  const auto old_lines = Lines(ReadData("transfer/TABLE08.dat"));
  const struct {
    std::string xml;
    std::size_t table_lines;
    Fault fault;
    const char* detail;
  } cases[] = {
      {Replaced(good, "<NSRSBH>91110105MA01ABCD2X</NSRSBH>", ""), 83, Fault::kExport,
       "DZSBB/SB_ZCFZB/SB_ZCFZB_JG is empty"},
      {ReplacedAll(good, "SB_ZCFZB_BTXX>", "BTXX>"), 83, Fault::kExport,
       "DZSBB/SB_ZCFZB/SB_ZCFZB_BTXX is missing"},
      {RowExport("SB_ZCFZB", NumberedItems(59)), 83, Fault::kExport,
       "balance sheet has more than 58 items, the table has 58 rows"},
      {Replaced(good, "<A>a2</A>", ""), 83, Fault::kExport,
       "item 2 (SB_ZCFZB_XM) has 3 children, 4 needed"},
      {ReplacedAll(good, "DZSBB>", "dzsbb>"), 83, Fault::kExport,
       "root element is 'dzsbb', expected DZSBB"},
      {good, 80, Fault::kTable, "TABLE08.dat has 80 lines, 83 needed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.detail);
    PutTable(kTable, Joined({old_lines.begin(), old_lines.begin() + c.table_lines}));
    ExpectDetail(TableKind::kBalanceSheet, c.xml, c.fault, c.detail);
  }
}

// What a check compares with the table: each item's own row number and the
// header parts, first of each name; none of it is filed.
TEST_F(BalanceSheet, PrepareKeepsEachItemsLabelAndTheHeader) {
  std::string xml = ReadData("transfer/balance-sheet.xml");
  xml = Replaced(xml, "<HC>2</HC>", "<HC>7</HC>");
  xml = Replaced(xml, "<DW>", "<NSRSBH>second</NSRSBH><DW>");
  const std::string before = Table(kTable);
  const Preparation p =
      PrepareTable(EntryOf(TableKind::kBalanceSheet), PutExport(xml), client_.folder());
  const RowValues& values = std::get<RowValues>(p.values);
  ASSERT_EQ(values.rows.size(), 58u);
  EXPECT_EQ(values.rows[0].label, "1");
  EXPECT_EQ(values.rows[1].label, "7");
  EXPECT_EQ(values.rows[57].label, "58");
  const HeaderFields header = {{"NSRSBH", "91110105MA01ABCD2X"},
                               {"SSQQ", "2024-01-01"},
                               {"SSQZ", "2024-03-31"},
                               {"BBMC", "资产负债表"},
                               {"NSRMC", "北京恒远商贸有限公司"},
                               {"DW", "元"}};
  EXPECT_EQ(values.header, header);
  EXPECT_EQ(Table(kTable), before);
}

// The install and export a newcomer files first.
TEST_F(BalanceSheet, FilesTheExampleInstall) {
  ExpectFiled(ReadBytes(ExamplePath("client/Dexlan/ICDAT/TABLE08.dat")),
              ExamplePath("exports/balance-sheet.xml"), "example-filed");
}

}  // namespace
}  // namespace sbrep::test
