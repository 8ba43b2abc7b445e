#include "support/support.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace sbrep::test {

std::string GbkToUtf8ForTest(const std::string& gbk) {
  const auto utf8 = GbkToUtf8(gbk);
  EXPECT_TRUE(utf8.has_value()) << "not GBK";
  return utf8.value_or("");
}

std::string CallerPath(const std::string& utf8) {
  const auto ansi = Utf8ToAnsi(utf8);
  EXPECT_TRUE(ansi.has_value()) << "the ANSI code page cannot hold '" << utf8 << "'";
  return ansi.value_or("");
}

CallResult CallSetSBRepData(const std::string& xml_path_utf8, int kind) {
  return HostCall(CallerPath(xml_path_utf8), kind);
}

std::string CaseName(const std::string& what) {
  std::string name;
  bool word = true;
  for (const char c : what) {
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (alnum) name += word && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    word = !alnum;
  }
  return name;
}

}  // namespace sbrep::test
