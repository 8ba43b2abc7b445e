// The exported function as a host sees it: the result, and what lands in the
// caller's buffer.
#include <gtest/gtest.h>

#include "export/messages.h"
#include "include/sbrep.h"
#include "support/support.h"

namespace sbrep {
namespace {

using testing::CallSetSBRepData;
using testing::FilingClient;

std::string Bytes(Message message) { return std::string(MessageBytes(message)); }

TEST(SetSBRepData, AKindOutsideTheThreeDoesNothing) {
  testing::RegistryValue registry;
  registry.Remove();  // were it read, the call would fail
  for (int kind : {0, 4, -1, 2147483647, -2147483647 - 1}) {
    const auto call = CallSetSBRepData("missing.xml", kind);
    EXPECT_EQ(call.result, 0) << kind;
    EXPECT_TRUE(call.untouched()) << kind;
  }
}

TEST(SetSBRepData, AFailureCopiesTheMessageAndOneNul) {
  testing::RegistryValue registry;
  registry.Remove();
  const auto call = CallSetSBRepData("missing.xml", SBREP_BALANCE_SHEET);
  EXPECT_EQ(call.result, -1);
  const std::string text = Bytes(Message::kNotInstalled);
  EXPECT_EQ(call.buffer.substr(0, text.size() + 1), text + '\0');
  EXPECT_EQ(call.buffer.substr(text.size() + 1), std::string(64 - text.size() - 1, '\xCC'))
      << "the bytes after the NUL keep their values";
}

TEST(SetSBRepData, EachFailureHandsBackItsOwnText) {
  FilingClient client;
  const auto first = CallSetSBRepData("missing.xml", SBREP_INCOME_STATEMENT);
  EXPECT_EQ(first.message(), Bytes(Message::kIncomeStatementMissing));
  client.PutTable("TABLE02.dat", "x\r\n");
  const auto second = CallSetSBRepData("missing.xml", SBREP_VAT_SCHEDULE_ONE);
  EXPECT_EQ(second.message(), Bytes(Message::kExportMissing));
  client.registry().Remove();
  const auto third = CallSetSBRepData("missing.xml", SBREP_BALANCE_SHEET);
  EXPECT_EQ(third.message(), Bytes(Message::kNotInstalled));
}

TEST(SetSBRepData, ANullBufferOrPathStillFails) {
  FilingClient client;
  client.PutTable("TABLE02.dat", "x\r\n");
  EXPECT_EQ(SetSBRepData("missing.xml", SBREP_VAT_SCHEDULE_ONE, nullptr), -1);
  char buffer[SBREP_MESSAGE_CAPACITY] = {};
  EXPECT_EQ(SetSBRepData(nullptr, SBREP_VAT_SCHEDULE_ONE, buffer), -1);
  EXPECT_EQ(std::string(buffer), Bytes(Message::kExportMissing)) << "a null path is empty text";
}

TEST(SetSBRepData, SuccessLeavesTheBufferAlone) {
  FilingClient client;
  client.PutTable("TABLE02.dat", testing::ReadData("writers/TABLE02.dat"));
  // An earlier failure leaves a text in the slot; success must not hand it on.
  CallSetSBRepData("missing.xml", SBREP_VAT_SCHEDULE_ONE);
  const auto call =
      CallSetSBRepData(testing::DataPath("writers/vat-worked-example.xml"), SBREP_VAT_SCHEDULE_ONE);
  EXPECT_EQ(call.result, 0) << testing::GbkToUtf8ForTest(call.message());
  EXPECT_TRUE(call.untouched());
}

TEST(SetSBRepData, EveryMessageFitsTheDocumentedCapacity) {
  for (Message m :
       {Message::kNotInstalled, Message::kInstallFolderMissing, Message::kBalanceSheetMissing,
        Message::kIncomeStatementMissing, Message::kVatScheduleOneMissing, Message::kExportMissing,
        Message::kXmlParseError, Message::kProcessingFailed}) {
    EXPECT_LT(MessageBytes(m).size(), static_cast<std::size_t>(SBREP_MESSAGE_CAPACITY));
  }
}

}  // namespace
}  // namespace sbrep
