// What the three kinds' tests share: a registered filing-client install,
// exports written beside it, and the lines of a table file as the client
// reads them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/error.h"
#include "core/messages.h"
#include "support/support.h"
#include "transfer/table_kinds.h"
#include "transfer/transfer.h"

namespace sbrep::test {

// The text with the first `from` replaced by `to`; `from` must be there.
inline std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const auto at = text.find(from);
  EXPECT_NE(at, std::string::npos) << "no '" << from << "' to replace";
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// Every occurrence of `from` replaced by `to`.
inline std::string ReplacedAll(std::string text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// Lines of a file a transfer wrote: each must end in CR LF.
inline std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const auto end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "last line has no CR LF";
      lines.push_back(bytes.substr(start));
      break;
    }
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

inline std::string Joined(const std::vector<std::string>& lines, const std::string& br = "\r\n") {
  std::string bytes;
  for (const auto& line : lines) bytes += line + br;
  return bytes;
}

struct Item {
  std::string first;
  std::string second;
};

// A DZSBB export with one section (SB_ZCFZB or SB_SYB) holding these items.
inline std::string RowExport(const std::string& section, const std::vector<Item>& items) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DZSBB>\n  <" + section +
                    ">\n    <" + section + "_JG><NSRSBH>91110105MA01ABCD2X</NSRSBH></" + section +
                    "_JG>\n    <" + section + "_BTXX><NSRMC>北京恒远商贸有限公司</NSRMC></" +
                    section + "_BTXX>\n    <" + section + "_MXXX>\n";
  int number = 0;
  for (const auto& item : items) {
    ++number;
    xml += "      <" + section + "_XM><HC>" + std::to_string(number) + "</HC><XMMC>项目" +
           std::to_string(number) + "</XMMC><A>" + item.first + "</A><B>" + item.second + "</B></" +
           section + "_XM>\n";
  }
  xml += "    </" + section + "_MXXX>\n  </" + section + ">\n</DZSBB>\n";
  return xml;
}

// Items numbered from 1: "a1","b1", "a2","b2", ...
inline std::vector<Item> NumberedItems(int count) {
  std::vector<Item> items;
  for (int i = 1; i <= count; ++i) {
    items.push_back({"a" + std::to_string(i), "b" + std::to_string(i)});
  }
  return items;
}

class TransferTest : public ::testing::Test {
 protected:
  // Writes an export beside the install and gives its path.
  std::string PutExport(const std::string& bytes, const std::string& name = "export.xml") {
    const std::string path = client_.scratch().Join("exports/" + name);
    WriteBytes(path, bytes);
    return path;
  }

  void PutTable(const std::string& name, const std::string& bytes) {
    client_.PutTable(name, bytes);
  }
  std::string Table(const std::string& name) { return ReadBytes(client_.TablePath(name)); }

  // Calls with the export and expects failure with `message`, the table
  // file left as it was.
  void ExpectFailure(const std::string& xml_path, int kind, const std::string& table,
                     Message message) {
    const std::string before = Table(table);
    const CallResult call = CallSetSBRepData(xml_path, kind);
    EXPECT_EQ(call.result, -1);
    EXPECT_EQ(call.message(), std::string(MessageBytes(message)));
    EXPECT_EQ(Table(table), before) << table << " was changed";
  }

  // Calls with the export and expects success and the table's new lines.
  std::vector<std::string> ExpectSuccess(const std::string& xml_path, int kind,
                                         const std::string& table) {
    const CallResult call = CallSetSBRepData(xml_path, kind);
    EXPECT_EQ(call.result, 0) << GbkToUtf8ForTest(call.message());
    EXPECT_TRUE(call.untouched());
    return Lines(Table(table));
  }

  // Runs the transfer and expects failure with this detail.
  void ExpectDetail(TableKind kind, const std::string& xml, Fault fault,
                    const std::string& detail) {
    const TransferOutcome outcome =
        TransferTable(EntryOf(kind), CallerPath(PutExport(xml)).c_str());
    EXPECT_EQ(outcome.result, -1);
    ASSERT_TRUE(outcome.error.has_value());
    EXPECT_EQ(outcome.error->fault(), fault);
    EXPECT_EQ(outcome.error->detail(), detail);
  }

  // A file of the example install a newcomer files first.
  static std::string ExamplePath(const std::string& relative) {
    return DataPath("../../examples/" + relative);
  }

  FilingClient client_;
};

// The balance sheet and the income statement: one section of a DZSBB
// export rebuilds one table file, whose fixture is in place for each test.
class RowTableTest : public TransferTest {
 protected:
  RowTableTest(int kind, std::string table, std::string section)
      : kind_(kind), table_(std::move(table)), section_(std::move(section)) {}

  void SetUp() override { PutTable(table_, ReadData("transfer/" + table_)); }

  std::vector<std::string> FileItems(const std::vector<Item>& items) {
    return ExpectSuccess(PutExport(RowExport(section_, items)), kind_, table_);
  }

  // Files the export over an old file and expects the fixture
  // transfer/TABLE0n-<filed>.dat.
  void ExpectFiled(const std::string& old_file, const std::string& xml_path,
                   const std::string& filed = "filed") {
    PutTable(table_, old_file);
    ExpectSuccess(xml_path, kind_, table_);
    EXPECT_EQ(Table(table_),
              ReadData("transfer/" + Replaced(table_, ".dat", "-" + filed + ".dat")));
  }

  const int kind_;
  const std::string table_;
  const std::string section_;
};

}  // namespace sbrep::test
