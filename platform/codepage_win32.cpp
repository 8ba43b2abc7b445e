// Code pages through the Windows converters. GBK is code page 936 whatever
// the system's ANSI code page: no best-fit look-alikes, no default character,
// and nothing that does not decode back.
#include <windows.h>

#include "platform/codepage.h"
#include "platform/utf16_win32.h"

namespace sbrep {
namespace {

// Appends the UTF-16 text of bytes in `code_page` to `wide`; false when they
// do not convert.
bool Decode(std::string_view bytes, UINT code_page, DWORD flags, std::wstring* wide) {
  if (bytes.empty()) return true;
  // No code page makes more UTF-16 units than it has bytes, so one call
  // does it.
  const int length = static_cast<int>(bytes.size());
  const std::size_t start = wide->size();
  wide->resize(start + bytes.size());
  const int n =
      MultiByteToWideChar(code_page, flags, bytes.data(), length, wide->data() + start, length);
  wide->resize(n > 0 ? start + static_cast<std::size_t>(n) : start);
  return n > 0;
}

// Appends the bytes of a UTF-16 text in `code_page` to `bytes`; false when a
// character has no form there.
bool Encode(std::wstring_view wide, UINT code_page, std::string* bytes) {
  if (wide.empty()) return true;
  const int length = static_cast<int>(wide.size());
  BOOL used_default = FALSE;
  const int n = WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide.data(), length, nullptr,
                                    0, nullptr, &used_default);
  if (n <= 0 || used_default) return false;
  const std::size_t start = bytes->size();
  bytes->resize(start + static_cast<std::size_t>(n));
  WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide.data(), length, bytes->data() + start,
                      n, nullptr, &used_default);
  if (used_default) {
    bytes->resize(start);
    return false;
  }
  return true;
}

// Appends the UTF-8 of a UTF-16 text to `utf8`.
void AppendUtf8(std::wstring_view wide, std::string* utf8) {
  if (wide.empty()) return;
  const int length = static_cast<int>(wide.size());
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return;
  const std::size_t start = utf8->size();
  utf8->resize(start + static_cast<std::size_t>(n));
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8->data() + start, n, nullptr, nullptr);
}

// Whether GB18030 bytes hold only what GBK holds too: no four-byte
// sequence, and no single 0x80, which GBK reads as the euro sign.
bool WithinGbk(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte == 0x80) return false;
    if (byte < 0x81 || byte > 0xFE) continue;
    if (i + 1 < bytes.size()) {
      const auto next = static_cast<unsigned char>(bytes[i + 1]);
      if (next >= 0x30 && next <= 0x39) return false;
    }
    ++i;
  }
  return true;
}

// The code pages that read each, best first; 0 where there is none.
// EUC-JP and EUC-KR have a second that reads them too where the first is
// missing (Wine lacks 51932 and 51949); Big5-HKSCS has none on Windows.
struct Candidates {
  CodePage page;
  UINT code_pages[2];
};
constexpr Candidates kCandidates[] = {
    {CodePage::kGbk, {936, 0}},          {CodePage::kGb18030, {54936, 936}},
    {CodePage::kBig5, {950, 0}},         {CodePage::kBig5Hkscs, {0, 0}},
    {CodePage::kShiftJis, {932, 0}},     {CodePage::kEucJp, {51932, 20932}},
    {CodePage::kEucKr, {51949, 949}},    {CodePage::kIso8859_2, {28592, 0}},
    {CodePage::kIso8859_3, {28593, 0}},  {CodePage::kIso8859_4, {28594, 0}},
    {CodePage::kIso8859_5, {28595, 0}},  {CodePage::kIso8859_6, {28596, 0}},
    {CodePage::kIso8859_7, {28597, 0}},  {CodePage::kIso8859_8, {28598, 0}},
    {CodePage::kIso8859_9, {28599, 0}},  {CodePage::kIso8859_10, {28600, 0}},
    {CodePage::kIso8859_11, {28601, 0}}, {CodePage::kIso8859_13, {28603, 0}},
    {CodePage::kIso8859_14, {28604, 0}}, {CodePage::kIso8859_15, {28605, 0}},
    {CodePage::kIso8859_16, {28606, 0}}, {CodePage::kWindows1250, {1250, 0}},
    {CodePage::kWindows1251, {1251, 0}}, {CodePage::kWindows1252, {1252, 0}},
    {CodePage::kWindows1253, {1253, 0}}, {CodePage::kWindows1254, {1254, 0}},
    {CodePage::kWindows1255, {1255, 0}}, {CodePage::kWindows1256, {1256, 0}},
    {CodePage::kWindows1257, {1257, 0}}, {CodePage::kWindows1258, {1258, 0}},
};

// The code page this system reads `page` with; 0 when it has none.
UINT SystemCodePage(CodePage page) {
  for (const Candidates& candidates : kCandidates) {
    if (candidates.page != page) continue;
    for (const UINT code_page : candidates.code_pages) {
      if (code_page != 0 && IsValidCodePage(code_page)) return code_page;
    }
  }
  return 0;
}

}  // namespace

struct CodePageConverter::State {
  explicit State(CodePage page)
      : code_page(SystemCodePage(page)),
        gb18030_as_gbk(page == CodePage::kGb18030 && code_page == 936) {}

  UINT code_page;
  // Some systems (Wine among them) lack code page 54936. GB18030 is then
  // read as far as it agrees with GBK, and its four-byte sequences fail.
  bool gb18030_as_gbk;
  std::wstring wide;   // reused from call to call
  std::wstring check;  // the same, for the way back
};

CodePageConverter::CodePageConverter(CodePage page) : state_(std::make_unique<State>(page)) {}

CodePageConverter::~CodePageConverter() = default;

bool CodePageConverter::Available(CodePage page) { return SystemCodePage(page) != 0; }

bool CodePageConverter::Decode(std::string_view bytes, std::string* out) {
  if (state_->code_page == 0) return false;
  if (state_->gb18030_as_gbk && !WithinGbk(bytes)) return false;
  std::wstring& wide = state_->wide;
  wide.clear();
  if (!sbrep::Decode(bytes, state_->code_page, MB_ERR_INVALID_CHARS, &wide)) return false;
  AppendUtf8(wide, out);
  return true;
}

std::optional<std::size_t> CodePageConverter::DecodeWhole(std::string_view bytes,
                                                          std::string* out) {
  // The converter does not say where it stopped: bytes cut at the end fail
  // the whole call, and the call without them does not.
  for (std::size_t cut = 0; cut <= 3 && cut <= bytes.size(); ++cut) {
    const std::string_view front = bytes.substr(0, bytes.size() - cut);
    if (front.empty() || Decode(front, out)) return front.size();
  }
  return std::nullopt;
}

bool CodePageConverter::Encode(std::string_view utf8, std::string* out) {
  if (state_->code_page == 0) return false;
  std::wstring& wide = state_->wide;
  wide.clear();
  if (!sbrep::Decode(utf8, CP_UTF8, MB_ERR_INVALID_CHARS, &wide)) return false;
  const std::size_t start = out->size();
  if (!sbrep::Encode(wide, state_->code_page, out)) return false;
  // Some mappings have no way back (U+F8F5 to a lone 0xFF): bytes that do
  // not decode to the text are no form of it.
  std::wstring& check = state_->check;
  check.clear();
  if (!sbrep::Decode(std::string_view(*out).substr(start), state_->code_page, MB_ERR_INVALID_CHARS,
                     &check) ||
      check != wide) {
    out->resize(start);
    return false;
  }
  return true;
}

std::string AnsiToUtf8(const char* path) {
  if (path == nullptr || *path == '\0') return {};
  std::wstring wide;
  if (!Decode(path, CP_ACP, 0, &wide)) return {};
  std::string utf8;
  AppendUtf8(wide, &utf8);
  return utf8;
}

std::optional<std::string> Utf8ToAnsi(const std::string& utf8) {
  // The converter takes no flags for UTF-8, and needs none.
  if (GetACP() == CP_UTF8) return utf8;
  const std::wstring wide = win32::Widen(utf8);
  std::string ansi;
  if (!Encode(wide, CP_ACP, &ansi)) return std::nullopt;
  return ansi;
}

}  // namespace sbrep
