// The item walk and the rebuild that the balance sheet and the income
// statement share.
#include "transfer/row_tables.h"

#include <array>

#include "core/error.h"
#include "xml/export_pass.h"
#include "xml/text_value.h"

namespace sbrep {
namespace {

// The order in which a reader meets the failures of a row table's export:
// the root, the section, its three parts, the number of items, the items.
enum Rank { kRoot, kSection, kJg, kBtxx, kMxxx, kTooMany, kItem };

// The depths of what the reader looks at.
enum Depth : std::size_t { kRootDepth, kSectionDepth, kPartDepth, kItemDepth, kValueDepth };

// One of the section's parts that must be there: what is known of it so far.
struct Part {
  std::string name;
  bool seen = false;    // the first element of this name has opened
  bool closed = false;  // and closed again
  bool filled = false;  // it has a child
};

// Reads one row table's export in one pass: the first section under the
// root, the first of each of its parts, and the items of the list part in
// order. Each value is the text of one child of an item, taken while that
// child is open.
class RowReader final : public ExportHandler {
 public:
  RowReader(const RowTable& table, std::string_view title)
      : table_(table), title_(title), section_(table.section) {
    jg_.name = section_ + "_JG";
    btxx_.name = section_ + "_BTXX";
    mxxx_name_ = section_ + "_MXXX";
    values_.rows.assign(table.rows, RowValues::Row());
  }

  void OnChild(std::size_t depth, std::size_t position, NodeType type,
               std::string_view name) override {
    const bool element = type == NodeType::kElement;
    switch (depth) {
      case kRootDepth:
        root_ok_ = name == kRowTableRoot;
        if (!root_ok_) findings_.Note(kRoot, WrongRoot(name, kRowTableRoot), Cause::kWrongRoot);
        break;
      case kSectionDepth:
        if (root_ok_ && element && !section_seen_ && name == section_) {
          section_seen_ = in_section_ = true;
        }
        break;
      case kPartDepth:
        if (!in_section_ || !element) break;
        if (!jg_.seen && name == jg_.name) {
          part_ = &jg_;
        } else if (!btxx_.seen && name == btxx_.name) {
          part_ = &btxx_;
        } else if (!mxxx_seen_ && name == mxxx_name_) {
          mxxx_seen_ = in_list_ = true;
        }
        if (part_ != nullptr) part_->seen = true;
        break;
      case kItemDepth:
        if (part_ != nullptr) {
          part_->filled = true;
          if (element) header_.Open(name);
        }
        if (in_list_) OpenItem(type, name);
        break;
      case kValueDepth:
        if (!item_open_ || !item_element_) break;
        ++item_children_;
        if (position == kRowLabel || position == kFirstValue || position == kSecondValue) {
          value_ = &texts_[position == kRowLabel ? 0 : position - kFirstValue + 1];
          value_is_element_ = element;
        }
        break;
      default:
        break;
    }
  }

  void OnData(std::size_t depth, std::string_view data) override {
    if (header_.open() && depth >= kItemDepth) header_.Add(data);
    if (value_ == nullptr) return;
    // An element's value is all the data below it; a text's, its own.
    if (value_is_element_ ? depth >= kValueDepth : depth == kItemDepth) value_->Add(data);
  }

  void OnDataEnd(std::size_t depth) override {
    if (value_ != nullptr && !value_is_element_ && depth == kItemDepth) value_ = nullptr;
    // A text or CDATA item ends with its data.
    if (item_open_ && !item_element_ && depth == kPartDepth) CloseItem();
  }

  void OnEnd(std::size_t depth) override {
    switch (depth) {
      case kRootDepth:
        if (root_ok_ && !section_seen_) {
          findings_.Note(kSection, MissingPart(std::string(kRowTableRoot) + "/" + section_),
                         Cause::kMissingSection);
        }
        break;
      case kSectionDepth:
        if (in_section_) CloseSection();
        break;
      case kPartDepth:
        if (part_ != nullptr) {
          part_->closed = true;
          if (!part_->filled) {
            findings_.Note(part_ == &jg_ ? kJg : kBtxx, EmptyPart(Path(*part_)), Cause::kEmptyPart);
          }
          part_ = nullptr;
        }
        in_list_ = false;
        break;
      case kItemDepth:
        if (part_ != nullptr) header_.Close();
        if (item_open_ && item_element_) CloseItem();
        break;
      case kValueDepth:
        if (value_is_element_) value_ = nullptr;
        break;
      default:
        break;
    }
  }

  // Once an item past the last row is found, the export cannot be filed;
  // only a failure of a part before the list could change the detail.
  bool Decided() const override { return findings_.Has(kTooMany) && jg_.closed && btxx_.closed; }

  RowValues Finish() {
    findings_.ThrowFirst();
    values_.items = items_;
    values_.header = header_.Take();
    return std::move(values_);
  }

 private:
  std::string Path(const Part& part) const {
    return std::string(kRowTableRoot) + "/" + section_ + "/" + part.name;
  }

  void CloseSection() {
    in_section_ = false;
    for (Part* part : {&jg_, &btxx_}) {
      if (!part->seen) {
        findings_.Note(part == &jg_ ? kJg : kBtxx, MissingPart(Path(*part)), Cause::kMissingPart);
      }
    }
    if (!mxxx_seen_) {
      findings_.Note(kMxxx,
                     MissingPart(std::string(kRowTableRoot) + "/" + section_ + "/" + mxxx_name_),
                     Cause::kMissingPart);
    }
  }

  void OpenItem(NodeType type, std::string_view name) {
    ++items_;
    if (items_ > table_.rows) {
      // Items are matched to rows by position, so a surplus means the export
      // does not fit the table; filing its first rows could file wrong
      // figures.
      findings_.Note(kTooMany, TooManyItems(title_, table_.rows), Cause::kTooManyItems);
      in_list_ = false;
      return;
    }
    item_open_ = true;
    item_element_ = type == NodeType::kElement;
    item_name_.assign(item_element_ ? name : std::string_view());
    item_children_ = 0;
    for (TextValue& text : texts_) text.Clear();
  }

  void CloseItem() {
    item_open_ = false;
    value_ = nullptr;
    // After the first failing item, the others need no more work.
    if (findings_.Has(kItem)) return;
    const std::size_t index = items_ - 1;
    const std::string label = ItemLabel("item", index, item_name_, table_.item_name);
    if (item_children_ <= kSecondValue) {
      findings_.Note(kItem,
                     label + " has " + std::to_string(item_children_) + " children, " +
                         std::to_string(kSecondValue + 1) + " needed",
                     Cause::kBadItem);
      return;
    }
    const auto taken = [](const TextValue& value) {
      return ReadText{value.text(), value.too_long()};
    };
    values_.rows[index].label = texts_[0].text();
    if (auto failure =
            TakeRowValues(label, taken(texts_[1]), taken(texts_[2]), gbk_, &values_.rows[index])) {
      findings_.Note(kItem, std::move(*failure), Cause::kBadItem);
    }
  }

  const RowTable& table_;
  std::string_view title_;
  const std::string section_;
  std::string mxxx_name_;
  Findings findings_;
  GbkEncoder gbk_;
  RowValues values_;
  HeaderReader header_;

  bool root_ok_ = false;
  bool section_seen_ = false;
  bool in_section_ = false;
  Part jg_;
  Part btxx_;
  Part* part_ = nullptr;  // the part open at kPartDepth, if it is JG or BTXX
  bool mxxx_seen_ = false;
  bool in_list_ = false;  // in the list part, before any item past the rows

  std::size_t items_ = 0;
  bool item_open_ = false;
  bool item_element_ = false;
  std::string item_name_;
  std::size_t item_children_ = 0;
  std::array<TextValue, 3> texts_;  // the item's row number, first and second value
  TextValue* value_ = nullptr;      // the value being taken, if any
  bool value_is_element_ = false;
};

// The value goes into the line as it reads; only its code page changes.
std::optional<std::string> TakeValue(const std::string& where, const ReadText& value,
                                     GbkEncoder& gbk, std::string* out) {
  if (value.too_long) {
    return where + ": the value is longer than " + std::to_string(kMaxValueBytes) + " bytes";
  }
  // A line break cannot: it would split the line and shift every later one.
  if (value.text.find_first_of("\r\n") != std::string::npos) {
    return where + ": '" + value.text + "' has a line break";
  }
  if (!gbk.Encode(value.text, out)) {
    return where + ": '" + value.text + "' has a character GBK cannot represent";
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> TakeRowValues(const std::string& label, const ReadText& first,
                                         const ReadText& second, GbkEncoder& gbk,
                                         RowValues::Row* row) {
  if (auto failure =
          TakeValue(label + ", child " + std::to_string(kFirstValue), first, gbk, &row->first)) {
    return failure;
  }
  return TakeValue(label + ", child " + std::to_string(kSecondValue), second, gbk, &row->second);
}

std::string TooManyItems(std::string_view title, std::size_t rows) {
  return std::string(title) + " has more than " + std::to_string(rows) + " items, the table has " +
         std::to_string(rows) + " rows";
}

RowValues ReadRowTable(const RowTable& table, std::string_view title, const std::string& xml_path,
                       const ReadProgress& progress) {
  RowReader reader(table, title);
  ReadExport(xml_path, reader, progress);
  return reader.Finish();
}

TableLines BuildRowTable(const RowTable& table, std::string_view file_name,
                         const TableLines& old_lines, const RowValues& values) {
  std::vector<std::string> body;
  body.reserve(table.rows + table.marker_count);
  std::size_t marker = 0;
  for (std::size_t r = 0; r < table.rows; ++r) {
    const int row = static_cast<int>(r + 1);
    const RowValues::Row& value = values.rows[r];
    body.push_back(FormatDataLine(row + table.tag_offset, row, {value.first, value.second}));
    if (marker < table.marker_count && table.marker_rows[marker] == row) {
      body.push_back(FormatMarkerLine((table.first_marker_digit + static_cast<int>(marker)) % 16));
      ++marker;
    }
  }
  return RebuildTable(old_lines, table.header, body, table.trailer_begin, table.trailer_end,
                      file_name);
}

}  // namespace sbrep
