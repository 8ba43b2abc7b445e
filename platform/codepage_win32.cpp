// Code pages through the Windows converters. GBK is code page 936 whatever
// the system's ANSI code page: no best-fit look-alikes, no default character,
// and nothing that does not decode back.
#include <windows.h>

#include "platform/codepage.h"
#include "platform/utf16_win32.h"

namespace sbrep {
namespace {

constexpr UINT kGbk = 936;

// The UTF-16 text of bytes in `code_page`; nothing when they do not convert.
std::optional<std::wstring> Decode(std::string_view bytes, UINT code_page, DWORD flags) {
  const int length = static_cast<int>(bytes.size());
  const int n = MultiByteToWideChar(code_page, flags, bytes.data(), length, nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(code_page, flags, bytes.data(), length, wide.data(), n);
  return wide;
}

// The bytes of a UTF-16 text in `code_page`; nothing when a character has no
// form there.
std::optional<std::string> Encode(const std::wstring& wide, UINT code_page) {
  const int length = static_cast<int>(wide.size());
  BOOL used_default = FALSE;
  const int n = WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide.data(), length, nullptr,
                                    0, nullptr, &used_default);
  if (n <= 0 || used_default) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide.data(), length, bytes.data(), n,
                      nullptr, &used_default);
  if (used_default) return std::nullopt;
  return bytes;
}

}  // namespace

std::optional<std::string> Utf8ToGbk(std::string_view utf8) {
  if (utf8.empty()) return std::string();
  const auto wide = Decode(utf8, CP_UTF8, MB_ERR_INVALID_CHARS);
  if (!wide) return std::nullopt;
  auto gbk = Encode(*wide, kGbk);
  if (!gbk) return std::nullopt;
  // Some mappings have no way back (U+F8F5 to a lone 0xFF): bytes that do
  // not decode to the text are no GBK form of it.
  if (Decode(*gbk, kGbk, MB_ERR_INVALID_CHARS) != wide) return std::nullopt;
  return gbk;
}

std::optional<std::string> GbkToUtf8(std::string_view gbk) {
  if (gbk.empty()) return std::string();
  const auto wide = Decode(gbk, kGbk, MB_ERR_INVALID_CHARS);
  if (!wide) return std::nullopt;
  return win32::Narrow(*wide);
}

std::string AnsiToUtf8(const char* path) {
  if (path == nullptr || *path == '\0') return {};
  const auto wide = Decode(path, CP_ACP, 0);
  if (!wide) return {};
  return win32::Narrow(*wide);
}

std::optional<std::string> Utf8ToAnsi(const std::string& utf8) {
  // The converter takes no flags for UTF-8, and needs none.
  if (GetACP() == CP_UTF8) return utf8;
  const std::wstring wide = win32::Widen(utf8);
  if (wide.empty()) return std::string();
  return Encode(wide, CP_ACP);
}

}  // namespace sbrep
