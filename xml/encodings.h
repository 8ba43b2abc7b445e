// The encodings an export may declare, each under its usual names: one table
// for the reader and for anything that must take the same names.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"

namespace sbrep {

// How the bytes of an encoding become UTF-8.
enum class Form { kUtf8, kUtf16, kAscii, kLatin1, kCodePage };

struct EncodingEntry {
  std::string_view name;  // as a parser knows it best, and details show it
  Form form;
  CodePage code_page;  // with Form::kCodePage
};

// An encoding's name without case, '-', '_' or spaces: "gb_2312" is GB2312.
std::string NormalisedEncoding(std::string_view name);

// The entry a declared name stands for, by its name or one of its aliases as
// iconv and MSXML spell them; nothing for a name that is not in the table.
std::optional<EncodingEntry> FindEncoding(std::string_view declared);

// Every entry of the table, by its name.
std::vector<EncodingEntry> KnownEncodings();

}  // namespace sbrep
