// SetSBRepData as a host sees it: the result, and what lands in the
// caller's buffer. This program loads the product and links nothing else of
// the library, so the bytes it expects are spelt out here.
#include <gtest/gtest.h>

#include <cstdio>

#include "harness/host.h"
#include "harness/host_call.h"
#include "include/sbrep.h"

namespace sbrep::test {
namespace {

// 没有安装申报软件!
constexpr char kNotInstalled[] =
    "\xc3\xbb\xd3\xd0\xb0\xb2\xd7\xb0\xc9\xea\xb1\xa8\xc8\xed\xbc\xfe\x21";
// 找不到损益表报表文件!
constexpr char kIncomeStatementMissing[] =
    "\xd5\xd2\xb2\xbb\xb5\xbd\xcb\xf0\xd2\xe6\xb1\xed\xb1\xa8\xb1\xed\xce\xc4\xbc\xfe\x21";
// 没有导出文件或导出路径错误!
constexpr char kExportMissing[] =
    "\xc3\xbb\xd3\xd0\xb5\xbc\xb3\xf6\xce\xc4\xbc\xfe\xbb\xf2\xb5\xbc\xb3\xf6\xc2\xb7\xbe\xb6\xb4"
    "\xed\xce\xf3\x21";

// The suite's paths are ASCII, the same bytes in every ANSI code page, so
// they go to the call as they are.
CallResult Call(const std::string& path, int kind) {
  for (const unsigned char c : path) {
    if (c >= 0x80) ADD_FAILURE() << "not an ASCII path: " << path;
  }
  return HostCall(path, kind);
}

// The bytes of a message, for a failure's report.
std::string Hex(const std::string& bytes) {
  std::string hex;
  for (const unsigned char c : bytes) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X ", c);
    hex += text;
  }
  return hex;
}

TEST(SetSBRepData, AKindOutsideTheThreeDoesNothing) {
  RegistryValue registry;
  registry.Remove();  // were it read, the call would fail
  for (int kind : {0, 4, -1, 2147483647, -2147483647 - 1}) {
    const auto call = Call("missing.xml", kind);
    EXPECT_EQ(call.result, 0) << kind;
    EXPECT_TRUE(call.untouched()) << kind;
  }
}

TEST(SetSBRepData, AFailureCopiesTheMessageAndOneNul) {
  RegistryValue registry;
  registry.Remove();
  const auto call = Call("missing.xml", SBREP_BALANCE_SHEET);
  EXPECT_EQ(call.result, -1);
  const std::string text = kNotInstalled;
  EXPECT_EQ(call.buffer.substr(0, text.size() + 1), text + '\0');
  EXPECT_EQ(call.buffer.substr(text.size() + 1), std::string(64 - text.size() - 1, '\xCC'))
      << "the bytes after the NUL keep their values";
}

TEST(SetSBRepData, EachFailureHandsBackItsOwnText) {
  FilingClient client;
  const auto first = Call("missing.xml", SBREP_INCOME_STATEMENT);
  EXPECT_EQ(first.message(), kIncomeStatementMissing);
  client.PutTable("TABLE02.dat", "x\r\n");
  const auto second = Call("missing.xml", SBREP_VAT_SCHEDULE_ONE);
  EXPECT_EQ(second.message(), kExportMissing);
  client.registry().Remove();
  const auto third = Call("missing.xml", SBREP_BALANCE_SHEET);
  EXPECT_EQ(third.message(), kNotInstalled);
}

TEST(SetSBRepData, ANullBufferOrPathStillFails) {
  FilingClient client;
  client.PutTable("TABLE02.dat", "x\r\n");
  EXPECT_EQ(SetSBRepData("missing.xml", SBREP_VAT_SCHEDULE_ONE, nullptr), -1);
  char buffer[SBREP_MESSAGE_CAPACITY] = {};
  EXPECT_EQ(SetSBRepData(nullptr, SBREP_VAT_SCHEDULE_ONE, buffer), -1);
  EXPECT_EQ(std::string(buffer), kExportMissing) << "a null path is empty text";
}

TEST(SetSBRepData, SuccessLeavesTheBufferAlone) {
  FilingClient client;
  client.PutTable("TABLE02.dat", ReadData("transfer/TABLE02.dat"));
  // An earlier failure leaves a text in the slot; success must not hand it on.
  Call("missing.xml", SBREP_VAT_SCHEDULE_ONE);
  const auto call = Call(DataPath("transfer/vat-worked-example.xml"), SBREP_VAT_SCHEDULE_ONE);
  EXPECT_EQ(call.result, 0) << Hex(call.message());
  EXPECT_TRUE(call.untouched());
}

}  // namespace
}  // namespace sbrep::test
