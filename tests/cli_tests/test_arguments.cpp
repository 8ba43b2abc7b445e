// The command line's mistakes, and JSON whatever happens.
#include "cli_tests/cli_test.h"

#include <algorithm>
#include <ostream>

namespace sbrep::test {
namespace {

// A mistake on the command line and the words that tell it.
struct UsageCase {
  const char* name;
  Strings args;
  const char* said;
};

void PrintTo(const UsageCase& c, std::ostream* out) { *out << c.name; }

class UsageErrors : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageErrors, SayWhatWasWrongInOneLineAnd64) {
  const UsageCase& c = GetParam();
  const Outcome run = Sbrep(c.args);
  EXPECT_EQ(run.status, 64);
  // Only a JSON object, where one was asked for.
  const bool json = std::find(c.args.begin(), c.args.end(), "--json") != c.args.end();
  EXPECT_EQ(run.out.empty(), !json) << run.out;
  ASSERT_FALSE(run.err.empty());
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  EXPECT_EQ(run.err.rfind("sbrep: ", 0), 0u) << run.err;
  EXPECT_TRUE(Has(run.err, c.said)) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    CliOptions, UsageErrors,
    ::testing::Values(
        UsageCase{"NoCommand", {}, "a command is needed: check, transfer, restore, call or log"},
        UsageCase{"MistypedCommand",
                  {"chek", "1", "x.xml"},
                  "unknown command 'chek'; did you mean 'check'?"},
        UsageCase{"CommandInCapitals",
                  {"Check", "1", "x.xml"},
                  "unknown command 'Check'; did you mean 'check'?"},
        UsageCase{"SwappedLetters",
                  {"tranfser", "1", "x.xml"},
                  "unknown command 'tranfser'; did you mean 'transfer'?"},
        UsageCase{"VersionAsACommand",
                  {"version"},
                  "unknown command 'version'; did you mean '--version'?"},
        UsageCase{"UnknownCommand",
                  {"file", "1", "x.xml"},
                  "unknown command 'file'; the commands are check, transfer"},
        UsageCase{"CheckWithoutOperands", {"check"}, "check needs KIND and EXPORT"},
        UsageCase{"CheckWithoutExport", {"check", "1"}, "check needs EXPORT"},
        UsageCase{"KindOutOfRange",
                  {"check", "4", "x.xml"},
                  "KIND must be 1, 2, 3, balance-sheet, income-statement or "
                  "vat-schedule-one, not '4'"},
        UsageCase{"KindZero", {"check", "0", "x.xml"}, "not '0'"},
        UsageCase{"KindNegative", {"check", "-1", "x.xml"}, "not '-1'"},
        UsageCase{"KindInCapitals",
                  {"check", "Balance-Sheet", "x.xml"},
                  "not 'Balance-Sheet'; did you mean 'balance-sheet'?"},
        UsageCase{"KindPrefix", {"transfer", "vat", "x.xml"}, "not 'vat'"},
        UsageCase{"OneOperandTooMany",
                  {"check", "1", "x.xml", "extra.xml"},
                  "check takes KIND and EXPORT; 'extra.xml' is one too "
                  "many"},
        UsageCase{"UnknownOption",
                  {"check", "1", "x.xml", "--frobnicate"},
                  "unknown option '--frobnicate'; sbrep help check"},
        UsageCase{"MistypedOption",
                  {"check", "1", "x.xml", "--clinet", "d"},
                  "unknown option '--clinet'; did you mean "
                  "'--client'?"},
        UsageCase{
            "OptionWithoutValue", {"check", "1", "x.xml", "--client"}, "option --client needs DIR"},
        UsageCase{
            "FlagWithValue", {"check", "1", "x.xml", "--json=yes"}, "option --json takes no value"},
        UsageCase{"JsonAndQuiet",
                  {"check", "1", "x.xml", "--json", "--quiet"},
                  "--json and --quiet do not go together"},
        UsageCase{"OptionOfAnotherCommand",
                  {"call", "1", "x.xml", "--backup-dir", "d"},
                  "option --backup-dir does not go with call"},
        UsageCase{"ClientTwice",
                  {"check", "1", "x.xml", "--client", "a", "--client", "b"},
                  "option --client is given twice; give it once"},
        UsageCase{"BackupDirTwice",
                  {"transfer", "1", "x.xml", "--backup-dir=a", "--backup-dir", "a"},
                  "option --backup-dir is given twice"},
        UsageCase{"EncodingTwice",
                  {"check", "1", "x.xml", "--encoding", "auto", "--encoding=utf-8"},
                  "option --encoding is given twice"},
        UsageCase{"BlankBackupDir",
                  {"transfer", "1", "x.xml", "--backup-dir", " \t"},
                  "--backup-dir takes a folder, not empty text"},
        UsageCase{"ClientWithCall",
                  {"call", "1", "x.xml", "--client", "d"},
                  "option --client does not go with call"},
        UsageCase{"UnknownEncoding",
                  {"check", "1", "x.xml", "--encoding", "gbk"},
                  "--encoding takes utf-8 or auto, not 'gbk'"},
        UsageCase{
            "ListWithBackup", {"restore", "--list", "x.dat"}, "restore --list takes no BACKUP"},
        UsageCase{"VersionAfterCommand", {"check", "-V"}, "option -V does not go with check"},
        UsageCase{"UnknownOptionBeforeCommand", {"--frobnicate"}, "unknown option '--frobnicate'"},
        UsageCase{"HelpOfMistypedCommand",
                  {"help", "chek"},
                  "unknown command 'chek'; did you mean 'check'?"},
        UsageCase{"OffAndOn", {"log", "--off", "--on"}, "--off and --on do not go together"},
        UsageCase{"OffWithJson", {"log", "--off", "--json"}, "--off goes alone with log"},
        UsageCase{"CountZero",
                  {"log", "-n", "0"},
                  "-n takes a number of calls from 1 to 999999, not '0'"},
        UsageCase{"LogWithOperand", {"log", "calls.log"}, "log takes no operand"}),
    [](const auto& info) { return std::string(info.param.name); });

// A script that asked for JSON gets one object whatever happens.
TEST(CliOptions, JsonIsOneObjectEvenForAUsageErrorOrTheHelp) {
  const Outcome usage = Sbrep({"check", "4", "x.xml", "--json"});
  EXPECT_EQ(usage.status, 64);
  EXPECT_TRUE(Has(usage.err, "sbrep: KIND must be ")) << usage.err;
  const Json error = Parsed(usage);
  EXPECT_EQ(error["command"], "check");
  EXPECT_EQ(error["ok"], false);
  EXPECT_EQ(error["exit_status"], 64);
  EXPECT_EQ(error["fault"], "usage");
  EXPECT_EQ(error["detail"], usage.err.substr(7, usage.err.size() - 8));
  EXPECT_TRUE(Parsed(Sbrep({"--json", "--frobnicate"}))["command"].is_null());
  EXPECT_EQ(Parsed(Sbrep({"transfer", "1", "x.xml", "--json", "--client", " "}))["command"],
            "transfer");

  const Outcome help = Sbrep({"check", "--json", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(Parsed(help), Json({{"help", Sbrep({"help", "check"}).out}}));
  // What follows "--" is an operand, not the option.
  EXPECT_EQ(Sbrep({"check", "1", "--", "--json", "x.xml"}).out, "");
}

}  // namespace
}  // namespace sbrep::test
