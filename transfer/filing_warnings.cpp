#include "transfer/filing_warnings.h"

#include <algorithm>

#include "core/text.h"
#include "platform/codepage.h"

namespace sbrep {
namespace {

// Enough to see the pattern; the rest are counted.
constexpr std::size_t kMisfiledShown = 5;

std::string Rows(std::size_t first, std::size_t last) {
  if (first == last) return "row " + std::to_string(first);
  return "rows " + std::to_string(first) + " to " + std::to_string(last);
}

std::string Field(const HeaderFields& header, const std::string& name) {
  for (const auto& field : header) {
    if (field.first == name) return std::string(TrimBlanks(field.second));
  }
  return {};
}

// A row number as an item may carry it: digits alone.
bool IsRowNumber(const std::string& text) {
  return !text.empty() && text.size() <= 4 &&
         text.find_first_not_of("0123456789") == std::string::npos;
}

void WarnOfRows(const RowValues& values, std::vector<std::string>* warnings) {
  const std::size_t rows = values.rows.size();
  if (values.items < rows) {
    warnings->push_back("the export has fewer items than the table has rows; " +
                        Rows(values.items + 1, rows) + " get no item");
  }
  std::size_t misfiled = 0;
  for (std::size_t k = 0; k < values.items && k < rows; ++k) {
    const std::string label(TrimBlanks(values.rows[k].label));
    if (!IsRowNumber(label) || std::stoul(label) == k + 1) continue;
    if (++misfiled > kMisfiledShown) continue;
    warnings->push_back("item " + std::to_string(k + 1) + " carries row number " + label +
                        " but goes into row " + std::to_string(k + 1) +
                        ": items are filed by position");
  }
  if (misfiled > kMisfiledShown) {
    warnings->push_back("and " + std::to_string(misfiled - kMisfiledShown) +
                        " more items whose row number is not their position");
  }
}

// -?digits[.digits]: what the client reads as an amount.
bool IsPlainAmount(const std::string& text) {
  std::size_t at = text.size() > 1 && text[0] == '-' ? 1 : 0;
  const auto digits = [&] {
    const std::size_t start = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
    return at > start;
  };
  if (!digits()) return false;
  if (at < text.size() && text[at] == '.') {
    ++at;
    if (!digits()) return false;
  }
  return at == text.size();
}

std::string Shown(const std::string& gbk) { return GbkToUtf8(gbk).value_or(gbk); }

// A value goes into the line as its text reads: a comma in it splits the
// row's fields, and any other form than a plain amount is the client's to
// misread.
void WarnOfValues(const RowValues& values, std::vector<std::string>* warnings) {
  std::size_t split = 0;
  std::size_t odd = 0;
  for (std::size_t k = 0; k < values.items && k < values.rows.size(); ++k) {
    const RowValues::Row& row = values.rows[k];
    const std::string where = "row " + std::to_string(k + 1);
    const std::size_t fields = 2 + std::count(row.first.begin(), row.first.end(), ',') +
                               std::count(row.second.begin(), row.second.end(), ',');
    if (fields > 2 && ++split <= kMisfiledShown) {
      const std::string& value = row.first.find(',') != std::string::npos ? row.first : row.second;
      warnings->push_back(where + ": '" + Shown(value) + "' holds a comma, so the row files as " +
                          std::to_string(fields) + " fields where the row has 2");
    }
    for (const std::string* value : {&row.first, &row.second}) {
      // A value with a comma has had its warning.
      if (value->empty() || value->find(',') != std::string::npos || IsPlainAmount(*value)) {
        continue;
      }
      if (++odd > kMisfiledShown) continue;
      warnings->push_back(
          where + ": '" + Shown(*value) +
          "' is not a plain decimal amount such as -1048945.31, which the client may "
          "read otherwise");
    }
  }
  if (split > kMisfiledShown) {
    warnings->push_back("and " + std::to_string(split - kMisfiledShown) +
                        " more rows with a comma in a value");
  }
  if (odd > kMisfiledShown) {
    warnings->push_back("and " + std::to_string(odd - kMisfiledShown) +
                        " more values that are not plain decimal amounts");
  }
}

struct TableLine {
  std::size_t number = 0;  // counted from 1; 0 when there is none
  std::string text;        // UTF-8, the line's label and tag taken off
};

// The first line that starts with `tag`, its first field equal to `field`
// when one is given ("LE1:编制单位,北京恒远商贸有限公司," gives the company).
TableLine FindLine(const TableLines& lines, const std::string& tag, const std::string& field) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const auto utf8 = GbkToUtf8(lines.LineAt(i));
    if (!utf8) continue;
    const auto colon = utf8->find(':');
    if (colon == std::string::npos || utf8->compare(0, tag.size(), tag) != 0) continue;
    std::string rest = utf8->substr(colon + 1);
    if (!field.empty()) {
      if (rest.compare(0, field.size() + 1, field + ",") != 0) continue;
      rest = rest.substr(field.size() + 1);
    }
    const auto comma = rest.find(',');
    if (comma != std::string::npos) rest.resize(comma);
    return {i + 1, std::string(TrimBlanks(rest))};
  }
  return {};
}

// "2024-03" and "2024-03-31" name the same period: one is the other, cut
// where a part of the date ends.
bool SamePeriod(const std::string& a, const std::string& b) {
  const std::string& shorter = a.size() <= b.size() ? a : b;
  const std::string& longer = a.size() <= b.size() ? b : a;
  if (longer.compare(0, shorter.size(), shorter) != 0) return false;
  return longer.size() == shorter.size() || longer[shorter.size()] == '-';
}

void WarnOfHeader(const HeaderFields& header, const TableLines& table,
                  std::vector<std::string>* warnings) {
  const std::string company = Field(header, "NSRMC");
  const TableLine table_company = FindLine(table, "LE", "编制单位");
  if (!company.empty() && table_company.number > 0 && !table_company.text.empty() &&
      company != table_company.text) {
    warnings->push_back("the export is for '" + company + "' (NSRMC), the table for '" +
                        table_company.text + "' (line " + std::to_string(table_company.number) +
                        ", 编制单位)");
  }
  // The balance sheet and income statement say when their period ends, the
  // VAT list which month it is for.
  std::string period = Field(header, "SSQZ");
  std::string shown = "ends " + period + " (SSQZ)";
  if (period.empty()) {
    period = Field(header, "SSQ");
    shown = "is " + period + " (SSQ)";
  }
  const TableLine date = FindLine(table, "DATE", "");
  if (!period.empty() && date.number > 0 && !date.text.empty() && !SamePeriod(period, date.text)) {
    warnings->push_back("the export's period " + shown + ", the table is dated " + date.text +
                        " (line " + std::to_string(date.number) + ", DATE)");
  }
}

}  // namespace

std::vector<std::string> RowTableWarnings(const RowValues& values, const TableLines& old_lines) {
  std::vector<std::string> warnings;
  WarnOfRows(values, &warnings);
  WarnOfValues(values, &warnings);
  WarnOfHeader(values.header, old_lines, &warnings);
  return warnings;
}

std::vector<std::string> HeaderWarnings(const HeaderFields& header, const TableLines& old_lines) {
  std::vector<std::string> warnings;
  WarnOfHeader(header, old_lines, &warnings);
  return warnings;
}

}  // namespace sbrep
