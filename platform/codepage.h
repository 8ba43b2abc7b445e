// The code-page seam: GBK (code page 936), the texts of the tables and the
// messages; the code pages an export may be written in; and the system's
// ANSI code page, in which a host passes its paths; each to and from UTF-8
// with the platform's own converter (MultiByteToWideChar and
// WideCharToMultiByte, or iconv).
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace sbrep {

// The code pages an export may be written in beside UTF-8, UTF-16, ASCII
// and ISO-8859-1 (which the reader decodes itself); GBK is the tables' too.
// Each backend knows its own converter for each, or has none.
enum class CodePage {
  kGbk,
  kGb18030,
  kBig5,
  kBig5Hkscs,
  kShiftJis,
  kEucJp,
  kEucKr,
  kIso8859_2,
  kIso8859_3,
  kIso8859_4,
  kIso8859_5,
  kIso8859_6,
  kIso8859_7,
  kIso8859_8,
  kIso8859_9,
  kIso8859_10,
  kIso8859_11,
  kIso8859_13,
  kIso8859_14,
  kIso8859_15,
  kIso8859_16,
  kWindows1250,
  kWindows1251,
  kWindows1252,
  kWindows1253,
  kWindows1254,
  kWindows1255,
  kWindows1256,
  kWindows1257,
  kWindows1258,
};

// Converts between UTF-8 and one code page for as long as it lives, so that a
// pass over an export opens its converter once. Strict both ways: no
// substitute, best-fit or default character is ever produced.
class CodePageConverter {
 public:
  explicit CodePageConverter(CodePage page);
  ~CodePageConverter();
  CodePageConverter(const CodePageConverter&) = delete;
  CodePageConverter& operator=(const CodePageConverter&) = delete;

  // Whether this system has a converter for the code page. Without one,
  // every conversion fails.
  static bool Available(CodePage page);

  // Appends the UTF-8 of `bytes`, whole characters of the code page, to
  // `out`. False, with `out` as it was, when they are not valid there.
  bool Decode(std::string_view bytes, std::string* out);
  // Appends the UTF-8 of the whole characters at the front of `bytes` to
  // `out`, and returns how many bytes they take: all of them, or all but the
  // last one to three where the bytes end inside a character. Nothing, with
  // `out` as it was, when a sequence is not valid.
  std::optional<std::size_t> DecodeWhole(std::string_view bytes, std::string* out);
  // Appends the code page's bytes for `utf8` to `out`. False, with `out` as
  // it was, when a character has no form there.
  bool Encode(std::string_view utf8, std::string* out);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Nothing when a character has no GBK form; never a substitute character.
std::optional<std::string> Utf8ToGbk(std::string_view utf8);
// Nothing when the bytes are not valid GBK.
std::optional<std::string> GbkToUtf8(std::string_view gbk);

// A host's path as UTF-8: Windows decodes it from the ANSI code page, POSIX
// keeps the bytes. A null pointer is empty text.
std::string AnsiToUtf8(const char* path);
// The bytes a host passes for a UTF-8 path: the ANSI code page on Windows,
// the UTF-8 itself on POSIX. Nothing when the code page has no form for one
// of its characters.
std::optional<std::string> Utf8ToAnsi(const std::string& utf8);

}  // namespace sbrep
