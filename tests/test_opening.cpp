// The checks every transfer runs before it opens a file: their order, their
// messages, and what counts as a folder or a file.
#include <gtest/gtest.h>

#include "core/error.h"
#include "install/filing_client.h"
#include "support/support.h"
#include "transfer/table_kinds.h"

namespace sbrep {
namespace {

using test::FilingClient;
using test::ScratchFolder;

// The checks for the table file of a kind, as a transfer runs them.
OpeningPaths Open(TableKind kind, const std::string& xml_path,
                  const std::optional<std::string>& client_folder = std::nullopt) {
  const KindEntry& entry = EntryOf(kind);
  return RunOpeningSequence(entry.file_name, entry.missing_table, xml_path, client_folder);
}

std::string TableFileName(TableKind kind) { return std::string(EntryOf(kind).file_name); }

// The message of the check that fails, or kEmpty when all pass.
Message FirstFailure(TableKind kind, const std::string& xml_path) {
  try {
    Open(kind, xml_path);
  } catch (const Error& e) {
    EXPECT_EQ(e.fault(), Fault::kInstall);
    return e.message();
  }
  return Message::kEmpty;
}

class OpeningSequence : public ::testing::Test {
 protected:
  void SetUp() override {
    export_path_ = client_.scratch().Join("export.xml");
    test::WriteBytes(export_path_, "<DZSBB/>");
    for (const char* name : {"TABLE08.dat", "TABLE09.dat", "TABLE02.dat"}) {
      client_.PutTable(name, "x\r\n");
    }
  }

  FilingClient client_;
  std::string export_path_;
};

TEST_F(OpeningSequence, PassesWithEverythingInPlace) {
  for (TableKind kind :
       {TableKind::kBalanceSheet, TableKind::kIncomeStatement, TableKind::kVatScheduleOne}) {
    const OpeningPaths paths = Open(kind, export_path_);
    EXPECT_EQ(paths.table_path, client_.folder() + "\\Dexlan\\ICDAT\\" + TableFileName(kind));
    EXPECT_EQ(paths.xml_path, export_path_);
  }
}

TEST_F(OpeningSequence, EachCheckHasItsMessageAndTheEarliestWins) {
  client_.registry().Remove();
  EXPECT_EQ(FirstFailure(TableKind::kBalanceSheet, "missing.xml"), Message::kNotInstalled);
  client_.registry().SetString("   ");
  EXPECT_EQ(FirstFailure(TableKind::kBalanceSheet, export_path_), Message::kNotInstalled);

  client_.registry().SetString(client_.scratch().Join("elsewhere"));
  EXPECT_EQ(FirstFailure(TableKind::kIncomeStatement, "missing.xml"),
            Message::kInstallFolderMissing)
      << "neither the folder nor the export exists: the folder check comes first";
  client_.registry().SetString(export_path_);
  EXPECT_EQ(FirstFailure(TableKind::kIncomeStatement, export_path_), Message::kInstallFolderMissing)
      << "a file is not a folder";
  client_.registry().SetString(client_.folder() + ";" + client_.folder());
  EXPECT_EQ(FirstFailure(TableKind::kIncomeStatement, export_path_), Message::kInstallFolderMissing)
      << "a list of folders is one folder name";
  client_.registry().SetString(" " + client_.folder());
  EXPECT_EQ(FirstFailure(TableKind::kIncomeStatement, export_path_), Message::kInstallFolderMissing)
      << "the leading blank is part of the name";

  client_.registry().SetString(client_.folder());
  EXPECT_EQ(FirstFailure(TableKind::kVatScheduleOne, "missing.xml"), Message::kExportMissing);
  EXPECT_EQ(FirstFailure(TableKind::kVatScheduleOne, ""), Message::kExportMissing);
  EXPECT_EQ(FirstFailure(TableKind::kVatScheduleOne, client_.folder()), Message::kExportMissing)
      << "a folder is not an export";
  EXPECT_EQ(FirstFailure(TableKind::kVatScheduleOne, " " + export_path_), Message::kExportMissing)
      << "the export's path is taken with its blanks";
}

TEST_F(OpeningSequence, AMissingTableNamesTheSelectedKind) {
  struct Case {
    TableKind kind;
    Message message;
  };
  const TableKind kinds[] = {TableKind::kBalanceSheet, TableKind::kIncomeStatement,
                             TableKind::kVatScheduleOne};
  for (const Case& c : {Case{TableKind::kBalanceSheet, Message::kBalanceSheetMissing},
                        Case{TableKind::kIncomeStatement, Message::kIncomeStatementMissing},
                        Case{TableKind::kVatScheduleOne, Message::kVatScheduleOneMissing}}) {
    FilingClient client;
    // The other kinds' tables are there; they play no part.
    for (TableKind other : kinds) {
      if (other != c.kind) client.PutTable(TableFileName(other), "x\r\n");
    }
    EXPECT_EQ(FirstFailure(c.kind, export_path_), c.message);
    test::MakeFolder(client.TablePath(TableFileName(c.kind)));
    EXPECT_EQ(FirstFailure(c.kind, export_path_), c.message) << "a folder is not a table file";
  }
  ScratchFolder bare;
  client_.registry().SetString(bare.path());
  EXPECT_EQ(FirstFailure(TableKind::kIncomeStatement, export_path_),
            Message::kIncomeStatementMissing)
      << "an install without Dexlan\\ICDAT";
}

// The detail says what stands at a path: a folder where a file should be is
// no missing file.
TEST_F(OpeningSequence, TheDetailNamesAFolderWhereAFileShouldBe) {
  const auto detail = [&](TableKind kind, const std::string& xml) {
    try {
      Open(kind, xml);
    } catch (const Error& e) {
      return e.detail();
    }
    return std::string("passed");
  };
  const std::string folder = client_.scratch().Join("exports.xml");
  test::MakeFolder(folder);
  EXPECT_EQ(detail(TableKind::kBalanceSheet, folder),
            "the export '" + folder + "' is a folder, not a file");
  EXPECT_EQ(detail(TableKind::kBalanceSheet, folder + "x"),
            "the export '" + folder + "x' does not exist");

  FilingClient client;
  test::MakeFolder(client.TablePath("TABLE09.dat"));
  EXPECT_EQ(detail(TableKind::kIncomeStatement, export_path_),
            "the table file '" + client.folder() +
                "\\Dexlan\\ICDAT\\TABLE09.dat' is a folder, not a file");
  client.registry().SetString(export_path_);
  EXPECT_EQ(detail(TableKind::kIncomeStatement, export_path_),
            "the install folder '" + export_path_ + "' is a file, not a folder");
}

TEST_F(OpeningSequence, APipeIsNotAFile) {
  const std::string pipe = client_.scratch().Join("export-pipe.xml");
  if (!test::MakePipe(pipe)) GTEST_SKIP() << "no named pipes here";
  // Reading it would block the call for good.
  EXPECT_EQ(FirstFailure(TableKind::kVatScheduleOne, pipe), Message::kExportMissing);
}

TEST_F(OpeningSequence, AQuotedFolderIsTheFolderInsideTheQuotes) {
  client_.registry().SetString("\"" + client_.folder() + "\"");
  const OpeningPaths paths = Open(TableKind::kBalanceSheet, export_path_);
  EXPECT_EQ(paths.table_path, client_.folder() + "\\Dexlan\\ICDAT\\TABLE08.dat");
}

TEST_F(OpeningSequence, ATrailingSeparatorIsKeptInTheTablePath) {
  client_.registry().SetString(client_.folder() + "\\");
  const OpeningPaths paths = Open(TableKind::kVatScheduleOne, export_path_);
  EXPECT_EQ(paths.table_path, client_.folder() + "\\\\Dexlan\\ICDAT\\TABLE02.dat");
}

TEST_F(OpeningSequence, AGivenClientFolderStandsInForTheRegistry) {
  client_.registry().Remove();
  const OpeningPaths paths = Open(TableKind::kBalanceSheet, export_path_, client_.folder());
  EXPECT_EQ(paths.table_path, client_.folder() + "\\Dexlan\\ICDAT\\TABLE08.dat");
}

}  // namespace
}  // namespace sbrep
