// The deployed library beside the tool, as a host meets it, and --version.
#include "cli_tests/cli_test.h"

#include "cli/places.h"
#include "cli/shown_text.h"
#include "platform/filesystem.h"

namespace sbrep::test {
namespace {

// The deployed library beside the tool, as a host meets it.

TEST_F(Cli, CallRunsTheLibraryBesideTheTool) {
  const std::string vat = PutExport("transfer/vat-worked-example.xml", "发票.xml");
  const Outcome done = Sbrep({"call", "3", vat});
  EXPECT_EQ(done.status, 0) << done.err;
  EXPECT_TRUE(
      Has(done.out, "library: " + fs::FolderOf(cli::ProgramPath()) + cli::LibraryFileName() + "\n"))
      << done.out;
  EXPECT_TRUE(Has(done.out, "\nresult: 0\nmessage buffer: untouched\n")) << done.out;
  EXPECT_EQ(Table("TABLE02.dat"), ReadData("transfer/TABLE02-worked-example.dat"));
  EXPECT_EQ(Backups(), "") << "a host's call takes no backup";

  const std::string bytes(MessageBytes(Message::kExportMissing));
  const Outcome failed = Sbrep({"call", "1", exports_.Join("缺少.xml")});
  EXPECT_EQ(failed.status, 1);
  EXPECT_TRUE(Has(failed.out,
                  "\nresult: -1\nmessage bytes: " + cli::HexBytes(bytes, " ") +
                      " (27 bytes, then a NUL)\nmessage: " + Shown(Message::kExportMissing) + "\n"))
      << failed.out;

  const Outcome missing = Sbrep({"call", "1", vat, "--dll", exports_.Join("sbrep.dll")});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err.rfind("not called: cannot load " + exports_.Join("sbrep.dll") + ": ", 0),
            0u)
      << missing.err;
}

TEST(CliVersion, NamesTheToolAndTheLibraryBesideIt) {
  const Outcome version = Sbrep({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("sbrep " SBREP_VERSION ", ", 0), 0u) << version.out;
  const std::string library = fs::FolderOf(cli::ProgramPath()) + cli::LibraryFileName();
  EXPECT_TRUE(Has(version.out,
                  "the " + std::string(cli::LibraryFileName()) + " beside it: " + library + "\n"))
      << version.out;
  // Only the Windows DLL carries a version resource.
  if (cli::LibraryFileName() == std::string("sbrep.dll")) {
    // Three parts or four, as the resource has them.
    EXPECT_TRUE(Has(version.out, "  version: " SBREP_VERSION)) << version.out;
    EXPECT_TRUE(Has(version.out, " (file), " SBREP_VERSION)) << version.out;
    EXPECT_TRUE(Has(version.out, sizeof(void*) == 4 ? "  built for: x86 (PE machine 014c)\n"
                                                    : "  built for: x64 (PE machine 8664)\n"))
        << version.out;
  } else {
    EXPECT_TRUE(Has(version.out, "  version: no version resource found\n")) << version.out;
  }
  EXPECT_EQ(Sbrep({"-V"}).out, version.out);
  ScratchFolder none;
  EXPECT_TRUE(Has(Sbrep({"--version", "--dll", none.Join("sbrep.dll")}).out,
                  "library: none found at " + none.Join("sbrep.dll") + "\n"));
}

}  // namespace
}  // namespace sbrep::test
