// What check warns of without failing.
#include "cli_tests/cli_test.h"

namespace sbrep::test {
namespace {

const std::string kOdd =
    "is not a plain decimal amount such as -1048945.31, which the client may read otherwise";

// The first values of rows 1 to 7 in forms the client may misread.
std::string OddAmounts(std::string xml) {
  const char* const odd[] = {"0x10", "1e5", "１２", "+5", ".5", "5.", "-"};
  const char* const plain[] = {"1883523.82", "591437.28", "655677.25", "32987.25",
                               "922354.44",  "717299.35", "1137560.71"};
  for (std::size_t i = 0; i < std::size(odd); ++i) {
    xml = Replaced(xml, std::string("<NCS>") + plain[i] + "</NCS>",
                   std::string("<NCS>") + odd[i] + "</NCS>");
  }
  return xml;
}

// Items are filed by position and values as their text reads: an item whose
// own row number is another row, a value the client reads otherwise, or an
// export of another company or period, files without an error.
TEST_F(Cli, ACheckWarnsOfAMisfiledExport) {
  const std::string good = ReadData("transfer/balance-sheet.xml");
  std::string swapped = Replaced(good, "<HC>1</HC>", "<HC>@</HC>");
  swapped = Replaced(swapped, "<HC>2</HC>", "<HC>1</HC>");
  swapped = Replaced(swapped, "<HC>@</HC>", "<HC>2</HC>");
  const struct {
    const char* name;
    std::string xml;
    std::vector<std::string> warnings;
  } cases[] = {
      {"items out of order",
       swapped,
       {"item 1 carries row number 2 but goes into row 1: items are filed by position",
        "item 2 carries row number 1 but goes into row 2: items are filed by position"}},
      {"another company",
       Replaced(good, "<NSRMC>北京恒远商贸有限公司</NSRMC>", "<NSRMC>上海某公司</NSRMC>"),
       {"the export is for '上海某公司' (NSRMC), the table for '北京恒远商贸有限公司' (line 77, "
        "编制单位)"}},
      {"another period",
       Replaced(good, "<SSQZ>2024-03-31</SSQZ>", "<SSQZ>2024-06-30</SSQZ>"),
       {"the export's period ends 2024-06-30 (SSQZ), the table is dated 2024-03-31 (line 82, "
        "DATE)"}},
      {"fewer items",
       ReadData("cli/balance-sheet-three-items.xml"),
       {"the export has fewer items than the table has rows; rows 4 to 58 get no item"}},
      {"grouped digits",
       Replaced(good, "<QMS>1463801.15</QMS>", "<QMS>1,463,801.15</QMS>"),
       {"row 1: '1,463,801.15' holds a comma, so the row files as 4 fields where the row has 2"}},
      {"amounts the client may misread",
       OddAmounts(good),
       {"row 1: '0x10' " + kOdd, "row 2: '1e5' " + kOdd, "row 3: '１２' " + kOdd,
        "row 4: '+5' " + kOdd, "row 5: '.5' " + kOdd,
        "and 2 more values that are not plain decimal amounts"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string xml = PutExportBytes(c.xml, "zcfzb.xml");
    std::string warned;
    for (const std::string& warning : c.warnings) warned += "warning: " + warning + "\n";

    const Outcome check = Sbrep({"check", "1", xml});
    EXPECT_EQ(check.status, 0);
    EXPECT_EQ(check.err, warned);
    EXPECT_TRUE(Has(check.out, "\nready to file: a transfer would save TABLE08.dat\n"));

    const Outcome strict = Sbrep({"check", "1", xml, "--strict"});
    EXPECT_EQ(strict.status, 3);
    EXPECT_EQ(strict.err, warned + "not ready to file: a warning, and --strict\n");

    const std::string before = Table("TABLE08.dat");
    const Outcome transfer = Sbrep({"transfer", "1", xml, "--strict"});
    EXPECT_EQ(transfer.status, 1);
    EXPECT_TRUE(Has(transfer.err,
                    "not transferred: a warning, and --strict; nothing was "
                    "written\n"))
        << transfer.err;
    EXPECT_EQ(Table("TABLE08.dat"), before);
  }
  const std::string vat = PutExportBytes(Replaced(ReadData("transfer/vat-worked-example.xml"),
                                                  "<SSQ>2024-03</SSQ>", "<SSQ>2024-02</SSQ>"),
                                         "fp.xml");
  EXPECT_EQ(Sbrep({"check", "3", vat}).err,
            "warning: the export's period is 2024-02 (SSQ), the table is dated 2024-03 (line 14, "
            "DATE)\n");
  EXPECT_EQ(Backups(), "");
}

}  // namespace
}  // namespace sbrep::test
