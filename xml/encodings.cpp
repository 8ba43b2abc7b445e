#include "xml/encodings.h"

#include <algorithm>

namespace sbrep {
namespace {

struct Row {
  EncodingEntry entry;
  std::string_view aliases;  // separated by spaces
};

constexpr CodePage kNone = CodePage::kGbk;  // unused where the form is not kCodePage

// GB2312 and the other names of GBK read as GBK, its superset: exporters
// that declare GB2312 write GBK's characters too.
constexpr Row kRows[] = {
    {{"UTF-8", Form::kUtf8, kNone}, ""},
    {{"UTF-16", Form::kUtf16, kNone},
     "UTF-16LE UTF-16BE UCS-2 UCS-2LE UCS-2BE ISO-10646-UCS-2 csUnicode Unicode unicodeFFFE"},
    {{"US-ASCII", Form::kAscii, kNone},
     "ASCII ANSI_X3.4-1968 ANSI_X3.4-1986 ISO646-US ISO_646.irv:1991 csASCII us IBM367 cp367 "
     "iso-ir-6"},
    {{"ISO-8859-1", Form::kLatin1, kNone},
     "ISO_8859-1:1987 latin1 l1 iso-ir-100 csISOLatin1 IBM819 CP819"},
    {{"GBK", Form::kCodePage, CodePage::kGbk},
     "GB2312 GB_2312-80 csGB2312 EUC-CN x-euc-cn CP936 MS936 windows-936 x-gbk csGBK chinese "
     "iso-ir-58 csISO58GB231280"},
    {{"GB18030", Form::kCodePage, CodePage::kGb18030}, ""},
    {{"Big5", Form::kCodePage, CodePage::kBig5}, "csBig5 Big-Five BigFive CN-Big5 x-x-big5"},
    {{"Big5-HKSCS", Form::kCodePage, CodePage::kBig5Hkscs}, ""},
    {{"Shift_JIS", Form::kCodePage, CodePage::kShiftJis}, "SJIS MS_Kanji csShiftJIS x-sjis"},
    {{"EUC-JP", Form::kCodePage, CodePage::kEucJp},
     "x-euc-jp csEUCPkdFmtJapanese Extended_UNIX_Code_Packed_Format_for_Japanese UJIS"},
    {{"EUC-KR", Form::kCodePage, CodePage::kEucKr}, "csEUCKR"},
    {{"ISO-8859-2", Form::kCodePage, CodePage::kIso8859_2},
     "ISO_8859-2:1987 latin2 l2 iso-ir-101 csISOLatin2"},
    {{"ISO-8859-3", Form::kCodePage, CodePage::kIso8859_3},
     "ISO_8859-3:1988 latin3 l3 iso-ir-109 csISOLatin3"},
    {{"ISO-8859-4", Form::kCodePage, CodePage::kIso8859_4},
     "ISO_8859-4:1988 latin4 l4 iso-ir-110 csISOLatin4"},
    {{"ISO-8859-5", Form::kCodePage, CodePage::kIso8859_5},
     "ISO_8859-5:1988 cyrillic iso-ir-144 csISOLatinCyrillic"},
    {{"ISO-8859-6", Form::kCodePage, CodePage::kIso8859_6},
     "ISO_8859-6:1987 arabic iso-ir-127 csISOLatinArabic ECMA-114 ASMO-708"},
    {{"ISO-8859-7", Form::kCodePage, CodePage::kIso8859_7},
     "ISO_8859-7:1987 greek greek8 iso-ir-126 csISOLatinGreek ECMA-118 ELOT_928"},
    {{"ISO-8859-8", Form::kCodePage, CodePage::kIso8859_8},
     "ISO_8859-8:1988 hebrew iso-ir-138 csISOLatinHebrew"},
    {{"ISO-8859-9", Form::kCodePage, CodePage::kIso8859_9},
     "ISO_8859-9:1989 latin5 l5 iso-ir-148 csISOLatin5"},
    {{"ISO-8859-10", Form::kCodePage, CodePage::kIso8859_10},
     "ISO_8859-10:1992 latin6 l6 iso-ir-157 csISOLatin6"},
    {{"ISO-8859-11", Form::kCodePage, CodePage::kIso8859_11}, ""},
    {{"ISO-8859-13", Form::kCodePage, CodePage::kIso8859_13}, "latin7 l7 iso-ir-179"},
    {{"ISO-8859-14", Form::kCodePage, CodePage::kIso8859_14},
     "ISO_8859-14:1998 latin8 l8 iso-ir-199 iso-celtic"},
    {{"ISO-8859-15", Form::kCodePage, CodePage::kIso8859_15}, "ISO_8859-15:1998 latin9 latin-9"},
    {{"ISO-8859-16", Form::kCodePage, CodePage::kIso8859_16},
     "ISO_8859-16:2001 latin10 l10 iso-ir-226"},
    {{"windows-1250", Form::kCodePage, CodePage::kWindows1250}, "cp1250 x-cp1250"},
    {{"windows-1251", Form::kCodePage, CodePage::kWindows1251}, "cp1251 x-cp1251"},
    {{"windows-1252", Form::kCodePage, CodePage::kWindows1252}, "cp1252 x-cp1252"},
    {{"windows-1253", Form::kCodePage, CodePage::kWindows1253}, "cp1253 x-cp1253"},
    {{"windows-1254", Form::kCodePage, CodePage::kWindows1254}, "cp1254 x-cp1254"},
    {{"windows-1255", Form::kCodePage, CodePage::kWindows1255}, "cp1255 x-cp1255"},
    {{"windows-1256", Form::kCodePage, CodePage::kWindows1256}, "cp1256 x-cp1256"},
    {{"windows-1257", Form::kCodePage, CodePage::kWindows1257}, "cp1257 x-cp1257"},
    {{"windows-1258", Form::kCodePage, CodePage::kWindows1258}, "cp1258 x-cp1258"},
};

}  // namespace

std::string NormalisedEncoding(std::string_view name) {
  std::string out;
  for (const char c : name) {
    if (c == '-' || c == '_' || c == ' ') continue;
    out.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
  }
  return out;
}

std::optional<EncodingEntry> FindEncoding(std::string_view declared) {
  const std::string wanted = NormalisedEncoding(declared);
  for (const Row& row : kRows) {
    if (NormalisedEncoding(row.entry.name) == wanted) return row.entry;
    std::string_view aliases = row.aliases;
    while (!aliases.empty()) {
      const std::size_t end = std::min(aliases.find(' '), aliases.size());
      if (NormalisedEncoding(aliases.substr(0, end)) == wanted) return row.entry;
      aliases.remove_prefix(std::min(end + 1, aliases.size()));
    }
  }
  return std::nullopt;
}

std::vector<EncodingEntry> KnownEncodings() {
  std::vector<EncodingEntry> entries;
  for (const Row& row : kRows) entries.push_back(row.entry);
  return entries;
}

}  // namespace sbrep
