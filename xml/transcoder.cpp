#include "xml/transcoder.h"

#include <cstdio>
#include <cstring>

#include "core/error.h"
#include "platform/codepage.h"

namespace sbrep {
namespace {

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

// The mark at the start of the file, for a detail.
std::string MarkName(const Prolog& prolog) {
  if (!prolog.utf16) return "UTF-8";
  return prolog.big_endian ? "UTF-16BE" : "UTF-16LE";
}

// Whether UTF-8 text holds a character no export may hold where it stands:
// U+0000, or U+FEFF, which belongs only at the start as the mark.
bool HoldsForbidden(std::string_view utf8) {
  return utf8.find('\0') != std::string_view::npos ||
         utf8.find("\xEF\xBB\xBF") != std::string_view::npos;
}

}  // namespace

Encoding ChooseEncoding(const Prolog& prolog) {
  const std::string& declared = prolog.encoding;
  const Form family = prolog.utf16 ? Form::kUtf16 : Form::kUtf8;
  if (declared.empty())
    return {*FindEncoding(prolog.utf16 ? "UTF-16" : "UTF-8"), prolog.big_endian};
  const std::optional<EncodingEntry> entry = FindEncoding(declared);
  // The mark decides what the bytes are; a declaration that says otherwise
  // is the export's fault, never a reason to read them another way.
  if (prolog.mark > 0 && (!entry || entry->form != family)) {
    ThrowExportError("the export starts with a " + MarkName(prolog) +
                     " byte order mark but declares the encoding '" + declared + "'");
  }
  if (!entry || (entry->form == Form::kUtf16) != prolog.utf16) {
    ThrowExportError("the export declares the encoding '" + declared +
                     "', which this does not read");
  }
  if (entry->form == Form::kCodePage && !CodePageConverter::Available(entry->code_page)) {
    ThrowExportError("the export declares the encoding '" + declared +
                     "', which this system cannot convert");
  }
  return {*entry, prolog.big_endian};
}

Transcoder::Transcoder(const Encoding& encoding, std::size_t mark)
    : encoding_(encoding), mark_left_(mark) {
  if (encoding.entry.form == Form::kCodePage) {
    converter_ = std::make_unique<CodePageConverter>(encoding.entry.code_page);
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
  switch (encoding_.entry.form) {
    case Form::kUtf8:
      FeedUtf8(bytes);
      break;
    case Form::kAscii:
      for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (At(bytes, i) >= 0x80) Fail(offset_ + i, bytes.substr(i, 1));
        if (At(bytes, i) == 0) Refuse(offset_ + i, 0);
      }
      break;
    case Form::kLatin1:
      scratch->clear();
      for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (At(bytes, i) == 0) Refuse(offset_ + i, 0);
        PutUtf8(At(bytes, i), scratch);
      }
      utf8 = *scratch;
      break;
    case Form::kUtf16:
      scratch->clear();
      FeedUtf16(bytes, scratch);
      utf8 = *scratch;
      break;
    case Form::kCodePage:
      scratch->clear();
      if (encoding_.entry.code_page == CodePage::kGbk ||
          encoding_.entry.code_page == CodePage::kGb18030) {
        FeedGbk(bytes, scratch);
      } else {
        FeedCodePage(bytes, scratch);
      }
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
      // Eight ASCII bytes at a time, none of them zero, the common case by
      // far.
      while (i + 8 <= n) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        const std::uint64_t zero = (word - 0x0101010101010101ull) & ~word;
        if (((word | zero) & 0x8080808080808080ull) != 0) break;
        i += 8;
      }
      if (i >= n) break;
      const unsigned char lead = At(bytes, i);
      if (lead < 0x80) {
        if (lead == 0) Refuse(offset_ + i, 0);
        ++i;
        continue;
      }
      carry_offset_ = offset_ + i;
      code_ = lead;
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
    // Only EF BB BF makes U+FEFF, and the lead was seen: the rest in the
    // bytes that follow it.
    code_ = (code_ << 8) | next;
    if (--due_ == 0 && code_ == 0xEFBBBF) Refuse(carry_offset_, 0xFEFF);
    ++i;
  }
}

void Transcoder::FeedUtf16(std::string_view bytes, std::string* out) {
  const std::string in = carry_ + std::string(bytes);
  const std::uint64_t base = carry_.empty() ? offset_ : carry_offset_;
  const bool big = encoding_.big_endian;
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
    if (first == 0 || first == 0xFEFF) Refuse(base + i, first);
    PutUtf8(first, out);
    i += 2;
  }
  carry_offset_ = base + i;
  carry_ = in.substr(i);
}

// The family of GBK is the common case, and its lead and trail bytes tell
// where its characters end without asking the converter.
void Transcoder::FeedGbk(std::string_view bytes, std::string* out) {
  const std::string in = carry_ + std::string(bytes);
  const std::uint64_t base = carry_.empty() ? offset_ : carry_offset_;
  const bool gb18030 = encoding_.entry.code_page == CodePage::kGb18030;
  const std::size_t whole = WholeCharacters(in, gb18030);
  const std::string_view body = std::string_view(in).substr(0, whole);
  const std::size_t before = out->size();
  if (!converter_->Decode(body, out) || HoldsForbidden(std::string_view(*out).substr(before))) {
    // Only a failure pays for finding the character, one at a time.
    std::string one;
    for (std::size_t i = 0; i < whole;) {
      const std::size_t length = CharLength(in, i, gb18030);
      one.clear();
      if (!converter_->Decode(body.substr(i, length), &one)) {
        Fail(base + i, body.substr(i, length));
      }
      if (HoldsForbidden(one)) Refuse(base + i, one == std::string(1, '\0') ? 0 : 0xFEFF);
      i += length;
    }
    Fail(base, body.substr(0, 1));
  }
  carry_offset_ = base + whole;
  carry_ = in.substr(whole);
}

// Any other code page: the converter says where the whole characters end,
// and a character cut at the end waits for the next bytes.
void Transcoder::FeedCodePage(std::string_view bytes, std::string* out) {
  const std::string in = carry_ + std::string(bytes);
  const std::uint64_t base = carry_.empty() ? offset_ : carry_offset_;
  const std::size_t before = out->size();
  const std::optional<std::size_t> whole = converter_->DecodeWhole(in, out);
  if (!whole || HoldsForbidden(std::string_view(*out).substr(before))) {
    FailWithin(std::string_view(in).substr(0, whole ? *whole : in.size()), base);
  }
  carry_offset_ = base + *whole;
  carry_ = in.substr(*whole);
}

void Transcoder::FailWithin(std::string_view bytes, std::uint64_t base) {
  // A character is the shortest run of bytes that converts on its own.
  std::string one;
  std::size_t i = 0;
  while (i < bytes.size()) {
    std::size_t length = 0;
    for (std::size_t n = 1; n <= 4 && i + n <= bytes.size() && length == 0; ++n) {
      one.clear();
      if (converter_->Decode(bytes.substr(i, n), &one)) length = n;
    }
    // Shown with the byte after it, which a lead byte waits for.
    if (length == 0) Fail(base + i, bytes.substr(i, 2));
    if (HoldsForbidden(one)) Refuse(base + i, one == std::string(1, '\0') ? 0 : 0xFEFF);
    i += length;
  }
  Fail(base, bytes.substr(0, 1));
}

void Transcoder::Refuse(std::uint64_t offset, std::uint32_t code) {
  ThrowExportError(code == 0 ? "the export holds a NUL character at byte offset " +
                                   std::to_string(offset) + ", which XML does not allow"
                             : "the export holds U+FEFF at byte offset " + std::to_string(offset) +
                                   ", which is a byte order mark only at the start of a file");
}

void Transcoder::Fail(std::uint64_t offset, std::string_view bytes) const {
  std::string shown;
  for (std::size_t i = 0; i < bytes.size() && i < 4; ++i) {
    const unsigned char byte = At(bytes, i);
    shown += " 0x";
    shown += "0123456789ABCDEF"[byte >> 4];
    shown += "0123456789ABCDEF"[byte & 15];
  }
  std::string detail = "the export is not valid " + std::string(encoding_.entry.name) +
                       " at byte offset " + std::to_string(offset);
  if (shown.empty()) {
    detail += ": the file ends inside a character";
  } else {
    detail += " (" + shown.substr(1) + ")";
  }
  ThrowExportError(detail);
}

}  // namespace sbrep
