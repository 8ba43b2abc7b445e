// The code page 936 seam: GBK to and from UTF-8, with the platform's own
// converter (WideCharToMultiByte and MultiByteToWideChar, or iconv).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sbrep {

// Nothing when a character has no GBK form; never a substitute character.
std::optional<std::string> Utf8ToGbk(std::string_view utf8);
// Nothing when the bytes are not valid GBK.
std::optional<std::string> GbkToUtf8(std::string_view gbk);

}  // namespace sbrep
