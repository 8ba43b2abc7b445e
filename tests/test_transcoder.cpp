#include "xml/transcoder.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "transfer_cases.h"

namespace sbrep {
namespace {

// The UTF-8 the transcoder makes of `bytes`, fed `step` bytes at a time.
std::string Transcode(Encoding encoding, const std::string& bytes, std::size_t step,
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
std::string Refusal(Encoding encoding, const std::string& bytes) {
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
  const Case cases[] = {
      {"UTF-8", Encoding::kUtf8, kUtf8, kUtf8},
      {"GBK", Encoding::kGbk, kGbk, kUtf8},
      {"GB18030, two bytes", Encoding::kGb18030, kGbk, kUtf8},
      {"UTF-16LE", Encoding::kUtf16Le, utf16le, kUtf8},
      {"UTF-16BE", Encoding::kUtf16Be, utf16be, kUtf8},
      {"UTF-16 pair", Encoding::kUtf16Le, pair_le, emoji},
      {"ISO-8859-1", Encoding::kLatin1, "caf\xE9", "caf\xC3\xA9"},
      {"ASCII", Encoding::kAscii, "plain", "plain"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const std::size_t step : {std::size_t{1}, std::size_t{2}, std::size_t{3}, c.in.size()}) {
      EXPECT_EQ(Transcode(c.encoding, c.in, step), c.out) << "step " << step;
    }
  }
  // A byte order mark is no character.
  EXPECT_EQ(Transcode(Encoding::kUtf8,
                      "\xEF\xBB\xBF"
                      "a",
                      1, 3),
            "a");
  EXPECT_EQ(Transcode(Encoding::kUtf16Le,
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
      {"GBK lead before a blank", Encoding::kGbk,
       "<a>\x81\x20"
       "A</a>",
       "the export is not valid GBK at byte offset 3 (0x81 0x20)"},
      {"GB2312 lead before a line break", Encoding::kGbk, "<a>x\xA1\x0A</a>",
       "the export is not valid GBK at byte offset 4 (0xA1 0x0A)"},
      {"GBK 0xFF", Encoding::kGbk, "ab\xFF", "the export is not valid GBK at byte offset 2 (0xFF)"},
      {"GBK cut at the end", Encoding::kGbk, "ab\xD6",
       "the export is not valid GBK at byte offset 2 (0xD6)"},
      {"UTF-8 overlong", Encoding::kUtf8, "ab\xC0\xAF",
       "the export is not valid UTF-8 at byte offset 2 (0xC0)"},
      {"UTF-8 overlong, three bytes", Encoding::kUtf8, "ab\xE0\x80\xAF",
       "the export is not valid UTF-8 at byte offset 3 (0x80)"},
      {"UTF-8 lone continuation", Encoding::kUtf8, "ab\x80z",
       "the export is not valid UTF-8 at byte offset 2 (0x80)"},
      {"UTF-8 surrogate", Encoding::kUtf8, "ab\xED\xA0\x80",
       "the export is not valid UTF-8 at byte offset 3 (0xA0)"},
      {"UTF-8 past U+10FFFF", Encoding::kUtf8, "\xF4\x90\x80\x80",
       "the export is not valid UTF-8 at byte offset 1 (0x90)"},
      {"UTF-8 cut at the end", Encoding::kUtf8, "ab\xE4\xB8",
       "the export is not valid UTF-8 at byte offset 2: the file ends inside a character"},
      {"UTF-16 lone low surrogate", Encoding::kUtf16Le, std::string("a\0\x00\xDC", 4),
       "the export is not valid UTF-16 at byte offset 2 (0x00 0xDC)"},
      {"UTF-16 high surrogate alone", Encoding::kUtf16Le,
       std::string("\x3D\xD8"
                   "a\0",
                   4),
       "the export is not valid UTF-16 at byte offset 0 (0x3D 0xD8 0x61 0x00)"},
      {"UTF-16 odd length", Encoding::kUtf16Le, std::string("a\0b", 3),
       "the export is not valid UTF-16 at byte offset 2 (0x62)"},
      {"ASCII", Encoding::kAscii, "ab\xE9",
       "the export is not valid ASCII at byte offset 2 (0xE9)"},
      // Valid in the encoding, but no character of an export.
      {"UTF-8 NUL in a long ASCII run", Encoding::kUtf8, std::string("abcdefghij\0klmnopqrs", 20),
       "the export holds a NUL character at byte offset 10, which XML does not allow"},
      {"UTF-8 second mark", Encoding::kUtf8, "ab\xEF\xBB\xBFz",
       "the export holds U+FEFF at byte offset 2, which is a byte order mark only at the start of "
       "a file"},
      {"UTF-16 NUL", Encoding::kUtf16Le, std::string("<\0\0\0", 4),
       "the export holds a NUL character at byte offset 2, which XML does not allow"},
      {"UTF-16 second mark", Encoding::kUtf16Be, std::string("\0<\xFE\xFF", 4),
       "the export holds U+FEFF at byte offset 2, which is a byte order mark only at the start of "
       "a file"},
      {"GBK NUL", Encoding::kGbk, std::string("\xD6\xD0\0", 3),
       "the export holds a NUL character at byte offset 2, which XML does not allow"},
      {"ISO-8859-1 NUL", Encoding::kLatin1, std::string("\xE9\0", 2),
       "the export holds a NUL character at byte offset 1, which XML does not allow"},
      {"ASCII NUL", Encoding::kAscii, std::string("a\0", 2),
       "the export holds a NUL character at byte offset 1, which XML does not allow"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Refusal(c.encoding, c.in), c.detail);
  }
}

TEST(Transcoder, ChoosesByTheDeclarationAndTheFamily) {
  struct Case {
    const char* declared;
    bool utf16;
    Encoding encoding;
  };
  const Case cases[] = {
      {"", false, Encoding::kUtf8},
      {"utf-8", false, Encoding::kUtf8},
      {"GBK", false, Encoding::kGbk},
      {"gb2312", false, Encoding::kGbk},
      {"GB_2312", false, Encoding::kGbk},
      {"CP936", false, Encoding::kGbk},
      {"gb18030", false, Encoding::kGb18030},
      {"US-ASCII", false, Encoding::kAscii},
      {"ISO-8859-1", false, Encoding::kLatin1},
      {"", true, Encoding::kUtf16Le},
      {"UTF-16", true, Encoding::kUtf16Le},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.declared);
    Prolog prolog;
    prolog.encoding = c.declared;
    prolog.utf16 = c.utf16;
    EXPECT_EQ(ChooseEncoding(prolog), c.encoding);
  }
  // Encodings it does not read, and names that do not fit the bytes.
  for (const auto& [declared, utf16] :
       {std::pair{"UTF-7", false}, std::pair{"IBM037", false}, std::pair{"Big5", false},
        std::pair{"windows-1252", false}, std::pair{"UTF-16", false}, std::pair{"UTF-8", true}}) {
    SCOPED_TRACE(declared);
    Prolog prolog;
    prolog.encoding = declared;
    prolog.utf16 = utf16;
    try {
      ChooseEncoding(prolog);
      ADD_FAILURE() << "accepted";
    } catch (const Error& error) {
      EXPECT_EQ(error.detail(), std::string("the export declares the encoding '") + declared +
                                    "', which this does not read");
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
