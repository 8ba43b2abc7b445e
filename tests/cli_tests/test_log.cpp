// The call log: what a host's call left, as support reads it.
#include "cli_tests/cli_test.h"

#include "cli/places.h"
#include "platform/filesystem.h"
#include "transfer/call_log.h"

namespace sbrep::test {
namespace {

// The call log: what a host's call left, as support reads it.

TEST_F(Cli, TheLogShowsTheDetailOfACallThatFailedInTheLibrary) {
  MakeFolder(profile_.Join("local"));  // %LOCALAPPDATA% is there to begin with
  const std::string good = PutExport("transfer/vat-worked-example.xml", "发票.xml");
  const std::string bad = PutExportBytes(
      Replaced(ReadData("transfer/vat-worked-example.xml"), "<Amount>", "<Amount>1,200.00"),
      "坏.xml");
  ASSERT_EQ(Sbrep({"call", "3", bad}).status, 1);
  ASSERT_EQ(Sbrep({"check", "3", bad}).status, 3);
  ASSERT_EQ(Sbrep({"transfer", "3", good, "--backup-dir", backups_.path()}).status, 0);

  const Outcome all = Sbrep({"log"});
  EXPECT_EQ(all.status, 0) << all.err;
  ASSERT_TRUE(
      Has(all.out, "  kind 3 (VAT schedule one)  -1  " +
                       GbkToUtf8ForTest(std::string(MessageBytes(Message::kXmlParseError))) + "\n"))
      << all.out;
  EXPECT_TRUE(Has(all.out, "\n    export: invoice 1 (SB_KPJK_FPMX): Amount '1,200.00")) << all.out;
  EXPECT_TRUE(Has(all.out, "  0  transferred\n")) << all.out;
  EXPECT_EQ(std::count(all.out.begin(), all.out.end(), '\n'), 3) << "a check is not logged";

  // A cut-off write is named and skipped; the lines around it stand.
  const std::string log = *CallLogFolder();
  WriteBytes(CallLogPath(log), ReadBytes(CallLogPath(log)) + "{\"time\":\"20");
  const Outcome failed = Sbrep({"log", "--failed", "--json"});
  EXPECT_EQ(failed.status, 0);
  EXPECT_EQ(failed.err,
            "line 3 of calls.log cannot be read (cut off, or of a newer format); skipped\n");
  const Json line = Json::parse(failed.out);
  EXPECT_EQ(line["result"], -1);
  EXPECT_EQ(line["fault"], "export");
  EXPECT_EQ(line["export"], bad);
  EXPECT_EQ(line["export_size"], ReadBytes(bad).size());
  EXPECT_EQ(line["table_size_before"], line["table_size_after"]);
  EXPECT_EQ(line["program"], cli::ProgramPath());
  const Outcome last = Sbrep({"log", "-n", "1"});
  EXPECT_TRUE(Has(last.out, "  0  transferred\n")) << last.out;
  EXPECT_EQ(std::count(last.out.begin(), last.out.end(), '\n'), 1) << last.out;
}

// Whatever a path or a detail holds, a line is one JSON object of UTF-8.
TEST(CallLogLine, IsOneJsonObjectWhateverItQuotes) {
  CallRecord record;
  record.facts.xml_path = std::string("C:\\a \"b\"\n\t\x01\x7f \xE5\xAF\xBC \xFF\xC3(");
  record.outcome.result = -1;
  record.outcome.message = Message::kProcessingFailed;
  record.outcome.error = Error(Message::kProcessingFailed, Fault::kTable, std::string(5000, 'd'));
  const std::string text = CallLogLine(record);
  ASSERT_EQ(text.find('\n'), text.size() - 1);
  const Json line = Json::parse(text);
  EXPECT_EQ(line["export"], "C:\\a \"b\"\n\t\x01\x7f \xE5\xAF\xBC \xEF\xBF\xBD\xEF\xBF\xBD(");
  EXPECT_EQ(line["message"],
            GbkToUtf8ForTest(std::string(MessageBytes(Message::kProcessingFailed))));
  EXPECT_LT(line["detail"].get<std::string>().size(), 5000u) << "a long detail is cut";
  EXPECT_TRUE(line["table"].is_null());
  EXPECT_EQ(line["recovery"], "none");
}

}  // namespace
}  // namespace sbrep::test
