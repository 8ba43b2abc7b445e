// The help, as Windows and POSIX users ask for it, and the exit statuses
// it and the guide tell.
#include "cli_tests/cli_test.h"

#include <set>

#include "cli/exit_status.h"

namespace sbrep::test {
namespace {

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// One usage block each; a command's help shows its own exit statuses.
TEST(CliOptions, HelpAsWindowsAndPosixUsersAskForIt) {
  const std::string help = Sbrep({"--help"}).out;
  EXPECT_EQ(Count(help, "Usage"), 1u) << help;
  EXPECT_TRUE(Has(help, "Examples:\n  sbrep check ")) << help;
  for (const Strings& args : {Strings{"-h"}, Strings{"-?"}, Strings{"/?"}, Strings{"help"}}) {
    const Outcome run = Sbrep(args);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, help);
  }
  const struct {
    const char* command;
    const char* own;    // in its own help
    const char* other;  // another command's, not in it
  } commands[] = {
      {"check", "  3    the export is at fault", "transferred"},
      {"transfer", "  1    not transferred", "ready to file"},
      {"restore", "  1    not confirmed", "ready to file"},
      {"call", "  2    the library cannot be loaded", "ready to file"},
  };
  for (const auto& c : commands) {
    SCOPED_TRACE(c.command);
    const std::string own = Sbrep({"help", c.command}).out;
    EXPECT_EQ(Count(own, "Usage"), 1u) << own;
    EXPECT_EQ(own.rfind(std::string("Usage: sbrep ") + c.command + " ", 0), 0u) << own;
    EXPECT_TRUE(Has(own, c.own)) << own;
    EXPECT_FALSE(Has(own, c.other)) << own;
    EXPECT_EQ(Sbrep({c.command, "--help"}).out, own);
    EXPECT_EQ(Sbrep({c.command, "/?"}).out, own);
    EXPECT_EQ(Sbrep({c.command, "1", "x.xml", "-h"}).out, own);
  }
}

// The cells of a row of a Markdown table, trimmed, without backquotes.
Strings Cells(const std::string& row) {
  Strings cells;
  std::string cell;
  for (std::size_t i = 1; i < row.size(); ++i) {
    if (row[i] != '|') {
      if (row[i] != '`') cell += row[i];
      continue;
    }
    const auto first = cell.find_first_not_of(' ');
    cells.push_back(first == std::string::npos
                        ? ""
                        : cell.substr(first, cell.find_last_not_of(' ') - first + 1));
    cell.clear();
  }
  return cells;
}

// The guide's table of exit statuses says which statuses each command ends
// with, as the tool's own table does.
TEST(CliOptions, TheGuidesExitStatusesAreTheTools) {
  const std::string guide = ReadBytes(SBREP_DOCS "/tool.md");
  const auto heading = guide.find("\n## Exit statuses\n");
  ASSERT_NE(heading, std::string::npos);
  const auto table = guide.find("\n|", heading);
  const auto end = guide.find("\n\n", table);
  std::vector<Strings> rows;
  for (auto at = table; at < end; at = guide.find('\n', at + 1)) {
    rows.push_back(Cells(guide.substr(at + 1, guide.find('\n', at + 1) - at - 1)));
  }
  ASSERT_GT(rows.size(), 2u);
  const Strings& columns = rows[0];
  std::set<int> statuses;
  for (std::size_t r = 2; r < rows.size(); ++r) {
    const int status = std::stoi(rows[r][0]);
    statuses.insert(status);
    const cli::ExitStatusEntry* entry = nullptr;
    for (const auto& e : cli::ExitStatuses()) {
      if (e.status == status) entry = &e;
    }
    ASSERT_NE(entry, nullptr) << status << " is no status of the tool";
    for (std::size_t c = 1; c < columns.size(); ++c) {
      cli::Command command = cli::Command::kNone;
      for (auto each : {cli::Command::kCheck, cli::Command::kTransfer, cli::Command::kRestore,
                        cli::Command::kCall, cli::Command::kLog}) {
        if (columns[c] == cli::CommandName(each)) command = each;
      }
      ASSERT_NE(command, cli::Command::kNone) << columns[c];
      EXPECT_EQ(rows[r][c] != "—", cli::ExitMeaning(*entry, command) != nullptr)
          << "status " << status << " of " << columns[c] << ": " << rows[r][c];
    }
  }
  EXPECT_EQ(statuses.size(), cli::ExitStatuses().size()) << "a status the guide does not list";
}

}  // namespace
}  // namespace sbrep::test
