#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace sbrep {
namespace {

TEST(CodePage, ToGbk) {
  EXPECT_EQ(Utf8ToGbk(""), std::string());
  EXPECT_EQ(Utf8ToGbk("12.50"), std::string("12.50"));
  EXPECT_EQ(Utf8ToGbk("A\xE4\xB8\xAD"
                      "1"),
            std::string("A\xD6\xD0"
                        "1"));
  // No GBK form: an emoji and an Ethiopic letter. Never a '?'.
  EXPECT_FALSE(Utf8ToGbk("1\xF0\x9F\x98\x80"));
  EXPECT_FALSE(Utf8ToGbk("\xE1\x88\x80"));
}

// Some converters encode U+F8F5 as the single byte 0xFF, which no GBK
// decoder reads back: bytes that do not decode to the text are no GBK form.
TEST(CodePage, ToGbkRefusesBytesThatDoNotDecodeBack) {
  EXPECT_FALSE(Utf8ToGbk("1\xEF\xA3\xB5"));
  const auto euro = Utf8ToGbk("\xE2\x82\xAC");
  ASSERT_TRUE(euro);
  EXPECT_EQ(*euro, "\x80");
}

// One converter serves a whole pass: a failure leaves what it appended to
// as it was, and the next call starts afresh.
TEST(CodePage, AConverterServesManyCalls) {
  CodePageConverter gbk(CodePage::kGbk);
  std::string out = "kept";
  EXPECT_TRUE(gbk.Decode("\xD6\xD0", &out));
  EXPECT_FALSE(gbk.Decode("\x81\x20", &out));
  EXPECT_FALSE(gbk.Encode("\xF0\x9F\x98\x80", &out));
  EXPECT_TRUE(gbk.Encode("\xE6\x96\x87", &out));
  EXPECT_EQ(out, "kept\xE4\xB8\xAD\xCE\xC4");

  // GB18030 reads what GBK reads; a single 0x80 is GBK's alone.
  CodePageConverter gb18030(CodePage::kGb18030);
  std::string utf8;
  EXPECT_TRUE(gb18030.Decode("\xD6\xD0", &utf8));
  EXPECT_EQ(utf8, "\xE4\xB8\xAD");
  EXPECT_FALSE(gb18030.Decode("\x80", &utf8));
}

}  // namespace
}  // namespace sbrep
