// Code page 936 through the Windows converters, whatever the system's ANSI
// code page. No best-fit look-alikes, no default character, and nothing
// that does not decode back.
#include <windows.h>

#include "declaration/codepage.h"
#include "filingclient/wide_win32.h"

namespace sbrep {
namespace {

constexpr UINT kGbk = 936;

std::optional<std::wstring> StrictWiden(std::string_view bytes, UINT code_page) {
  const int length = static_cast<int>(bytes.size());
  const int n =
      MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), length, wide.data(), n);
  return wide;
}

}  // namespace

std::optional<std::string> Utf8ToGbk(std::string_view utf8) {
  if (utf8.empty()) return std::string();
  const auto wide = StrictWiden(utf8, CP_UTF8);
  if (!wide) return std::nullopt;
  const int length = static_cast<int>(wide->size());
  BOOL used_default = FALSE;
  const int n = WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, wide->data(), length, nullptr, 0,
                                    nullptr, &used_default);
  if (n <= 0 || used_default) return std::nullopt;
  std::string gbk(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, wide->data(), length, gbk.data(), n, nullptr,
                      &used_default);
  if (used_default) return std::nullopt;
  // Some mappings have no way back (U+F8F5 to a lone 0xFF): bytes that do
  // not decode to the text are no GBK form of it.
  if (StrictWiden(gbk, kGbk) != wide) return std::nullopt;
  return gbk;
}

std::optional<std::string> GbkToUtf8(std::string_view gbk) {
  if (gbk.empty()) return std::string();
  const auto wide = StrictWiden(gbk, kGbk);
  if (!wide) return std::nullopt;
  return win32::Narrow(*wide);
}

}  // namespace sbrep
