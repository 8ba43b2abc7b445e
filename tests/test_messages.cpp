// The fixed texts, decoded with the platform's own code-page-936 converter.
#include <gtest/gtest.h>

#include "core/messages.h"
#include "include/sbrep.h"
#include "support/support.h"

namespace sbrep {
namespace {

TEST(Messages, DecodeToTheirChineseTextsWithTheGivenLengths) {
  struct Case {
    Message message;
    const char* utf8;
    std::size_t bytes;
  };
  const Case cases[] = {
      {Message::kNotInstalled, u8"没有安装申报软件!", 17},
      {Message::kInstallFolderMissing, u8"没有安装申报软件或安装目录错误!", 31},
      {Message::kBalanceSheetMissing, u8"找不到资产负债表报表文件!", 25},
      {Message::kIncomeStatementMissing, u8"找不到损益表报表文件!", 21},
      {Message::kVatScheduleOneMissing, u8"找不到增值税附表一报表文件!", 27},
      {Message::kExportMissing, u8"没有导出文件或导出路径错误!", 27},
      {Message::kXmlParseError, u8"XML文件解析出错!", 16},
      {Message::kProcessingFailed, u8"数据处理失败", 12},
  };
  for (const auto& c : cases) {
    const std::string bytes(MessageBytes(c.message));
    EXPECT_EQ(bytes.size(), c.bytes) << c.utf8;
    EXPECT_EQ(test::GbkToUtf8ForTest(bytes), c.utf8);
    EXPECT_FALSE(MessageGloss(c.message).empty());
  }
  EXPECT_TRUE(MessageBytes(Message::kEmpty).empty());
}

TEST(Messages, EveryMessageFitsTheDocumentedCapacity) {
  for (Message m :
       {Message::kNotInstalled, Message::kInstallFolderMissing, Message::kBalanceSheetMissing,
        Message::kIncomeStatementMissing, Message::kVatScheduleOneMissing, Message::kExportMissing,
        Message::kXmlParseError, Message::kProcessingFailed}) {
    EXPECT_LT(MessageBytes(m).size(), static_cast<std::size_t>(SBREP_MESSAGE_CAPACITY));
  }
}

}  // namespace
}  // namespace sbrep
