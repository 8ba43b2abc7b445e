// The install-folder lookup: what counts as registered, and that a value is
// taken as stored, but for one pair of surrounding quotes.
#include <gtest/gtest.h>

#include "install/filing_client.h"
#include "support/support.h"

namespace sbrep {
namespace {

using test::RegistryValue;

TEST(ReadFilingClientPath, NothingUsableRegisteredReadsAsEmpty) {
  RegistryValue value;
  value.Remove();
  EXPECT_EQ(ReadFilingClientPath(), "") << "no key";
  value.KeyOnly();
  EXPECT_EQ(ReadFilingClientPath(), "") << "key without the value";
  value.SetDword(42);
  EXPECT_EQ(ReadFilingClientPath(), "") << "a number is not a string";
  for (const char* blank : {"", " ", "\t \r\n", "\x01\x1f "}) {
    value.SetString(blank);
    EXPECT_EQ(ReadFilingClientPath(), "") << "blank-only value";
  }
}

TEST(ReadFilingClientPath, KeepsTheValueExactlyAsStored) {
  RegistryValue value;
  for (const char* stored : {"C:\\Dexlan Client", " C:\\Client ", "C:\\Client\\", "C:\\a;D:\\b",
                             "C:\\\"quoted\"", u8"C:\\申报软件"}) {
    value.SetString(stored);
    EXPECT_EQ(ReadFilingClientPath(), stored);
  }
}

TEST(ReadFilingClientPath, DropsOnePairOfSurroundingQuotes) {
  RegistryValue value;
  const struct {
    const char* stored;
    const char* read;
  } cases[] = {
      {"\"C:\\Program Files\\Dexlan\"", "C:\\Program Files\\Dexlan"},
      {"\" C:\\Client \"", " C:\\Client "},
      {"\"\"C:\\Client\"\"", "\"C:\\Client\""},
      {"\"C:\\Client", "\"C:\\Client"},
      {"\"C:\\Client\" ", "\"C:\\Client\" "},
      {"\"", "\""},
      {"\"\"", ""},
      {"\"  \"", ""},
  };
  for (const auto& c : cases) {
    value.SetString(c.stored);
    EXPECT_EQ(ReadFilingClientPath(), c.read) << c.stored;
  }
}

TEST(ReadFilingClientPath, DoesNotExpandEnvironmentReferences) {
  RegistryValue value;
  value.SetExpandString("%ProgramFiles%\\Client");
  EXPECT_EQ(ReadFilingClientPath(), "%ProgramFiles%\\Client");
}

TEST(ReadFilingClientPath, ReadsTheThirtyTwoBitViewFirst) {
  if (!RegistryValue::HasViews()) GTEST_SKIP() << "the key has one view here";
  RegistryValue value;
  value.SetStringInView("C:\\From64", false);
  EXPECT_EQ(ReadFilingClientPath(), "C:\\From64") << "only the 64-bit view holds it";
  value.SetStringInView("C:\\From32", true);
  EXPECT_EQ(ReadFilingClientPath(), "C:\\From32");
  value.SetStringInView(" ", true);
  EXPECT_EQ(ReadFilingClientPath(), "C:\\From64") << "a blank 32-bit value falls through";
}

}  // namespace
}  // namespace sbrep
