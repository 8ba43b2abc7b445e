// The one-shot conversions, on the platform's converter.
#include "platform/codepage.h"

namespace sbrep {

std::optional<std::string> Utf8ToGbk(std::string_view utf8) {
  std::string gbk;
  if (utf8.empty()) return gbk;
  CodePageConverter converter(CodePage::kGbk);
  if (!converter.Encode(utf8, &gbk)) return std::nullopt;
  return gbk;
}

std::optional<std::string> GbkToUtf8(std::string_view gbk) {
  std::string utf8;
  if (gbk.empty()) return utf8;
  CodePageConverter converter(CodePage::kGbk);
  if (!converter.Decode(gbk, &utf8)) return std::nullopt;
  return utf8;
}

}  // namespace sbrep
