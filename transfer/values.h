// What the XML stage hands the file stage: the values of kinds 1 and 2, or
// the running totals of kind 3, in plain memory.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <variant>
#include <vector>

namespace sbrep {

// Kinds 1 and 2: two GBK value texts for each row of the table, row 1
// first; a row without an item holds empty texts.
struct RowValues {
  struct Row {
    std::string first;
    std::string second;
  };
  std::vector<Row> rows;  // one for each row of the table
  std::size_t items = 0;  // items the export holds
};

// Kind 3: the invoices totalled by kind and rate, and what the walk over
// them saw.
struct VatTotals {
  std::array<std::array<double, 12>, 3> cells{};  // [kind][rate group * 3 + count|amount|tax]
  std::size_t invoices = 0;                       // records read
  std::size_t voided = 0;
  std::size_t counted = 0;   // added to a cell
  std::size_t ignored = 0;   // a rate outside 17, 13, 6 and 4
  std::size_t kind_one = 0;  // counted, but on no line
};

using Values = std::variant<RowValues, VatTotals>;

}  // namespace sbrep
