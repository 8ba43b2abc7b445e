#include "xml/transcoder.h"

#include <cstdio>
#include <cstring>

#include "core/error.h"
#include "platform/codepage.h"

namespace sbrep {
namespace {

bool OneOf(const std::string& name, std::initializer_list<std::string_view> names) {
  for (const std::string_view known : names) {
    if (name == known) return true;
  }
  return false;
}

std::string_view EncodingName(Encoding encoding) {
  switch (encoding) {
    case Encoding::kUtf8:
      return "UTF-8";
    case Encoding::kUtf16Le:
    case Encoding::kUtf16Be:
      return "UTF-16";
    case Encoding::kAscii:
      return "ASCII";
    case Encoding::kLatin1:
      return "ISO-8859-1";
    case Encoding::kGbk:
      return "GBK";
    case Encoding::kGb18030:
      return "GB18030";
  }
  return "";
}

unsigned char At(std::string_view bytes, std::size_t i) {
  return static_cast<unsigned char>(bytes[i]);
}

void PutUtf8(std::uint32_t code, std::string* out) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// The length of the GBK or GB18030 character that starts at `i`, counting
// bytes that are not there yet.
std::size_t CharLength(std::string_view bytes, std::size_t i, bool gb18030) {
  const unsigned char lead = At(bytes, i);
  if (lead < 0x81 || lead > 0xFE) return 1;
  if (gb18030 && i + 1 < bytes.size() && At(bytes, i + 1) >= 0x30 && At(bytes, i + 1) <= 0x39) {
    return 4;
  }
  return 2;
}

// Where the whole characters of `bytes` end. A byte below 0x40 that is not a
// digit is never part of a multi-byte character of GBK or GB18030, so the
// walk starts after the last such byte; markup puts one every few bytes.
std::size_t WholeCharacters(std::string_view bytes, bool gb18030) {
  std::size_t whole = bytes.size();
  while (whole > 0) {
    const unsigned char c = At(bytes, whole - 1);
    if (c < 0x30 || (c > 0x39 && c < 0x40)) break;
    --whole;
  }
  while (whole < bytes.size()) {
    const std::size_t length = CharLength(bytes, whole, gb18030);
    if (whole + length > bytes.size()) break;
    whole += length;
  }
  return whole;
}

}  // namespace

std::string NormalisedEncoding(const std::string& name) {
  std::string out;
  for (const char c : name) {
    if (c == '-' || c == '_' || c == ' ') continue;
    out.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
  }
  return out;
}

Encoding ChooseEncoding(const Prolog& prolog) {
  const std::string name = NormalisedEncoding(prolog.encoding);
  bool known = false;
  Encoding encoding = Encoding::kUtf8;
  if (prolog.utf16) {
    known = name.empty() ||
            OneOf(name, {"UTF16", "UTF16LE", "UTF16BE", "UCS2", "ISO10646UCS2", "UNICODE"});
    encoding = prolog.big_endian ? Encoding::kUtf16Be : Encoding::kUtf16Le;
  } else if (name.empty() || name == "UTF8") {
    known = true;
  } else if (OneOf(name, {"GBK", "CP936", "XGBK", "GB2312", "EUCCN"})) {
    known = true;
    encoding = Encoding::kGbk;
  } else if (name == "GB18030") {
    known = true;
    encoding = Encoding::kGb18030;
  } else if (OneOf(name, {"USASCII", "ASCII"})) {
    known = true;
    encoding = Encoding::kAscii;
  } else if (OneOf(name, {"ISO88591", "LATIN1"})) {
    known = true;
    encoding = Encoding::kLatin1;
  }
  if (!known) {
    ThrowExportError("the export declares the encoding '" + prolog.encoding +
                     "', which this does not read");
  }
  return encoding;
}

Transcoder::Transcoder(Encoding encoding, std::size_t mark)
    : encoding_(encoding), mark_left_(mark) {
  if (encoding == Encoding::kGbk || encoding == Encoding::kGb18030) {
    converter_ = std::make_unique<CodePageConverter>(
        encoding == Encoding::kGbk ? CodePage::kGbk : CodePage::kGb18030);
  }
}

Transcoder::~Transcoder() = default;

std::string_view Transcoder::Feed(std::string_view bytes, std::string* scratch) {
  if (mark_left_ > 0) {
    const std::size_t skip = std::min(mark_left_, bytes.size());
    mark_left_ -= skip;
    offset_ += skip;
    bytes.remove_prefix(skip);
  }
  std::string_view utf8 = bytes;
  switch (encoding_) {
    case Encoding::kUtf8:
      FeedUtf8(bytes);
      break;
    case Encoding::kAscii:
      for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (At(bytes, i) >= 0x80) Fail(offset_ + i, bytes.substr(i, 1));
      }
      break;
    case Encoding::kLatin1:
      scratch->clear();
      for (const char c : bytes) PutUtf8(static_cast<unsigned char>(c), scratch);
      utf8 = *scratch;
      break;
    case Encoding::kUtf16Le:
    case Encoding::kUtf16Be:
      scratch->clear();
      FeedUtf16(bytes, scratch);
      utf8 = *scratch;
      break;
    case Encoding::kGbk:
    case Encoding::kGb18030:
      scratch->clear();
      FeedCodePage(bytes, scratch);
      utf8 = *scratch;
      break;
  }
  offset_ += bytes.size();
  return utf8;
}

void Transcoder::Finish() {
  if (!carry_.empty()) Fail(carry_offset_, carry_);
  if (due_ > 0) Fail(carry_offset_, {});
}

void Transcoder::FeedUtf8(std::string_view bytes) {
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    if (due_ == 0) {
      // Eight ASCII bytes at a time, the common case by far.
      while (i + 8 <= n) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        if ((word & 0x8080808080808080ull) != 0) break;
        i += 8;
      }
      if (i >= n) break;
      const unsigned char lead = At(bytes, i);
      if (lead < 0x80) {
        ++i;
        continue;
      }
      carry_offset_ = offset_ + i;
      low_ = 0x80;
      high_ = 0xBF;
      if (lead >= 0xC2 && lead <= 0xDF) {
        due_ = 1;
      } else if (lead >= 0xE0 && lead <= 0xEF) {
        due_ = 2;
        if (lead == 0xE0) low_ = 0xA0;   // no overlong forms
        if (lead == 0xED) high_ = 0x9F;  // no surrogates
      } else if (lead >= 0xF0 && lead <= 0xF4) {
        due_ = 3;
        if (lead == 0xF0) low_ = 0x90;
        if (lead == 0xF4) high_ = 0x8F;  // nothing above U+10FFFF
      } else {
        Fail(carry_offset_, bytes.substr(i, 1));
      }
      ++i;
      continue;
    }
    const unsigned char next = At(bytes, i);
    if (next < low_ || next > high_) Fail(offset_ + i, bytes.substr(i, 1));
    low_ = 0x80;
    high_ = 0xBF;
    --due_;
    ++i;
  }
}

void Transcoder::FeedUtf16(std::string_view bytes, std::string* out) {
  const std::string in = carry_ + std::string(bytes);
  const std::uint64_t base = carry_.empty() ? offset_ : carry_offset_;
  const bool big = encoding_ == Encoding::kUtf16Be;
  const auto unit = [&](std::size_t i) -> std::uint32_t {
    const std::uint32_t a = At(in, i);
    const std::uint32_t b = At(in, i + 1);
    return big ? (a << 8) | b : (b << 8) | a;
  };
  out->reserve(in.size() * 3 / 2);
  std::size_t i = 0;
  while (i + 2 <= in.size()) {
    const std::uint32_t first = unit(i);
    if (first >= 0xDC00 && first <= 0xDFFF) Fail(base + i, std::string_view(in).substr(i, 2));
    if (first >= 0xD800 && first <= 0xDBFF) {
      if (i + 4 > in.size()) break;  // the pair goes on in the next chunk
      const std::uint32_t second = unit(i + 2);
      if (second < 0xDC00 || second > 0xDFFF) {
        Fail(base + i, std::string_view(in).substr(i, 4));
      }
      PutUtf8(0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00), out);
      i += 4;
      continue;
    }
    PutUtf8(first, out);
    i += 2;
  }
  carry_offset_ = base + i;
  carry_ = in.substr(i);
}

void Transcoder::FeedCodePage(std::string_view bytes, std::string* out) {
  const std::string in = carry_ + std::string(bytes);
  const std::uint64_t base = carry_.empty() ? offset_ : carry_offset_;
  const bool gb18030 = encoding_ == Encoding::kGb18030;
  const std::size_t whole = WholeCharacters(in, gb18030);
  const std::string_view body = std::string_view(in).substr(0, whole);
  if (!converter_->Decode(body, out)) {
    // Only a failure pays for finding the character, one at a time.
    std::string ignored;
    for (std::size_t i = 0; i < whole;) {
      const std::size_t length = CharLength(in, i, gb18030);
      if (!converter_->Decode(body.substr(i, length), &ignored)) {
        Fail(base + i, body.substr(i, length));
      }
      i += length;
    }
    Fail(base, body.substr(0, 1));
  }
  carry_offset_ = base + whole;
  carry_ = in.substr(whole);
}

void Transcoder::Fail(std::uint64_t offset, std::string_view bytes) const {
  std::string shown;
  for (std::size_t i = 0; i < bytes.size() && i < 4; ++i) {
    const unsigned char byte = At(bytes, i);
    shown += " 0x";
    shown += "0123456789ABCDEF"[byte >> 4];
    shown += "0123456789ABCDEF"[byte & 15];
  }
  std::string detail = "the export is not valid " + std::string(EncodingName(encoding_)) +
                       " at byte offset " + std::to_string(offset);
  if (shown.empty()) {
    detail += ": the file ends inside a character";
  } else {
    detail += " (" + shown.substr(1) + ")";
  }
  ThrowExportError(detail);
}

}  // namespace sbrep
