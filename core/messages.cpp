#include "core/messages.h"

namespace sbrep {

std::string_view MessageBytes(Message message) {
  switch (message) {
    case Message::kEmpty:
      return {};
    case Message::kNotInstalled:
      // 没有安装申报软件!
      return "\xc3\xbb\xd3\xd0\xb0\xb2\xd7\xb0\xc9\xea\xb1\xa8\xc8\xed\xbc\xfe\x21";
    case Message::kInstallFolderMissing:
      // 没有安装申报软件或安装目录错误!
      return "\xc3\xbb\xd3\xd0\xb0\xb2\xd7\xb0\xc9\xea\xb1\xa8\xc8\xed\xbc\xfe\xbb\xf2\xb0\xb2\xd7"
             "\xb0\xc4\xbf\xc2\xbc\xb4\xed\xce\xf3\x21";
    case Message::kBalanceSheetMissing:
      // 找不到资产负债表报表文件!
      return "\xd5\xd2\xb2\xbb\xb5\xbd\xd7\xca\xb2\xfa\xb8\xba\xd5\xae\xb1\xed\xb1\xa8\xb1\xed\xce"
             "\xc4\xbc\xfe\x21";
    case Message::kIncomeStatementMissing:
      // 找不到损益表报表文件!
      return "\xd5\xd2\xb2\xbb\xb5\xbd\xcb\xf0\xd2\xe6\xb1\xed\xb1\xa8\xb1\xed\xce\xc4\xbc\xfe\x21";
    case Message::kVatScheduleOneMissing:
      // 找不到增值税附表一报表文件!
      return "\xd5\xd2\xb2\xbb\xb5\xbd\xd4\xf6\xd6\xb5\xcb\xb0\xb8\xbd\xb1\xed\xd2\xbb\xb1\xa8\xb1"
             "\xed\xce\xc4\xbc\xfe\x21";
    case Message::kExportMissing:
      // 没有导出文件或导出路径错误!
      return "\xc3\xbb\xd3\xd0\xb5\xbc\xb3\xf6\xce\xc4\xbc\xfe\xbb\xf2\xb5\xbc\xb3\xf6\xc2\xb7\xbe"
             "\xb6\xb4\xed\xce\xf3\x21";
    case Message::kXmlParseError:
      // XML文件解析出错!
      return "XML\xce\xc4\xbc\xfe\xbd\xe2\xce\xf6\xb3\xf6\xb4\xed\x21";
    case Message::kProcessingFailed:
      // 数据处理失败
      return "\xca\xfd\xbe\xdd\xb4\xa6\xc0\xed\xca\xa7\xb0\xdc";
  }
  return {};
}

std::string_view MessageGloss(Message message) {
  switch (message) {
    case Message::kEmpty:
      return "";
    case Message::kNotInstalled:
      return "the filing client is not installed";
    case Message::kInstallFolderMissing:
      return "the filing client is not installed, or its install folder is wrong";
    case Message::kBalanceSheetMissing:
      return "the balance sheet table file cannot be found";
    case Message::kIncomeStatementMissing:
      return "the income statement table file cannot be found";
    case Message::kVatScheduleOneMissing:
      return "the VAT schedule one table file cannot be found";
    case Message::kExportMissing:
      return "there is no export file, or its path is wrong";
    case Message::kXmlParseError:
      return "the XML file could not be parsed";
    case Message::kProcessingFailed:
      return "data processing failed";
  }
  return "";
}

}  // namespace sbrep
