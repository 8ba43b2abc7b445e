#include "cli_tests/cli_test.h"

#include <sstream>

#include "cli/backup.h"

namespace sbrep::test {

Outcome Sbrep(const Strings& args, const std::string& input) {
  std::ostringstream out;
  std::ostringstream err;
  std::istringstream in(input);
  cli::Console console{out, err, in, false, false, {}};
  Outcome run;
  run.status = cli::RunCli(args, console);
  run.out = out.str();
  run.err = err.str();
  return run;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string Shown(Message message) {
  return GbkToUtf8ForTest(std::string(MessageBytes(message))) + " (" +
         std::string(MessageGloss(message)) + ")";
}

const Kind kKinds[3] = {
    {"1", "balance-sheet", "TABLE08.dat", "transfer/TABLE08.dat", "transfer/balance-sheet.xml"},
    {"2", "income-statement", "TABLE09.dat", "transfer/TABLE09.dat",
     "transfer/income-statement.xml"},
    {"3", "vat-schedule-one", "TABLE02.dat", "transfer/TABLE02.dat",
     "transfer/vat-worked-example.xml"},
};

std::string OnlyBackup(const std::string& folder) {
  const auto entries = cli::ListBackups(folder);
  EXPECT_EQ(entries.size(), 1u);
  return entries.empty() ? std::string() : entries[0].name.file;
}

Json Parsed(const Outcome& run) {
  const Json json = Json::parse(run.out, nullptr, false);
  EXPECT_FALSE(json.is_discarded()) << run.out;
  EXPECT_TRUE(json.is_object()) << run.out;
  return json;
}

}  // namespace sbrep::test
