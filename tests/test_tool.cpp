// The sbrep program itself, run as a person or a script runs it: the bytes
// that reach a redirected stream, and what Ctrl-C leaves behind.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "harness/host.h"
#include "harness/process.h"

namespace sbrep::test {
namespace {

class Tool : public ::testing::Test {
 protected:
  static Program Sbrep(const std::vector<std::string>& args) {
    return Program(BuiltProgram("sbrep"), args);
  }

  FilingClient client_;
  ScratchFolder scratch_;
};

// `type out.txt` in a Chinese console shows what a redirected run wrote.
TEST_F(Tool, RedirectedOutputIsInTheCodePageOfItsReaders) {
  const std::string xml = scratch_.Join("export.xml");
  WriteBytes(xml, "<DZSBB/>");
  const std::string table = client_.folder() + "\\Dexlan\\ICDAT\\TABLE08.dat";
  const std::string said =
      "not ready to file: the filing client or a file is missing\n"
      "message: 找不到资产负债表报表文件! (the balance sheet table file cannot be found)\n"
      "detail: the table file '" +
      table + "' does not exist\n";
  Program plain = Sbrep({"check", "1", xml, "--client", client_.folder()});
  ASSERT_TRUE(plain.started());
  const ProgramResult as_is = plain.Wait();
  EXPECT_EQ(as_is.status, 2);
  EXPECT_EQ(as_is.out, "");
  EXPECT_EQ(as_is.err, RedirectedForm(said));

  Program utf8 = Sbrep({"check", "1", xml, "--client", client_.folder(), "--encoding", "utf-8"});
  const ProgramResult scripted = utf8.Wait();
  EXPECT_EQ(scripted.status, 2);
  EXPECT_EQ(scripted.err, said);
}

// A reader that went away, or a full disk, loses what the tool says: a
// script must not read that as success.
TEST_F(Tool, AnOutputThatCannotBeWrittenIsStatus74) {
  const std::string xml = scratch_.Join("export.xml");
  WriteBytes(xml, "<DZSBB/>");
  const std::vector<std::string> runs[] = {
      {"--help"},
      {"check", "1", xml, "--client", client_.folder(), "--json"},
  };
  for (const auto& args : runs) {
    SCOPED_TRACE(args[0]);
    Program run = Sbrep(args);
    ASSERT_TRUE(run.started());
    run.CloseOutput();
    const ProgramResult result = run.Wait();
    EXPECT_EQ(result.status, 74);
    EXPECT_TRUE(result.err.find("sbrep: cannot write the output; what it shows is incomplete") !=
                std::string::npos)
        << result.err;
  }
}

// Ctrl-C while the export is read: the table is as it was, no temporary
// file or backup is left, and the tool says so before it ends; a script
// that asked for JSON gets its object.
TEST_F(Tool, CtrlCWhileTheExportIsReadLeavesEverythingAsItWasAndSaysSo) {
  if (!Program::CanInterrupt()) GTEST_SKIP() << "no Ctrl-C for a child without a console here";
  const std::string old_table =
      "[TABLE02]\r\nT00:x\r\nL01:1\r\nL02:1\r\nL01:1\r\nS01:\r\nL04:1\r\n"
      "L05:1\r\nS02:\r\nL01:1\r\nL06:1\r\nL01:1\r\n";
  client_.PutTable("TABLE02.dat", old_table);
  // Large enough that its read takes seconds.
  std::string xml = "<SB_KPJK><SB_KPJK_FPXX>";
  const std::string invoice =
      "<SB_KPJK_FPMX><Waste>0</Waste><InvKind>0</InvKind><TaxRate>17</TaxRate>"
      "<Amount>100.00</Amount><Tax>17.00</Tax></SB_KPJK_FPMX>\n";
  for (int i = 0; i < 400000; ++i) xml += invoice;
  xml += "</SB_KPJK_FPXX></SB_KPJK>";
  const std::string path = scratch_.Join("invoices.xml");
  WriteBytes(path, xml);
  const std::string backups = scratch_.Join("backups");
  const std::string listing = ListFolder(client_.scratch().Join("Dexlan/ICDAT"));

  for (const bool json : {false, true}) {
    SCOPED_TRACE(json ? "--json" : "text");
    std::vector<std::string> args = {"transfer", "3", path, "--backup-dir", backups};
    if (json) args.emplace_back("--json");
    Program run = Sbrep(args);
    ASSERT_TRUE(run.started());
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    ASSERT_TRUE(run.Interrupt());
    const ProgramResult result = run.Wait();
    EXPECT_EQ(result.status, 130);
    EXPECT_EQ(result.err, "sbrep: interrupted; TABLE02.dat was left as it was\n");
    EXPECT_EQ(result.out, json ? "{\n  \"command\": \"transfer\",\n  \"ok\": false,\n"
                                 "  \"interrupted\": true,\n  \"verdict\": \"interrupted; "
                                 "TABLE02.dat was left as it was\",\n  \"exit_status\": 130\n}\n"
                               : "");
    EXPECT_EQ(ReadBytes(client_.TablePath("TABLE02.dat")), old_table);
    EXPECT_EQ(ListFolder(client_.scratch().Join("Dexlan/ICDAT")), listing);
    EXPECT_EQ(ListFolder(backups), "");
  }
}

}  // namespace
}  // namespace sbrep::test
