#include "xml/transcoder.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "platform/codepage.h"
#include "transfer_cases.h"

namespace sbrep {
namespace {

// The encoding of the table that `name` stands for.
Encoding Named(const char* name, bool big_endian = false) {
  const auto entry = FindEncoding(name);
  EXPECT_TRUE(entry) << name;
  return {entry ? *entry : *FindEncoding("UTF-8"), big_endian};
}

// Whether this system converts the encoding; the cases of one it does not
// are skipped here, and its refusal is tested below.
bool Converts(const Encoding& encoding) {
  return encoding.entry.form != Form::kCodePage ||
         CodePageConverter::Available(encoding.entry.code_page);
}

// The UTF-8 the transcoder makes of `bytes`, fed `step` bytes at a time.
std::string Transcode(const Encoding& encoding, const std::string& bytes, std::size_t step,
                      std::size_t mark = 0) {
  Transcoder transcoder(encoding, mark);
  std::string utf8;
  std::string scratch;
  for (std::size_t at = 0; at < bytes.size(); at += step) {
    utf8 += std::string(transcoder.Feed(std::string_view(bytes).substr(at, step), &scratch));
  }
  transcoder.Finish();
  return utf8;
}

// The detail of a refusal, whatever the step.
std::string Refusal(const Encoding& encoding, const std::string& bytes) {
  std::string detail;
  for (const std::size_t step : {std::size_t{1}, std::size_t{3}, bytes.size()}) {
    try {
      Transcode(encoding, bytes, step);
      ADD_FAILURE() << "accepted with step " << step;
    } catch (const Error& error) {
      EXPECT_EQ(error.fault(), Fault::kExport);
      EXPECT_EQ(error.message(), Message::kXmlParseError);
      if (!detail.empty()) {
        EXPECT_EQ(error.detail(), detail) << "step " << step;
      }
      detail = error.detail();
    }
  }
  return detail;
}

// 中文 in each encoding.
constexpr char kUtf8[] = "a\xE4\xB8\xAD\xE6\x96\x87z";
constexpr char kGbk[] = "a\xD6\xD0\xCE\xC4z";

TEST(Transcoder, MakesTheSameUtf8WhereverTheChunksEnd) {
  const std::string utf16le("a\0\x2D\x4E\x87\x65z\0", 8);
  const std::string utf16be("\0a\x4E\x2D\x65\x87\0z", 8);
  // U+1F600 as a surrogate pair, and in GB18030's four bytes.
  const std::string pair_le("\x3D\xD8\x00\xDE", 4);
  const std::string emoji = "\xF0\x9F\x98\x80";
  struct Case {
    const char* name;
    Encoding encoding;
    std::string in;
    std::string out;
  };
  // 中文, 株式会社ｱｲ, 주식, €5 and Łódź: each family, and text GBK lacks.
  const std::string kanji =
      "\xE6\xA0\xAA\xE5\xBC\x8F\xE4\xBC\x9A\xE7\xA4\xBE\xEF\xBD\xB1\xEF\xBD\xB2";
  const Case cases[] = {
      {"UTF-8", Named("UTF-8"), kUtf8, kUtf8},
      {"GBK", Named("GBK"), kGbk, kUtf8},
      {"GB18030, two bytes", Named("GB18030"), kGbk, kUtf8},
      {"UTF-16LE", Named("UTF-16"), utf16le, kUtf8},
      {"UTF-16BE", Named("UTF-16", true), utf16be, kUtf8},
      {"UTF-16 pair", Named("UTF-16"), pair_le, emoji},
      {"ISO-8859-1", Named("ISO-8859-1"), "caf\xE9", "caf\xC3\xA9"},
      {"ASCII", Named("US-ASCII"), "plain", "plain"},
      {"Big5", Named("Big5"), "a\xA4\xA4\xA4\xE5z", kUtf8},
      {"Big5-HKSCS", Named("Big5-HKSCS"), "\x9D\xF8\xA4\xA4", "\xE5\x95\xB2\xE4\xB8\xAD"},
      {"Shift_JIS", Named("Shift_JIS"), "\x8A\x94\x8E\xAE\x89\xEF\x8E\xD0\xB1\xB2", kanji},
      {"EUC-JP", Named("EUC-JP"), "\xB3\xF4\xBC\xB0\xB2\xF1\xBC\xD2\x8E\xB1\x8E\xB2", kanji},
      {"EUC-KR", Named("EUC-KR"), "a\xC1\xD6\xBD\xC4", "a\xEC\xA3\xBC\xEC\x8B\x9D"},
      {"windows-1252", Named("windows-1252"),
       "\x80"
       "5",
       "\xE2\x82\xAC"
       "5"},
      {"ISO-8859-2", Named("ISO-8859-2"), "\xA3\xF3\x64\xBC", "\xC5\x81\xC3\xB3\x64\xC5\xBA"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!Converts(c.encoding)) continue;
    for (const std::size_t step : {std::size_t{1}, std::size_t{2}, std::size_t{3}, c.in.size()}) {
      EXPECT_EQ(Transcode(c.encoding, c.in, step), c.out) << "step " << step;
    }
  }
  // A byte order mark is no character.
  EXPECT_EQ(Transcode(Named("UTF-8"),
                      "\xEF\xBB\xBF"
                      "a",
                      1, 3),
            "a");
  EXPECT_EQ(Transcode(Named("UTF-16"),
                      std::string("\xFF\xFE"
                                  "a\0",
                                  4),
                      1, 2),
            "a");
}

// Bytes that are not valid in the declared encoding fail with their offset;
// no parser's substitute character may file in their place.
TEST(Transcoder, RefusesBytesNotValidInTheEncoding) {
  struct Case {
    const char* name;
    Encoding encoding;
    std::string in;
    const char* detail;
  };
  const Case cases[] = {
      {"GBK lead before a blank", Named("GBK"),
       "<a>\x81\x20"
       "A</a>",
       "the export is not valid GBK at byte offset 3 (0x81 0x20)"},
      {"GB2312 lead before a line break", Named("GBK"), "<a>x\xA1\x0A</a>",
       "the export is not valid GBK at byte offset 4 (0xA1 0x0A)"},
      {"GBK 0xFF", Named("GBK"), "ab\xFF", "the export is not valid GBK at byte offset 2 (0xFF)"},
      {"GBK cut at the end", Named("GBK"), "ab\xD6",
       "the export is not valid GBK at byte offset 2 (0xD6)"},
      {"UTF-8 overlong", Named("UTF-8"), "ab\xC0\xAF",
       "the export is not valid UTF-8 at byte offset 2 (0xC0)"},
      {"UTF-8 overlong, three bytes", Named("UTF-8"), "ab\xE0\x80\xAF",
       "the export is not valid UTF-8 at byte offset 3 (0x80)"},
      {"UTF-8 lone continuation", Named("UTF-8"), "ab\x80z",
       "the export is not valid UTF-8 at byte offset 2 (0x80)"},
      {"UTF-8 surrogate", Named("UTF-8"), "ab\xED\xA0\x80",
       "the export is not valid UTF-8 at byte offset 3 (0xA0)"},
      {"UTF-8 past U+10FFFF", Named("UTF-8"), "\xF4\x90\x80\x80",
       "the export is not valid UTF-8 at byte offset 1 (0x90)"},
      {"UTF-8 cut at the end", Named("UTF-8"), "ab\xE4\xB8",
       "the export is not valid UTF-8 at byte offset 2: the file ends inside a character"},
      {"UTF-16 lone low surrogate", Named("UTF-16"), std::string("a\0\x00\xDC", 4),
       "the export is not valid UTF-16 at byte offset 2 (0x00 0xDC)"},
      {"UTF-16 high surrogate alone", Named("UTF-16"),
       std::string("\x3D\xD8"
                   "a\0",
                   4),
       "the export is not valid UTF-16 at byte offset 0 (0x3D 0xD8 0x61 0x00)"},
      {"UTF-16 odd length", Named("UTF-16"), std::string("a\0b", 3),
       "the export is not valid UTF-16 at byte offset 2 (0x62)"},
      {"ASCII", Named("US-ASCII"), "ab\xE9",
       "the export is not valid US-ASCII at byte offset 2 (0xE9)"},
      // Where the converter finds the fault, and a character cut at the end.
      {"Big5 lead before a line break", Named("Big5"), "ab\xA4\x0A",
       "the export is not valid Big5 at byte offset 2 (0xA4 0x0A)"},
      {"EUC-KR after a whole character", Named("EUC-KR"), "\xC7\xD1\xC7\x20",
       "the export is not valid EUC-KR at byte offset 2 (0xC7 0x20)"},
      {"Shift_JIS cut at the end", Named("Shift_JIS"), "ab\x8A",
       "the export is not valid Shift_JIS at byte offset 2 (0x8A)"},
      // Valid in the encoding, but no character of an export.
      {"UTF-8 NUL in a long ASCII run", Named("UTF-8"), std::string("abcdefghij\0klmnopqrs", 20),
       "the export holds a NUL character at byte offset 10, which XML does not allow"},
      {"UTF-8 second mark", Named("UTF-8"), "ab\xEF\xBB\xBFz",
       "the export holds U+FEFF at byte offset 2, which is a byte order mark only at the start of "
       "a file"},
      {"UTF-16 NUL", Named("UTF-16"), std::string("<\0\0\0", 4),
       "the export holds a NUL character at byte offset 2, which XML does not allow"},
      {"UTF-16 second mark", Named("UTF-16", true), std::string("\0<\xFE\xFF", 4),
       "the export holds U+FEFF at byte offset 2, which is a byte order mark only at the start of "
       "a file"},
      {"GBK NUL", Named("GBK"), std::string("\xD6\xD0\0", 3),
       "the export holds a NUL character at byte offset 2, which XML does not allow"},
      {"ISO-8859-1 NUL", Named("ISO-8859-1"), std::string("\xE9\0", 2),
       "the export holds a NUL character at byte offset 1, which XML does not allow"},
      {"ASCII NUL", Named("US-ASCII"), std::string("a\0", 2),
       "the export holds a NUL character at byte offset 1, which XML does not allow"},
      {"Big5 NUL", Named("Big5"), std::string("\xA4\xA4\0", 3),
       "the export holds a NUL character at byte offset 2, which XML does not allow"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!Converts(c.encoding)) continue;
    EXPECT_EQ(Refusal(c.encoding, c.in), c.detail);
  }
}

// The names of each encoding, as iconv and MSXML spell them, and a byte
// order mark that decides what the bytes are whatever the declaration says.
TEST(Transcoder, ChoosesByTheDeclarationAndTheMark) {
  struct Case {
    const char* declared;
    bool utf16;
    std::size_t mark;
    const char* chosen;  // the entry's name, or the end of the refusal's detail
  };
  const Case cases[] = {
      {"", false, 0, "UTF-8"},
      {"utf-8", false, 3, "UTF-8"},
      {"GB_2312-80", false, 0, "GBK"},
      {"csGB2312", false, 0, "GBK"},
      {"MS936", false, 0, "GBK"},
      {"windows-936", false, 0, "GBK"},
      {"x-gbk", false, 0, "GBK"},
      {"gb18030", false, 0, "GB18030"},
      {"csBig5", false, 0, "Big5"},
      {"SJIS", false, 0, "Shift_JIS"},
      {"MS_Kanji", false, 0, "Shift_JIS"},
      {"x-sjis", false, 0, "Shift_JIS"},
      {"euc-jp", false, 0, "EUC-JP"},
      {"EUC-KR", false, 0, "EUC-KR"},
      {"latin2", false, 0, "ISO-8859-2"},
      {"ISO_8859-15", false, 0, "ISO-8859-15"},
      {"cp1252", false, 0, "windows-1252"},
      {"latin1", false, 0, "ISO-8859-1"},
      {"US-ASCII", false, 0, "US-ASCII"},
      {"", true, 0, "UTF-16"},
      {"UTF-16LE", true, 2, "UTF-16"},
      {"UTF-7", false, 0, "'UTF-7', which this does not read"},
      {"ISO-8859-12", false, 0, "'ISO-8859-12', which this does not read"},
      {"windows-1259", false, 0, "'windows-1259', which this does not read"},
      {"UTF-16", false, 0, "'UTF-16', which this does not read"},
      {"UTF-8", true, 0, "'UTF-8', which this does not read"},
      {"GBK", false, 3, "a UTF-8 byte order mark but declares the encoding 'GBK'"},
      {"GB2312", false, 3, "a UTF-8 byte order mark but declares the encoding 'GB2312'"},
      {"UTF-16", false, 3, "a UTF-8 byte order mark but declares the encoding 'UTF-16'"},
      {"US-ASCII", false, 3, "a UTF-8 byte order mark but declares the encoding 'US-ASCII'"},
      {"GBK", true, 2, "a UTF-16LE byte order mark but declares the encoding 'GBK'"},
      {"UTF-8", true, 2, "a UTF-16LE byte order mark but declares the encoding 'UTF-8'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.declared) + (c.utf16 ? " in UTF-16" : "") +
                 (c.mark > 0 ? " after a mark" : ""));
    Prolog prolog;
    prolog.encoding = c.declared;
    prolog.utf16 = c.utf16;
    prolog.mark = c.mark;
    const std::string expected = c.chosen;
    try {
      const Encoding encoding = ChooseEncoding(prolog);
      if (!Converts(encoding)) ADD_FAILURE() << "chosen without a converter";
      EXPECT_EQ(encoding.entry.name, expected);
    } catch (const Error& error) {
      const std::string& detail = error.detail();
      EXPECT_EQ(error.message(), Message::kXmlParseError);
      ASSERT_GE(detail.size(), expected.size()) << detail;
      EXPECT_EQ(detail.substr(detail.size() - expected.size()), expected) << detail;
    }
  }
  // A code page this system has no converter for is named as such.
  for (const char* declared : {"Big5-HKSCS", "EUC-JP", "EUC-KR", "ISO-8859-10", "ISO-8859-16"}) {
    SCOPED_TRACE(declared);
    Prolog prolog;
    prolog.encoding = declared;
    if (Converts(Named(declared))) {
      EXPECT_EQ(ChooseEncoding(prolog).entry.name, declared);
      continue;
    }
    try {
      ChooseEncoding(prolog);
      ADD_FAILURE() << "accepted";
    } catch (const Error& error) {
      EXPECT_EQ(error.detail(), std::string("the export declares the encoding '") + declared +
                                    "', which this system cannot convert");
    }
  }
}

class NotGbk : public test::TransferTest {};

// What was filed as "L02:1,?A,B," with success: a transfer now fails, and
// the table stays.
TEST_F(NotGbk, ATransferRefusesTheBytes) {
  PutTable("TABLE09.dat", test::ReadData("transfer/TABLE09.dat"));
  const std::vector<std::pair<std::string, std::string>> exports = {
      {"GBK", "\x81\x20"}, {"GB2312", "\xA1\x0A"}, {"UTF-8", "\xC0\xAF"}};
  for (const auto& [encoding, bad] : exports) {
    SCOPED_TRACE(encoding);
    // All ASCII but the bytes under test.
    std::string xml = test::RowExport("SB_SYB", {{"1" + bad + "A", "B"}});
    const std::size_t name = xml.find("<NSRMC>") + 7;
    xml.replace(name, xml.find("</NSRMC>") - name, "ACME");
    xml = test::ReplacedAll(xml, "\xE9\xA1\xB9\xE7\x9B\xAE", "item");  // 项目
    xml = test::Replaced(xml, "encoding=\"UTF-8\"", "encoding=\"" + encoding + "\"");
    const std::string path = PutExport(xml);
    ExpectFailure(path, 2, "TABLE09.dat", Message::kXmlParseError);
    const TransferOutcome outcome =
        TransferTable(EntryOf(TableKind::kIncomeStatement), test::CallerPath(path).c_str());
    ASSERT_TRUE(outcome.error);
    EXPECT_NE(outcome.error->detail().find("at byte offset"), std::string::npos)
        << outcome.error->detail();
  }
}

}  // namespace
}  // namespace sbrep
