// Kinds 1 and 2 end to end: a section of a DZSBB export rebuilds one table
// file. The balance sheet: TABLE08.dat from SB_ZCFZB, 58 rows with 15 marker
// lines between the kept header and trailer. The income statement:
// TABLE09.dat from SB_SYB, 17 rows whose tags run one ahead of their rows.
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "dll/last_message.h"
#include "transfer_cases.h"
#include "xml/text_value.h"

namespace sbrep::test {
namespace {

// A line of a table filed from the first `items` of NumberedItems.
struct FiledLine {
  int items;
  std::size_t line;
  const char* text;
};

// Rows without an item are empty; in the income statement the tags run one
// ahead of the rows.
const std::vector<FiledLine> kBalanceSheetLines = {
    {3, 5, "L03:3,a3,b3,"}, {3, 6, "L04:4,,,"}, {3, 17, "LD2:,,,"},
    {3, 75, "L58:58,,,"},   {0, 3, "L01:1,,,"}, {0, 11, "L09:9,,,"},
    {0, 12, "L10:10,,,"},   {0, 74, "LD0:,,,"}, {0, 75, "L58:58,,,"},
};
const std::vector<FiledLine> kIncomeStatementLines = {
    {17, 2, "L02:1,a1,b1,"},     {17, 10, "L10:9,a9,b9,"}, {17, 11, "L11:10,a10,b10,"},
    {17, 18, "L18:17,a17,b17,"}, {3, 4, "L04:3,a3,b3,"},   {3, 5, "L05:4,,,"},
    {3, 18, "L18:17,,,"},        {0, 2, "L02:1,,,"},       {0, 10, "L10:9,,,"},
    {0, 11, "L11:10,,,"},        {0, 18, "L18:17,,,"},
};

// What a case needs to know of a row table's kind.
struct RowKind {
  const char* name;
  TableKind kind;
  const char* table;
  const char* section;
  const char* other_section;  // the other row kind's
  int rows;
  std::size_t lines;   // of the table file
  std::size_t header;  // lines kept before row 1
  int tag_offset;      // the tag of row r is r + tag_offset
  const char* full_export;
  const char* other_export;
  const char* shown_name;    // the export's own name, as a person saves it
  std::size_t garbled_from;  // a line of the body with ten more after it
  const std::vector<FiledLine>* filed;
  std::vector<std::size_t> kept;  // lines of the old file that a rebuild keeps
  std::vector<int> item_counts;   // of the filed lines
};

const RowKind kBalanceSheet = {
    "BalanceSheet",
    TableKind::kBalanceSheet,
    "TABLE08.dat",
    "SB_ZCFZB",
    "SB_SYB",
    58,
    83,
    3,
    0,
    "balance-sheet",
    "income-statement",
    "资产负债表.xml",
    10,
    &kBalanceSheetLines,
    {0, 1, 2, 76, 80, 82},
    {3, 0},
};
const RowKind kIncomeStatement = {
    "IncomeStatement",
    TableKind::kIncomeStatement,
    "TABLE09.dat",
    "SB_SYB",
    "SB_ZCFZB",
    17,
    23,
    2,
    1,
    "income-statement",
    "balance-sheet",
    "损益表.xml",
    5,
    &kIncomeStatementLines,
    {0, 1, 19, 20, 21, 22},
    {17, 3, 0},
};

// Names a case by its kind, not by its bytes.
void PrintTo(const RowKind& kind, std::ostream* out) { *out << kind.name; }

class RowTables : public RowTableTest, public ::testing::WithParamInterface<RowKind> {
 protected:
  RowTables()
      : RowTableTest(static_cast<int>(GetParam().kind), GetParam().table, GetParam().section),
        k_(GetParam()) {}

  // The data line of `row` with these values.
  std::string DataLine(int row, const std::string& first, const std::string& second) const {
    const std::string tag = std::to_string(row + k_.tag_offset);
    return "L" + (tag.size() < 2 ? "0" + tag : tag) + ":" + std::to_string(row) + "," + first +
           "," + second + ",";
  }

  const RowKind& k_;
};

TEST_P(RowTables, FilesTheFullExportLineForLine) {
  ExpectFiled(
      ReadData("transfer/" + table_),
      PutExport(ReadData("transfer/" + std::string(k_.full_export) + ".xml"), k_.shown_name));
}

TEST_P(RowTables, EachRowGoesToItsLine) {
  const auto old_lines = Lines(ReadData("transfer/" + table_));
  for (const int items : k_.item_counts) {
    const auto lines = FileItems(NumberedItems(items));
    ASSERT_EQ(lines.size(), k_.lines);
    for (const FiledLine& c : *k_.filed) {
      if (c.items == items) {
        EXPECT_EQ(lines[c.line], c.text) << items << " items";
      }
    }
    for (std::size_t i : k_.kept) EXPECT_EQ(lines[i], old_lines[i]);
  }
}

// Rows 1 to 6 stand before the first marker line of either kind.
TEST_P(RowTables, ValuesGoInAsTheExportHasThem) {
  const std::string note = "\xBC\xFB\xB8\xBD\xD7\xA2";  // 见附注
  const auto lines = FileItems({{"1,200.00", "-3.5"},
                                {"", "0"},
                                {"见附注", "  12 345  "},
                                {"a &amp; b", "&#x4E00;"},
                                {"1,200.00", ""},
                                {"无", "-"}});
  const std::size_t at = k_.header;
  EXPECT_EQ(lines[at], DataLine(1, "1,200.00", "-3.5"));
  EXPECT_EQ(lines[at + 1], DataLine(2, "", "0"));
  EXPECT_EQ(lines[at + 2], DataLine(3, note, "12 345"));
  EXPECT_EQ(lines[at + 3], DataLine(4, "a & b", "\xD2\xBB"));
  EXPECT_EQ(lines[at + 4], DataLine(5, "1,200.00", ""));
  EXPECT_EQ(lines[at + 5], DataLine(6, "\xCE\xDE", "-"));
}

TEST_P(RowTables, ReadsOnlyTheFirstSectionAndList) {
  const std::string s = k_.section;
  const std::string first = RowExport(s, NumberedItems(1));
  for (const auto& second :
       {RowExport(s, {{"x", "y"}, {"x", "y"}}), RowExport(s, NumberedItems(5))}) {
    const auto begin = second.find("  <" + s + ">");
    const std::string section = second.substr(begin, second.find("</DZSBB>") - begin);
    const auto lines =
        ExpectSuccess(PutExport(Replaced(first, "</DZSBB>", section + "</DZSBB>")), kind_, table_);
    EXPECT_EQ(lines[k_.header], DataLine(1, "a1", "b1"));
    EXPECT_EQ(lines[k_.header + 1], DataLine(2, "", ""));
  }

  const std::string two_lists =
      Replaced(first, "    </" + s + "_MXXX>\n",
               "    </" + s + "_MXXX>\n    <" + s + "_MXXX><" + s +
                   "_XM><HC/><XMMC/><A>x</A><B>y</B></" + s + "_XM></" + s + "_MXXX>\n");
  const auto lines = ExpectSuccess(PutExport(two_lists), kind_, table_);
  EXPECT_EQ(lines[k_.header], DataLine(1, "a1", "b1"));
  EXPECT_EQ(lines[k_.header + 1], DataLine(2, "", ""));
}

TEST_P(RowTables, ExportFaultsFailWithTheXmlMessage) {
  const std::string s = k_.section;
  const std::string good = RowExport(s, NumberedItems(3));
  // Cut short after the last row's item, with text that the parser hands
  // over only as the file ends: the child past the rows, which decides the
  // result there.
  const std::string full = RowExport(s, NumberedItems(k_.rows));
  const std::string cut = full.substr(0, full.rfind("    </" + s + "_MXXX>")) + "  DZSBB>\n";
  const struct {
    const char* what;
    std::string xml;
  } cases[] = {
      {"an item past the rows", RowExport(s, NumberedItems(k_.rows + 1))},
      {"every row's item, then text, cut short", cut},
      {"root in lower case", ReplacedAll(good, "DZSBB>", "dzsbb>")},
      {"root in mixed case", ReplacedAll(good, "DZSBB>", "Dzsbb>")},
      {"no section", ReplacedAll(good, s + ">", std::string(k_.other_section) + ">")},
      {"the other kind's export", ReadData("transfer/" + std::string(k_.other_export) + ".xml")},
      {"empty JG", Replaced(good, "<NSRSBH>91110105MA01ABCD2X</NSRSBH>", "")},
      {"JG missing", ReplacedAll(good, s + "_JG>", s + "_XX>")},
      {"empty BTXX", Replaced(good, "<NSRMC>北京恒远商贸有限公司</NSRMC>", "")},
      {"BTXX of blanks", Replaced(good, "<NSRMC>北京恒远商贸有限公司</NSRMC>", " \n ")},
      {"BTXX missing", ReplacedAll(good, s + "_BTXX>", s + "_BT>")},
      {"list missing", ReplacedAll(good, s + "_MXXX>", s + "_MX>")},
      {"list missing, no items", ReplacedAll(RowExport(s, {}), s + "_MXXX>", s + "_MX>")},
      {"item with three children", Replaced(good, "<A>a2</A>", "")},
      {"item with two children", Replaced(Replaced(good, "<A>a3</A>", ""), "<B>b3</B>", "")},
      {"value outside GBK", Replaced(good, "<B>b3</B>", "<B>\xF0\x9F\x98\x80</B>")},
      {"value outside GBK, Hangul", Replaced(good, "<A>a1</A>", "<A>\xED\x95\x9C</A>")},
      {"not well-formed", Replaced(good, "</DZSBB>", "</DZSB>")},
      {"entity of a DOCTYPE",
       Replaced(Replaced(good, "<DZSBB>", "<!DOCTYPE DZSBB [<!ENTITY v \"9\">]>\n<DZSBB>"),
                "<A>a1</A>", "<A>&v;</A>")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ExpectFailure(PutExport(c.xml), kind_, table_, Message::kXmlParseError);
  }
}

TEST_P(RowTables, OldFilesOfAnyLengthFromTheirLineCount) {
  const std::string xml = PutExport(ReadData("transfer/" + std::string(k_.full_export) + ".xml"));
  auto old_lines = Lines(ReadData("transfer/" + table_));
  ASSERT_EQ(old_lines.size(), k_.lines);
  auto garbled = old_lines;
  const std::size_t from = k_.garbled_from;
  garbled.erase(garbled.begin() + from, garbled.begin() + from + 10);
  garbled.insert(garbled.begin() + from, 10, "L01:1,not,these,");
  auto longer = old_lines;
  auto numbered = old_lines;
  for (int i = 0; i < 7; ++i) {
    longer.push_back("LX" + std::to_string(i) + ":dropped,");
    numbered.push_back("L" + std::to_string(k_.rows + 2 + i) + ":dropped,");
  }
  auto no_last_break = Joined(old_lines);
  no_last_break.resize(no_last_break.size() - 2);

  const struct {
    const char* what;
    std::string old_file;
  } cases[] = {
      {"exactly the lines needed", Joined(old_lines)},
      {"seven more lines", Joined(longer)},
      {"seven more numbered lines", Joined(numbered)},
      {"other lines in the body", Joined(garbled)},
      {"LF only", Joined(old_lines, "\n")},
      {"CR only", Joined(old_lines, "\r")},
      {"no break after the last line", no_last_break},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ExpectFiled(c.old_file, xml);
  }

  old_lines.pop_back();
  PutTable(table_, Joined(old_lines));
  ExpectFailure(xml, kind_, table_, Message::kProcessingFailed);
  PutTable(table_, "");
  ExpectFailure(xml, kind_, table_, Message::kProcessingFailed);
}

// The install and export a newcomer files first.
TEST_P(RowTables, FilesTheExampleInstall) {
  ExpectFiled(ReadBytes(ExamplePath("client/Dexlan/ICDAT/" + table_)),
              ExamplePath("exports/" + std::string(k_.full_export) + ".xml"), "example-filed");
}

INSTANTIATE_TEST_SUITE_P(Kinds, RowTables, ::testing::Values(kBalanceSheet, kIncomeStatement),
                         [](const ::testing::TestParamInfo<RowKind>& info) {
                           return std::string(info.param.name);
                         });

constexpr int kBalanceSheetKind = 1;
constexpr const char kBalanceSheetTable[] = "TABLE08.dat";

class BalanceSheet : public RowTableTest {
 protected:
  BalanceSheet() : RowTableTest(kBalanceSheetKind, kBalanceSheetTable, "SB_ZCFZB") {}
};

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

// A break inside a value would split its data line in two and shift every
// later line, the kept trailer included, on the next rebuild.
TEST_F(BalanceSheet, ValueWithALineBreakFailsInsteadOfSplittingItsLine) {
  const std::string good = RowExport("SB_ZCFZB", NumberedItems(3));
  for (const char* value : {"1\n2", "1&#10;2", "1&#13;2", "1&#13;&#10;2"}) {
    SCOPED_TRACE(value);
    ExpectFailure(PutExport(Replaced(good, "<A>a2</A>", std::string("<A>") + value + "</A>")),
                  kBalanceSheetKind, kBalanceSheetTable, Message::kXmlParseError);
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
  const auto lines =
      ExpectSuccess(PutExport(Replaced(good, "<A>a2</A>", "<A>  \n" + largest + "\t </A>")),
                    kBalanceSheetKind, kBalanceSheetTable);
  EXPECT_EQ(lines[4], "L02:2," + largest + ",b2,");

  const std::string xml = Replaced(good, "<A>a2</A>", "<A>" + largest + "7</A>");
  ExpectFailure(PutExport(xml), kBalanceSheetKind, kBalanceSheetTable, Message::kXmlParseError);
  ExpectDetail(TableKind::kBalanceSheet, xml, Fault::kExport,
               "item 2 (SB_ZCFZB_XM), child 2: the value is longer than 65536 bytes");
}

TEST_F(BalanceSheet, AnyChildOfTheListIsAnItem) {
  std::string xml = RowExport("SB_ZCFZB", NumberedItems(3));
  xml = Replaced(xml, "<SB_ZCFZB_XM><HC>2</HC>", "<QTXM><HC>2</HC>");
  xml = Replaced(xml, "b2</B></SB_ZCFZB_XM>", "b2</B></QTXM>");
  const auto lines = ExpectSuccess(PutExport(xml), kBalanceSheetKind, kBalanceSheetTable);
  EXPECT_EQ(lines[4], "L02:2,a2,b2,");
  EXPECT_EQ(lines[5], "L03:3,a3,b3,");
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
    PutTable(kBalanceSheetTable, Joined({old_lines.begin(), old_lines.begin() + c.table_lines}));
    ExpectDetail(TableKind::kBalanceSheet, c.xml, c.fault, c.detail);
  }
}

// What a check compares with the table: each item's own row number and the
// header parts, first of each name; none of it is filed.
TEST_F(BalanceSheet, PrepareKeepsEachItemsLabelAndTheHeader) {
  std::string xml = ReadData("transfer/balance-sheet.xml");
  xml = Replaced(xml, "<HC>2</HC>", "<HC>7</HC>");
  xml = Replaced(xml, "<DW>", "<NSRSBH>second</NSRSBH><DW>");
  const std::string before = Table(kBalanceSheetTable);
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
  EXPECT_EQ(Table(kBalanceSheetTable), before);
}

constexpr int kIncomeStatementKind = 2;
constexpr const char kIncomeStatementTable[] = "TABLE09.dat";

class IncomeStatement : public RowTableTest {
 protected:
  IncomeStatement() : RowTableTest(kIncomeStatementKind, kIncomeStatementTable, "SB_SYB") {}
};

// Only a failure stores a text in the slot; a successful call leaves it as it
// was, for this kind as for the others.
TEST_F(IncomeStatement, SuccessLeavesTheMessageSlotAsItWas) {
  const std::string xml = PutExport(RowExport("SB_SYB", NumberedItems(2)));
  StoreLastMessage(Message::kProcessingFailed);
  EXPECT_EQ(CallSetSBRepData(xml, kIncomeStatementKind).result, 0);
  EXPECT_EQ(LastMessage(), MessageBytes(Message::kProcessingFailed));

  StoreLastMessage(Message::kProcessingFailed);
  EXPECT_EQ(CallSetSBRepData(client_.scratch().Join("none.xml"), kIncomeStatementKind).result, -1);
  EXPECT_EQ(LastMessage(), MessageBytes(Message::kExportMissing));
}

}  // namespace
}  // namespace sbrep::test
