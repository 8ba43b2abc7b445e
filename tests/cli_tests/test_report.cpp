// The report as JSON and --quiet, for scripts.
#include "cli_tests/cli_test.h"

#include "cli/shown_text.h"

namespace sbrep::test {
namespace {

TEST_F(Cli, JsonHoldsTheVerdictTheMessageTheSummaryAndTheChangedLines) {
  const std::string vat = PutExport("transfer/vat-worked-example.xml", "发票.xml");
  const Json ready = Parsed(Sbrep({"check", "3", vat, "--json"}));
  EXPECT_EQ(ready["command"], "check");
  EXPECT_EQ(ready["kind"], 3);
  EXPECT_EQ(ready["export"], vat);
  EXPECT_EQ(ready["ok"], true);
  EXPECT_EQ(ready["verdict"], "ready to file: a transfer would save TABLE02.dat");
  EXPECT_EQ(ready["exit_status"], 0);
  EXPECT_TRUE(ready["fault"].is_null());
  EXPECT_TRUE(ready["message"].is_null());
  EXPECT_EQ(ready["table"], client_.folder() + "\\Dexlan\\ICDAT\\TABLE02.dat");
  EXPECT_EQ(ready["warnings"], Json::array());
  const Json& summary = ready["summary"];
  EXPECT_EQ(summary["invoices"], 7);
  EXPECT_EQ(summary["voided"], 1);
  ASSERT_EQ(summary["totals"].size(), 12u);
  EXPECT_EQ(summary["totals"][0],
            Json::parse(R"({"kind":0,"rate":17,"line":3,"count":2,"amount":"1200.50",)"
                        R"("tax":"204.09"})"));
  EXPECT_TRUE(summary["totals"][4]["line"].is_null()) << "kind 1 is on no line";
  const Json& changed = ready["changed_lines"];
  ASSERT_EQ(changed.size(), 4u);
  const int lines[] = {3, 5, 10, 12};
  const Strings filed = Lines(ReadData("transfer/TABLE02-worked-example.dat"));
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(changed[i]["line"], lines[i]);
    EXPECT_EQ(changed[i]["new"], filed[static_cast<std::size_t>(lines[i] - 1)]);
  }

  const Json broken =
      Parsed(Sbrep({"check", "3", PutExport("cli/vat-grouped-amount.xml", "坏.xml"), "--json"}));
  EXPECT_EQ(broken["ok"], false);
  EXPECT_EQ(broken["exit_status"], 3);
  EXPECT_EQ(broken["fault"], "export");
  EXPECT_EQ(broken["message"]["gbk_hex"],
            cli::HexBytes(std::string(MessageBytes(Message::kXmlParseError))));
  EXPECT_EQ(broken["message"]["text"], "XML文件解析出错!");
  EXPECT_EQ(broken["detail"], "invoice 2 (SB_KPJK_FPMX): Amount '1,200.00' is not a number");
  EXPECT_TRUE(broken["summary"].is_null());

  const Json transferred =
      Parsed(Sbrep({"transfer", "3", vat, "--json", "--backup-dir", backups_.path()}));
  EXPECT_EQ(transferred["command"], "transfer");
  EXPECT_EQ(transferred["result"], 0);
  EXPECT_EQ(transferred["exit_status"], 0);
  EXPECT_EQ(ReadBytes(transferred["backup"].get<std::string>()), ReadData("transfer/TABLE02.dat"));
  EXPECT_EQ(transferred["changed_lines"].size(), 4u);

  client_.registry().Remove();
  const Json failed = Parsed(Sbrep({"transfer", "3", vat, "--json"}));
  EXPECT_EQ(failed["result"], -1);
  EXPECT_EQ(failed["exit_status"], 1);
  EXPECT_EQ(failed["fault"], "install");
  EXPECT_EQ(failed["message"]["gloss"], "the filing client is not installed");
  EXPECT_TRUE(failed["backup"].is_null());
}

TEST_F(Cli, QuietPrintsTheVerdictAlone) {
  const std::string good = PutExport("transfer/income-statement.xml", "syb.xml");
  const std::string bad = PutExport("cli/income-statement-not-well-formed.xml", "bad.xml");
  const Outcome ready = Sbrep({"check", "2", good, "--quiet"});
  EXPECT_EQ(ready.out, "ready to file: a transfer would save TABLE09.dat\n");
  EXPECT_EQ(ready.err, "");
  const Outcome failed = Sbrep({"check", "2", bad, "--quiet"});
  EXPECT_EQ(failed.status, 3);
  EXPECT_EQ(failed.out, "");
  EXPECT_EQ(failed.err, "not ready to file: the export is at fault\n");
  const Outcome done = Sbrep({"transfer", "2", good, "--quiet", "--backup-dir", backups_.path()});
  EXPECT_EQ(done.out, "transferred: the income statement is in TABLE09.dat\n");
  EXPECT_EQ(done.err, "");
}

}  // namespace
}  // namespace sbrep::test
