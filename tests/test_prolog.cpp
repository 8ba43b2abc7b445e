#include "xml/prolog.h"

#include <gtest/gtest.h>

#include "core/error.h"

namespace sbrep {
namespace {

const char kDecl[] = "<?xml version=\"1.0\"?>\n";
const char kBody[] = "<DZSBB><MC>1</MC></DZSBB>";

// Every form a DOCTYPE may take, on one line.
const char kFullDoctype[] =
    "<!DOCTYPE DZSBB PUBLIC '-//x//y' \"z.dtd\" [ %p; <!ELEMENT DZSBB ANY>"
    "<!ATTLIST DZSBB a CDATA '>'><!NOTATION n SYSTEM 'n'><!-- c --><?pi ]?> ] >";

std::string Blanks(std::size_t n) { return std::string(n, ' '); }

// The guard over a whole file.
void NeutraliseProlog(std::string& bytes) { GuardProlog(bytes, true); }

// ASCII text as UTF-16 code units.
std::string Utf16(const std::string& ascii, bool little_endian, bool mark) {
  std::string out;
  auto put = [&](unsigned unit) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    out += little_endian ? std::string{low, high} : std::string{high, low};
  };
  if (mark) put(0xFEFF);
  for (const char c : ascii) put(static_cast<unsigned char>(c));
  return out;
}

TEST(Prolog, BlanksTheDoctypeAndNothingElse) {
  struct Case {
    const char* name;
    std::string in;
    std::string out;
  };
  const std::string doctype_subset =
      "<!DOCTYPE DZSBB [\n"
      "  <!-- ]> in a comment -->\n"
      "  <?pi ]> in a processing instruction?>\n"
      "  <!ENTITY a \"]>\">\n"
      "  <!ENTITY b ']>'>\n"
      "]>";
  std::string subset_blanked;
  for (const char c : doctype_subset) subset_blanked += c == '\n' ? '\n' : ' ';
  const Case cases[] = {
      {"no DOCTYPE", std::string(kDecl) + kBody, std::string(kDecl) + kBody},
      {"no XML declaration", "<!DOCTYPE DZSBB>" + std::string(kBody), Blanks(16) + kBody},
      {"plain", std::string(kDecl) + "<!DOCTYPE DZSBB>\n" + kBody,
       std::string(kDecl) + Blanks(16) + "\n" + kBody},
      {"system literal with '>'",
       std::string(kDecl) + "<!DOCTYPE DZSBB SYSTEM \"a>b.dtd\">" + kBody,
       std::string(kDecl) + Blanks(33) + kBody},
      {"public literals", "<!DOCTYPE DZSBB PUBLIC '-//x//y' \"z.dtd\">" + std::string(kBody),
       Blanks(41) + kBody},
      {"internal subset, lines kept", std::string(kDecl) + doctype_subset + "\n" + kBody,
       std::string(kDecl) + subset_blanked + "\n" + kBody},
      {"after comments and PIs",
       std::string(kDecl) + "<!-- <!DOCTYPE x> -->\n<?pi <!DOCTYPE y>?>\n<!DOCTYPE DZSBB>" + kBody,
       std::string(kDecl) + "<!-- <!DOCTYPE x> -->\n<?pi <!DOCTYPE y>?>\n" + Blanks(16) + kBody},
      {"CR LF breaks", "<!DOCTYPE DZSBB [\r\n]>\r\n" + std::string(kBody),
       Blanks(17) + "\r\n  \r\n" + kBody},
      {"inside the content", std::string(kBody) + "<![CDATA[<!DOCTYPE x>]]>",
       std::string(kBody) + "<![CDATA[<!DOCTYPE x>]]>"},
      {"UTF-8 mark", "\xEF\xBB\xBF<!DOCTYPE DZSBB>" + std::string(kBody),
       "\xEF\xBB\xBF" + Blanks(16) + kBody},
      {"every form", std::string(kFullDoctype) + kBody, Blanks(sizeof kFullDoctype - 1) + kBody},
      {"GBK text in the subset", "<!DOCTYPE D [<!ENTITY e \"\xD6\xD0]>\">]>" + std::string(kBody),
       Blanks(33) + kBody},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes = c.in;
    NeutraliseProlog(bytes);
    EXPECT_EQ(bytes, c.out);
  }
}

TEST(Prolog, ReadsUtf16InEitherOrder) {
  const std::string in = std::string(kDecl) + "<!DOCTYPE DZSBB [<!ENTITY e 'x'>]>" + kBody;
  const std::string out = std::string(kDecl) + Blanks(34) + kBody;
  for (const bool little_endian : {true, false}) {
    for (const bool mark : {true, false}) {
      SCOPED_TRACE(std::string(little_endian ? "LE" : "BE") + (mark ? " with mark" : ""));
      std::string bytes = Utf16(in, little_endian, mark);
      NeutraliseProlog(bytes);
      EXPECT_EQ(bytes, Utf16(out, little_endian, mark));
    }
  }
  std::string declared = Utf16("<?xml version='1.0' encoding='UTF-16'?><!DOCTYPE D>", true, true);
  NeutraliseProlog(declared);
  EXPECT_EQ(declared, Utf16("<?xml version='1.0' encoding='UTF-16'?>" + Blanks(12), true, true));
}

TEST(Prolog, NamesTheDeclaredEncoding) {
  struct Case {
    std::string in;
    const char* encoding;
  };
  const Case cases[] = {
      {"<?xml version=\"1.0\" encoding=\"GB2312\"?>", "GB2312"},
      {"<?xml version='1.0' encoding='gb2312' standalone='yes'?>", "gb2312"},
      {"<?xml version=\"1.0\" encoding = \"Gb_2312\"?>", "Gb_2312"},
      {"<?xml version=\"1.0\"?>", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    std::string bytes = c.in + "\n" + kBody;
    const Prolog prolog = GuardProlog(bytes, true);
    EXPECT_TRUE(prolog.complete);
    EXPECT_EQ(prolog.encoding, c.encoding);
    EXPECT_EQ(bytes, c.in + "\n" + kBody);
  }
  std::string utf16 = Utf16("<?xml version='1.0' encoding='UTF-16'?><a/>", false, true);
  const Prolog prolog = GuardProlog(utf16, true);
  EXPECT_TRUE(prolog.utf16);
  EXPECT_TRUE(prolog.big_endian);
  EXPECT_EQ(prolog.mark, 2u);
  EXPECT_EQ(prolog.encoding, "UTF-16");
}

// The head of a file may end anywhere in the prolog: the guard then asks for
// more instead of deciding, and decides the same once it has it.
TEST(Prolog, AsksForMoreWhereThePrologMayGoOn) {
  const std::string whole =
      std::string(kDecl) + "<!-- c -->\n<?pi x?>\n" + kFullDoctype + "\n" + kBody;
  std::string guarded = whole;
  NeutraliseProlog(guarded);
  const std::size_t root = whole.find("<DZSBB>");
  for (std::size_t cut = 0; cut < root + 9; ++cut) {
    SCOPED_TRACE(cut);
    std::string head = whole.substr(0, cut);
    EXPECT_FALSE(GuardProlog(head, false).complete);
  }
  std::string head = whole.substr(0, root + 9);
  EXPECT_TRUE(GuardProlog(head, false).complete);
  EXPECT_EQ(head, guarded.substr(0, root + 9));
}

TEST(Prolog, RefusesWhatItCannotRead) {
  const std::string utf32_decl = "<?xml version='1.0'?>";
  std::string utf32le;
  std::string utf32be;
  for (const char c : utf32_decl) {
    utf32le += std::string{c, '\0', '\0', '\0'};
    utf32be += std::string{'\0', '\0', '\0', c};
  }
  const std::string mark = "\xEF\xBB\xBF";
  const std::string body(kBody);
  const std::string declaration = "the export's XML declaration is not well-formed: ";
  struct Case {
    const char* name;
    std::string in;
    std::string detail;  // a part of the detail
  };
  const Case cases[] = {
      {"UTF-32LE", utf32le, "UTF-32"},
      {"UTF-32BE", utf32be, "UTF-32"},
      {"UTF-32LE mark", std::string("\xFF\xFE\0\0", 4) + utf32le, "UTF-32"},
      {"UTF-32BE mark", std::string("\0\0\xFE\xFF", 4) + utf32be, "UTF-32"},
      {"UCS-4 2143", std::string("\0\0<\0", 4) + "x", "UTF-32"},
      {"UCS-4 3412", std::string("\0<\0\0", 4) + "x", "UTF-32"},
      {"EBCDIC", "\x4C\x6F\xA7\x94\x93\x40", "EBCDIC"},
      {"unclosed DOCTYPE", "<!DOCTYPE DZSBB [<!ENTITY e 'x'>\n",
       "the DOCTYPE declaration on line 1 is not closed"},
      {"unclosed literal", "<!DOCTYPE DZSBB SYSTEM \"x.dtd>" + body, "is not closed"},
      // What a guard that stopped at the first unit it did not know let
      // through to the parser.
      {"two marks", mark + mark + "<!DOCTYPE DZSBB SYSTEM 'x'>" + body,
       "the export's prolog cannot be read on line 1: it holds a second byte order mark"},
      {"UTF-8 mark, UTF-16 text", mark + Utf16("<?xml version='1.0'?><!DOCTYPE D>", true, false),
       "it holds a NUL character"},
      {"UTF-16 mark and U+FEFF", Utf16("\xFF<!DOCTYPE D>", true, true).replace(2, 2, "\xFF\xFE"),
       "it holds a second byte order mark"},
      {"'<' and NUL", Utf16("<!-- x -->\n", true, true) + std::string("<\0\0\0", 4) + body,
       "prolog cannot be read on line 2: it holds a NUL character"},
      {"text", "<!-- x -->x" + body, "it holds something other than"},
      {"two DOCTYPEs", "<!DOCTYPE A>\n<!DOCTYPE B>" + body,
       "the export has a second DOCTYPE declaration, on line 2"},
      {"DOCTYPE of junk", "\n<!DOCTYPE !!! & % junk <<< >" + body,
       "the DOCTYPE declaration on line 2 is not well-formed"},
      {"DOCTYPE without a space", "<!DOCTYPEDZSBB>" + body, "is not well-formed"},
      {"unknown keyword", "<!DOCTYPE DZSBB SYSTEMS 'x'>" + body, "is not well-formed"},
      {"junk in the subset", "<!DOCTYPE DZSBB [ junk ]>" + body, "is not well-formed"},
      {"reference without ';'", "<!DOCTYPE DZSBB [ %p ]>" + body, "is not well-formed"},
      {"encoding twice", "<?xml version='1.0' encoding='GBK' encoding='UTF-8'?>" + body,
       declaration + "it gives 'encoding' twice"},
      {"encoding unquoted", "<?xml version='1.0' encoding=GBK?>" + body,
       declaration + "the value of 'encoding' is not in quotes"},
      {"quotes that differ", "<?xml version='1.0' encoding=\"GBK'?>" + body,
       declaration + "the value of 'encoding' has no closing quote to match"},
      {"out of order", "<?xml encoding='GBK' version='1.0'?>" + body,
       declaration + "it gives 'version' after 'encoding'"},
      {"unknown name", "<?xml version='1.0' charset='GBK'?>" + body,
       declaration + "it holds 'charset'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes = c.in;
    try {
      NeutraliseProlog(bytes);
      ADD_FAILURE() << "accepted";
    } catch (const Error& error) {
      EXPECT_EQ(error.fault(), Fault::kExport);
      EXPECT_NE(error.detail().find(c.detail), std::string::npos) << error.detail();
    }
  }
}

TEST(Prolog, LeavesBrokenPrologsToTheParser) {
  // Nothing here can hide a DOCTYPE from the parser; it fails on its own.
  for (const std::string& in : {std::string(), std::string("<"), std::string("<?xml version='1.0'"),
                                std::string("<!-- open"), std::string("  <?pi")}) {
    SCOPED_TRACE(in);
    std::string bytes = in;
    NeutraliseProlog(bytes);
    EXPECT_EQ(bytes, in);
  }
}

}  // namespace
}  // namespace sbrep
