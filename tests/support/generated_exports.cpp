#include "support/generated_exports.h"

#include <cstdio>
#include <optional>
#include <random>
#include <vector>

#include "platform/codepage.h"
#include "xml/encodings.h"

namespace sbrep::test {
namespace {

// 北京宏远商贸有限公司 and 货币资金: text GBK holds.
constexpr const char* kChinese[] = {
    "\xE5\x8C\x97\xE4\xBA\xAC\xE5\xAE\x8F\xE8\xBF\x9C\xE5\x95\x86\xE8\xB4\xB8\xE6\x9C\x89\xE9\x99"
    "\x90\xE5\x85\xAC\xE5\x8F\xB8",
    "\xE8\xB4\xA7\xE5\xB8\x81\xE8\xB5\x84\xE9\x87\x91"};
// An emoji: no GBK form.
constexpr const char kEmoji[] = "\xF0\x9F\x98\x80";
// Words of other scripts, for the exports in other encodings: 北京宏遠商貿,
// 啲嘢㗎, 株式会社ｱｲ, 주식회사, Москва, Αθήνα, Łódź, Café, Straße, İstanbul,
// שלום, مرحبا, Tiếng Việt, ąčęėįšųūž, กรุงเทพ, Ŵŷ, Œuvre, Ștefan. Some of
// them GBK holds, most of them not.
constexpr const char* kWords[] = {
    "\xE5\x8C\x97\xE4\xBA\xAC\xE5\xAE\x8F\xE9\x81\xA0\xE5\x95\x86\xE8\xB2\xBF",
    "\xE5\x95\xB2\xE5\x98\xA2\xE3\x97\x8E",
    "\xE6\xA0\xAA\xE5\xBC\x8F\xE4\xBC\x9A\xE7\xA4\xBE\xEF\xBD\xB1\xEF\xBD\xB2",
    "\xEC\xA3\xBC\xEC\x8B\x9D\xED\x9A\x8C\xEC\x82\xAC",
    "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0",
    "\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1",
    "\xC5\x81\xC3\xB3\x64\xC5\xBA",
    "Caf\xC3\xA9",
    "Stra\xC3\x9F\x65",
    "\xC4\xB0stanbul",
    "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D",
    "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7",
    "Ti\xE1\xBA\xBFng Vi\xE1\xBB\x87t",
    "\xC4\x85\xC4\x8D\xC4\x99\xC4\x97\xC4\xAF\xC5\xA1\xC5\xB3\xC5\xAB\xC5\xBE",
    "\xE0\xB8\x81\xE0\xB8\xA3\xE0\xB8\xB8\xE0\xB8\x87\xE0\xB9\x80\xE0\xB8\x97\xE0\xB8\x9E",
    "\xC5\xB4\xC5\xB7",
    "\xC5\x92uvre",
    "\xC8\x98tefan",
};

class Random {
 public:
  explicit Random(std::uint32_t seed) : engine_(seed) {
    // Most exports are fit to file, so that the values are compared too;
    // the others break one or two rules somewhere.
    const std::uint32_t roll = Below(20);
    faults_ = roll < 9 ? 0 : roll < 17 ? 1 : 2;
  }
  // 0 to n - 1.
  std::uint32_t Below(std::uint32_t n) { return n == 0 ? 0 : engine_() % n; }
  // True one time in `n`.
  bool OneIn(std::uint32_t n) { return Below(n) == 0; }
  // The two names an export holds: Chinese ones, or words of the script of
  // its encoding.
  const std::string& Word(std::uint32_t i) const { return words_[i]; }
  void SetWord(std::uint32_t i, std::string word) { words_[i] = std::move(word); }
  template <typename T, std::size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[Below(N)];
  }
  // True one time in `n`, while the export may still break a rule.
  bool Fault(std::uint32_t n) {
    if (faults_ == 0 || !OneIn(n)) return false;
    --faults_;
    return true;
  }

 private:
  std::mt19937 engine_;
  int faults_;
  std::string words_[2] = {kChinese[0], kChinese[1]};
};

// Writes a document, with the noise a reader must see through between the
// children of an element.
class Writer {
 public:
  explicit Writer(Random& random) : random_(random) {}

  void Open(const std::string& name) {
    Noise();
    xml_ += "<" + name + ">";
    names_.push_back(name);
    last_cdata_ = false;
  }
  void Close() {
    Noise();
    xml_ += "</" + names_.back() + ">";
    names_.pop_back();
    last_cdata_ = false;
  }
  // An element holding one value, written one of several ways.
  void Leaf(const std::string& name, const std::string& value) {
    Open(name);
    Value(value);
    Close();
  }
  // A value as text: padded, wrapped in CDATA, with references, or cut by a
  // comment or an inner element.
  void Value(const std::string& value) {
    switch (random_.Below(10)) {
      case 0:
        Cdata(value);
        break;
      case 1:
        xml_ += "  " + Escaped(value) + "\n ";
        break;
      case 2:
      case 3: {
        // Cut after the first character, not inside it.
        std::size_t cut = 1;
        while (cut < value.size() && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) ++cut;
        if (cut >= value.size()) {
          xml_ += Escaped(value);
        } else if (random_.OneIn(2)) {
          xml_ += Escaped(value.substr(0, cut)) + "<!-- cut -->" + Escaped(value.substr(cut));
        } else {
          xml_ += "<P>" + Escaped(value.substr(0, cut)) + "</P><Q>" + Escaped(value.substr(cut)) +
                  "</Q>";
        }
        break;
      }
      case 4:
        for (const char c : value) {
          if (c >= '0' && c <= '9' && random_.OneIn(3)) {
            xml_ += "&#" + std::to_string(static_cast<int>(c)) + ";";
          } else {
            xml_ += Escaped(std::string(1, c));
          }
        }
        break;
      default:
        xml_ += Escaped(value);
        break;
    }
  }
  // Text that stands as a child of its own.
  void Text(const std::string& text) {
    xml_ += Escaped(text);
    last_cdata_ = false;
  }
  void Cdata(const std::string& text) {
    // Two sections side by side: one parser's tree merges them, the other's
    // does not; the readers' tests pin that case down on its own.
    if (last_cdata_) xml_ += "<!---->";
    xml_ += "<![CDATA[" + text + "]]>";
    last_cdata_ = true;
  }
  void Raw(const std::string& text) { xml_ += text; }
  std::string& xml() { return xml_; }

 private:
  static std::string Escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
      switch (c) {
        case '<':
          out += "&lt;";
          break;
        case '&':
          out += "&amp;";
          break;
        case '>':
          out += "&gt;";
          break;
        default:
          out += c;
      }
    }
    return out;
  }

  void Noise() {
    switch (random_.Below(12)) {
      case 0:
        xml_ += "<!-- note -->";
        break;
      case 1:
        xml_ += "<?pi data?>";
        break;
      case 2:
        if (!last_cdata_ && !names_.empty()) xml_ += "<![CDATA[  ]]>";
        break;
      case 3:
      case 4:
        break;
      default:
        xml_ += "\n" + std::string(random_.Below(8), ' ');
        break;
    }
  }

  Random& random_;
  std::string xml_;
  std::vector<std::string> names_;
  bool last_cdata_ = false;
};

std::string Number(Random& random) {
  if (random.Fault(60)) {
    static const char* const kBad[] = {"", "1,200.00", "abc", "1e999", "12.5.0"};
    return random.Pick(kBad);
  }
  switch (random.Below(10)) {
    case 0:
      return "-" + std::to_string(random.Below(1000)) + ".5";
    case 1:
      return "1e3";
    case 2:
      return " 12.50 ";
    case 3:
      return "0.005";
    default:
      return std::to_string(random.Below(100000)) + "." + std::to_string(10 + random.Below(90));
  }
}

std::string RowValue(Random& random) {
  if (random.Fault(300)) {
    const std::string bad[] = {"a\nb", std::string("x") + kEmoji, std::string(70000, '9')};
    return random.Pick(bad);
  }
  switch (random.Below(12)) {
    case 0:
      return random.Word(random.Below(2));
    case 1:
      return "1, 2";
    case 2:
      return "";
    case 3:
      return "a  b";
    default:
      return Number(random);
  }
}

void RowItem(Writer& w, Random& random, const std::string& item_name, int row) {
  if (random.Fault(300)) {
    w.Text("stray text");
    return;
  }
  w.Open(random.OneIn(30) ? std::string("OTHER") : item_name);
  int children = 4;
  if (random.Fault(300)) children = static_cast<int>(random.Below(4));
  if (random.OneIn(10)) children += static_cast<int>(random.Below(3));
  for (int c = 0; c < children; ++c) {
    if (c == 0) {
      w.Leaf("HC", std::to_string(random.OneIn(20) ? row + 1 : row));
    } else if (c == 1) {
      w.Leaf("XMMC", random.Word(random.Below(2)));
    } else if ((c == 2 || c == 3) && random.OneIn(25)) {
      w.Text(RowValue(random) + "t");  // the value as a text child
    } else {
      w.Leaf(c == 2 ? "NCS" : c == 3 ? "QMS" : "EXTRA", RowValue(random));
    }
  }
  w.Close();
}

void Part(Writer& w, Random& random, const std::string& name) {
  w.Open(name);
  if (random.Fault(15)) {
    if (random.OneIn(2)) w.Raw("  <!-- only a comment -->  ");
    w.Close();
    return;
  }
  switch (random.Below(15)) {
    case 0:
      w.Text("just text");
      break;
    default:
      w.Leaf("NSRSBH", "91110105MA01ABCD2X");
      w.Leaf("NSRMC", random.Word(0));
  }
  w.Close();
}

void RowExport(Writer& w, Random& random, const std::string& section, std::size_t rows) {
  const std::string root = random.Fault(40) ? "dzsbb" : random.Fault(40) ? "x:DZSBB" : "DZSBB";
  w.Raw("<" + root + (root == "x:DZSBB" ? " xmlns:x=\"urn:x\">" : ">"));
  if (random.OneIn(10)) {
    w.Open(section == "SB_SYB" ? "SB_ZCFZB" : "SB_SYB");
    w.Close();
  }
  const bool has_section = !random.Fault(40);
  if (has_section) {
    w.Open(section);
    std::vector<int> parts = {0, 1, 2};
    if (random.OneIn(10)) std::swap(parts[random.Below(3)], parts[random.Below(3)]);
    for (const int part : parts) {
      if (random.Fault(40)) continue;  // missing
      if (part == 0) Part(w, random, section + "_JG");
      if (part == 1) Part(w, random, section + "_BTXX");
      if (part == 2) {
        w.Open(section + "_MXXX");
        std::size_t items = random.Below(static_cast<std::uint32_t>(rows + 1));
        if (random.OneIn(5)) items = rows;
        if (random.Fault(12)) items = rows + 1 + random.Below(3);
        for (std::size_t i = 0; i < items; ++i) {
          RowItem(w, random, section + "_XM", static_cast<int>(i + 1));
        }
        w.Close();
      }
      if (random.OneIn(20)) Part(w, random, section + "_JG");  // a second one
    }
    w.Close();
  }
  if (random.OneIn(10)) {
    w.Open(section);
    w.Close();
  }
  w.Raw("</" + root + ">");
}

void Invoice(Writer& w, Random& random) {
  if (random.Fault(150)) {
    w.Text("stray");
    return;
  }
  w.Open(random.OneIn(30) ? "OTHER" : "SB_KPJK_FPMX");
  static const char* const kWaste[] = {"0", "0", "0", "1", " 1 ", "", "01", "Y"};
  static const char* const kKinds[] = {"0", "0", "1", "2", "2", "+1"};
  static const char* const kBadKinds[] = {"3", "-1", "x", ""};
  static const char* const kRates[] = {"17", "13", "6", "4", "3", "+17", "0"};
  static const char* const kBadRates[] = {"17.0", "", "x"};
  struct Field {
    std::string name;
    std::string value;
  };
  std::vector<Field> fields = {
      {"GFMC", random.Word(random.Below(2))},
      {"Waste", random.Pick(kWaste)},
      {"InvKind", random.Fault(150) ? random.Pick(kBadKinds) : random.Pick(kKinds)},
      {"TaxRate", random.Fault(150) ? random.Pick(kBadRates) : random.Pick(kRates)},
      {"Amount", Number(random)},
      {"Tax", Number(random)}};
  if (random.OneIn(30)) fields.push_back({"Amount", "999"});  // a second one
  for (std::size_t i = 0; i + 1 < fields.size(); ++i) {
    if (random.OneIn(4))
      std::swap(fields[i],
                fields[i + 1 + random.Below(static_cast<std::uint32_t>(fields.size() - i - 1))]);
  }
  for (const Field& field : fields) {
    if (random.Fault(200)) continue;  // missing
    w.Leaf(field.name, field.value);
  }
  w.Close();
}

void InvoiceExport(Writer& w, Random& random) {
  const std::string root = random.Fault(40) ? "DZSBB" : "SB_KPJK";
  w.Open(root);
  Part(w, random, "SB_KPJK_JG");
  const int lists = random.Fault(30) ? 0 : random.OneIn(15) ? 2 : 1;
  for (int list = 0; list < lists; ++list) {
    w.Open("SB_KPJK_FPXX");
    const std::uint32_t invoices = random.Fault(20) ? 0 : 1 + random.Below(30);
    for (std::uint32_t i = 0; i < invoices; ++i) Invoice(w, random);
    w.Close();
  }
  w.Close();
}

// The length of the UTF-8 character that starts with `lead`.
std::size_t Utf8Length(unsigned char lead) {
  return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

std::uint32_t CodeOf(const std::string& utf8, std::size_t at, std::size_t length) {
  const auto lead = static_cast<unsigned char>(utf8[at]);
  std::uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    code = (code << 6) | (static_cast<unsigned char>(utf8[at + k]) & 0x3F);
  }
  return code;
}

// A UTF-8 text in an 8-bit or multi-byte encoding; characters it has no
// form for go in as references, as a careful exporter writes them.
std::string Encoded(const std::string& utf8, const EncodingEntry& entry) {
  std::optional<CodePageConverter> converter;
  if (entry.form == Form::kCodePage) converter.emplace(entry.code_page);
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t length = Utf8Length(static_cast<unsigned char>(utf8[i]));
    const std::uint32_t code = CodeOf(utf8, i, length);
    bool done = code < 0x80;
    if (done) {
      out += utf8[i];
    } else if (entry.form == Form::kLatin1 && code < 0x100) {
      out += static_cast<char>(code);
      done = true;
    } else if (converter) {
      done = converter->Encode(utf8.substr(i, length), &out);
    }
    if (!done) {
      char reference[16];
      std::snprintf(reference, sizeof reference, "&#x%X;", static_cast<unsigned>(code));
      out += reference;
    }
    i += length;
  }
  return out;
}

// Whether every character of `word` has a form in the encoding.
bool Holds(const EncodingEntry& entry, const std::string& word) {
  return Encoded(word, entry).find("&#x") == std::string::npos;
}

std::string Utf16(const std::string& utf8, bool big_endian) {
  std::string out;
  const auto put = [&](std::uint32_t unit) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    out += big_endian ? std::string{high, low} : std::string{low, high};
  };
  put(0xFEFF);
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t length = Utf8Length(static_cast<unsigned char>(utf8[i]));
    const std::uint32_t code = CodeOf(utf8, i, length);
    i += length;
    if (code >= 0x10000) {
      put(0xD800 + ((code - 0x10000) >> 10));
      put(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      put(code);
    }
  }
  return out;
}

}  // namespace

GeneratedExport GenerateExport(std::uint32_t seed) {
  Random random(seed);
  // Half of them in UTF-8 or UTF-16, the others in every other encoding in
  // turn, the GBK family most often.
  static const std::vector<EncodingEntry> kEncodings = KnownEncodings();
  const std::uint32_t roll = random.Below(40);
  std::optional<EncodingEntry> encoding;
  if (roll < 6) {
    encoding = FindEncoding(roll < 2 ? "GBK" : roll < 4 ? "GB2312" : "GB18030");
  } else if (roll >= 10 && roll < 20) {
    encoding = kEncodings[random.Below(static_cast<std::uint32_t>(kEncodings.size()))];
    if (encoding->form == Form::kUtf8 || encoding->form == Form::kUtf16) encoding.reset();
  }
  if (encoding) {
    // Words the encoding holds in place of the Chinese ones it does not;
    // some of them GBK lacks.
    std::vector<std::string> words;
    for (const char* word : kWords) {
      if (Holds(*encoding, word)) words.emplace_back(word);
    }
    for (std::uint32_t i = 0; i < 2; ++i) {
      if (words.empty() || Holds(*encoding, random.Word(i))) continue;
      random.SetWord(i, words[random.Below(static_cast<std::uint32_t>(words.size()))]);
    }
  }

  Writer w(random);
  GeneratedExport made;
  switch (random.Below(3)) {
    case 0:
      RowExport(w, random, "SB_ZCFZB", 58);
      made.shape = "balance sheet";
      break;
    case 1:
      RowExport(w, random, "SB_SYB", 17);
      made.shape = "income statement";
      break;
    default:
      InvoiceExport(w, random);
      made.shape = "invoices";
      break;
  }
  std::string body = w.xml() + "\n";
  if (random.Fault(40)) body += "<after/>";  // not well-formed past the root
  if (random.OneIn(40)) {
    body = "<!DOCTYPE D [<!ENTITY e \"1\">]>" + body;  // blanked: no entity left
    if (random.Fault(2))
      body.insert(
          body.find("<NCS>") != std::string::npos ? body.find("<NCS>") + 5 : body.size() - 1,
          "&e;");
  }
  const auto declared = [](const std::string& name) {
    return "<?xml version=\"1.0\" encoding=\"" + name + "\"?>\n";
  };
  const std::string name = encoding ? std::string(encoding->name) : "";
  if (encoding) {
    // GB2312 is declared as such, and read as GBK.
    const std::string shown = roll >= 2 && roll < 4 ? "GB2312" : name;
    made.bytes = declared(shown) + Encoded(body, *encoding);
    made.shape += ", " + shown;
  } else if (roll >= 6 && roll < 10) {
    made.bytes = Utf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n" + body, roll >= 8);
    made.shape += roll >= 8 ? ", UTF-16BE" : ", UTF-16LE";
  } else {
    const std::uint32_t form = random.Below(4);
    made.bytes = (form == 0 ? std::string("\xEF\xBB\xBF") : std::string()) +
                 (form == 1 ? std::string() : declared("UTF-8")) + body;
    made.shape += ", UTF-8";
  }
  if (made.bytes.size() > 200 && random.Fault(30)) {
    // Bytes not valid in the encoding, somewhere past the prolog.
    static const char* const kBad[] = {"\x81\x20", "\xA1\x0A", "\xC0\x80", "\x80", "\xED\xA0\x80"};
    made.bytes.insert(100 + random.Below(static_cast<std::uint32_t>(made.bytes.size() - 150)),
                      random.Pick(kBad));
    made.shape += ", bad bytes";
  }
  return made;
}

}  // namespace sbrep::test
