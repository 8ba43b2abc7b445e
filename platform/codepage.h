// The code-page seam: GBK (code page 936), the texts of the tables and the
// messages, and the system's ANSI code page, in which a host passes its
// paths; each to and from UTF-8 with the platform's own converter
// (MultiByteToWideChar and WideCharToMultiByte, or iconv).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace sbrep {

// The multi-byte code pages an export may be written in, and the tables'.
enum class CodePage { kGbk, kGb18030 };

// Converts between UTF-8 and one code page for as long as it lives, so that a
// pass over an export opens its converter once. Strict both ways: no
// substitute, best-fit or default character is ever produced.
class CodePageConverter {
 public:
  explicit CodePageConverter(CodePage page);
  ~CodePageConverter();
  CodePageConverter(const CodePageConverter&) = delete;
  CodePageConverter& operator=(const CodePageConverter&) = delete;

  // Appends the UTF-8 of `bytes`, whole characters of the code page, to
  // `out`. False, with `out` as it was, when they are not valid there.
  bool Decode(std::string_view bytes, std::string* out);
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
