// The terminal: lines as they end, the code page of redirected text, and
// the progress line.
#include "cli_tests/cli_test.h"

#include "cli/console.h"
#include "cli/progress_line.h"
#include "harness/process.h"

namespace sbrep::test {
namespace {

// The terminal.

TEST(CliTerminal, LinesLeaveAsTheyEndAndNoCharacterIsSplit) {
  std::vector<std::string> sent;
  cli::TerminalBuffer buffer([&](std::string_view text) {
    sent.emplace_back(text);
    return true;
  });
  std::ostream stream(&buffer);
  stream << "first";
  EXPECT_TRUE(sent.empty());
  stream << " line\nsecond";
  EXPECT_EQ(sent, Strings({"first line\n"}));
  stream << " \xE6\xB2" << std::flush;  // the first two bytes of 没
  EXPECT_EQ(sent, Strings({"first line\n", "second "}));
  stream << "\xA1\n";
  EXPECT_EQ(sent, Strings({"first line\n", "second ", "\xE6\xB2\xA1\n"}));
  stream << "\rprogress" << std::flush;
  EXPECT_EQ(sent.back(), "\rprogress");
}

// A redirected report reads right where it lands: the console's code page
// and CR LF on Windows, as `type` shows it; UTF-8 when a script asks.
TEST(CliTerminal, RedirectedTextIsInTheCodePageOfItsReaders) {
  const std::string text = "message: 没有安装申报软件!\ndetail: x\n";
  EXPECT_EQ(cli::RedirectedBytes(text, cli::OutputEncoding::kAuto), RedirectedForm(text));
  EXPECT_EQ(cli::RedirectedBytes(text, cli::OutputEncoding::kUtf8), text);
}

TEST(CliTerminal, ProgressShowsOnceAReadTakesASecond) {
  EXPECT_EQ(cli::ProgressText(0, 0), "reading the export: 0.0 MB");
  EXPECT_EQ(cli::ProgressText(3 << 19, 3 << 20), "reading the export: 50% (1.5 of 3.0 MB)");
  EXPECT_EQ(cli::ProgressText(5, 4), "reading the export: 100% (0.0 of 0.0 MB)");
  {
    std::ostringstream off;
    cli::ProgressLine line(off, false);
    EXPECT_FALSE(static_cast<bool>(line.callback()));
  }
  std::ostringstream quick;
  {
    cli::ProgressLine line(quick, true);
    line.callback()(10, 100);
    line.Stop();
  }
  EXPECT_EQ(quick.str(), "") << "a read that ends at once shows nothing";
  std::ostringstream slow;
  {
    cli::ProgressLine line(slow, true);
    line.callback()(50 << 20, 100 << 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    line.Stop();
  }
  const std::string shown = "\rreading the export: 50% (50.0 of 100.0 MB)";
  EXPECT_EQ(slow.str().substr(0, shown.size()), shown);
  const std::string cleared = "\r" + std::string(shown.size() - 1, ' ') + "\r";
  EXPECT_EQ(slow.str().substr(slow.str().size() - cleared.size()), cleared)
      << "the line is cleared";
}

}  // namespace
}  // namespace sbrep::test
