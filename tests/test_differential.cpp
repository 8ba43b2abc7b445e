// The one-pass reader against the XML stage it replaced, on the platform's
// whole-document parser: every fixture, every input of the fuzz corpus, and
// a few thousand exports made up near the edges, each read as all three
// kinds. Natively the oracle is libxml2's tree; under Wine it is MSXML, so
// that what the platform's parser read is still read the same.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "oracle/compare.h"
#include "support/generated_exports.h"
#include "support/support.h"

namespace sbrep {
namespace {

using oracle::Compare;
using test::DataPath;

// The table each kind builds on, from the fixtures.
TableLines OldLines(const KindEntry& kind) {
  return SplitTableLines(test::ReadData("transfer/" + std::string(kind.file_name)));
}

// Reads the export as each kind; returns how many of them read it.
int ExpectSame(const std::string& path, const std::string& what, bool bad_bytes = false) {
  int read = 0;
  for (const KindEntry& kind : kTableKinds) {
    const oracle::Verdict verdict =
        Compare(kind, path, OldLines(kind), oracle::BuildOracle(), bad_bytes);
    EXPECT_TRUE(verdict.same) << what << ", read as the " << kind.title << ": " << verdict.why;
    if (verdict.read) ++read;
  }
  return read;
}

std::vector<std::string> FilesBelow(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(std::filesystem::u8path(folder))) {
    if (entry.is_regular_file() && entry.path().extension() == ".xml") {
      const auto u8 = entry.path().u8string();
      files.emplace_back(u8.begin(), u8.end());
    }
  }
  return files;
}

TEST(Differential, EveryFixtureAndCorpusInput) {
  // The fuzz corpus starts from the fixtures and the examples.
  std::vector<std::string> files = FilesBelow(test::DataRoot());
  for (const auto& file : FilesBelow(DataPath("../../examples"))) files.push_back(file);
  ASSERT_GE(files.size(), 30u);
  for (const auto& file : files) ExpectSame(file, file);
}

TEST(Differential, GeneratedExports) {
  test::ScratchFolder scratch;
  const std::string path = scratch.Join("generated.xml");
  const std::uint32_t count = 2000;
  std::uint32_t read = 0;
  for (std::uint32_t seed = 1; seed <= count; ++seed) {
    const test::GeneratedExport made = test::GenerateExport(seed);
    test::WriteBytes(path, made.bytes);
    read += ExpectSame(path, "seed " + std::to_string(seed) + " (" + made.shape + ")",
                       made.shape.find("bad bytes") != std::string::npos);
    if (HasFailure()) return;  // the first is the one worth reading
  }
  // Most exports fail somewhere, as intended; enough must be read whole for
  // the values to be compared too.
  EXPECT_GT(read, count / 5) << read << " of " << count << " exports read";
  std::printf("%u of %u generated exports read\n", read, count);
}

}  // namespace
}  // namespace sbrep
