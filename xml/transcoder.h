// Turns an export's bytes into the UTF-8 the parser reads, chunk by chunk and
// strictly: a byte sequence that is not valid in the export's encoding fails
// with its offset in the file, so that no substitute character is ever read.
// U+0000 and a U+FEFF past the mark fail too: from either a parser may take
// the text for another encoding, or skip a mark that hides what follows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "xml/encodings.h"
#include "xml/prolog.h"

namespace sbrep {

class CodePageConverter;

// What the transcoder reads: an encoding of the table, and the byte order
// with UTF-16.
struct Encoding {
  EncodingEntry entry;
  bool big_endian = false;
};

// The encoding of an export from what its prolog shows: its byte order mark
// or its first bytes decide what the bytes are, and the declaration must
// name an encoding of that kind. Throws an Error (Fault::kExport) for a
// name that is not in the table, for one that contradicts the mark or the
// bytes, and for a code page this system has no converter for.
Encoding ChooseEncoding(const Prolog& prolog);

class Transcoder {
 public:
  // `mark` is the length of the byte order mark at the start of the file.
  Transcoder(const Encoding& encoding, std::size_t mark);
  ~Transcoder();
  Transcoder(const Transcoder&) = delete;
  Transcoder& operator=(const Transcoder&) = delete;

  // The UTF-8 of the next bytes of the file: `bytes` itself where they are
  // UTF-8 already, otherwise `*scratch`. A character cut at the end of
  // `bytes` is completed by the next call. Throws an Error (Fault::kExport)
  // naming the offset of the first byte that is not valid.
  std::string_view Feed(std::string_view bytes, std::string* scratch);
  // Throws when the file ends inside a character.
  void Finish();

 private:
  void FeedUtf8(std::string_view bytes);
  void FeedUtf16(std::string_view bytes, std::string* out);
  void FeedGbk(std::string_view bytes, std::string* out);
  void FeedCodePage(std::string_view bytes, std::string* out);
  // Fails at the first character of `bytes` that is not valid, found one
  // character at a time; `base` is the offset of `bytes` in the file.
  [[noreturn]] void FailWithin(std::string_view bytes, std::uint64_t base);
  [[noreturn]] void Fail(std::uint64_t offset, std::string_view bytes) const;
  // A character that is valid in the encoding but not in an export.
  [[noreturn]] static void Refuse(std::uint64_t offset, std::uint32_t code);

  Encoding encoding_;
  std::uint64_t offset_ = 0;  // of the next byte fed
  std::size_t mark_left_;     // bytes of the mark still to skip
  // A character cut at the end of the last chunk, and its offset.
  std::string carry_;
  std::uint64_t carry_offset_ = 0;
  // UTF-8 validation that spans chunks: continuation bytes still due and
  // the range the next one must lie in.
  int due_ = 0;
  unsigned char low_ = 0x80;
  unsigned char high_ = 0xBF;
  std::uint32_t code_ = 0;  // the bytes of the character under way
  std::unique_ptr<CodePageConverter> converter_;
};

}  // namespace sbrep
