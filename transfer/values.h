// What the XML stage hands the file stage: the values of kinds 1 and 2, or
// the running totals of kind 3, in plain memory.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace sbrep {

// Kind 3 totals its invoices by the invoice's own kind (0 to 2) and by rate.
constexpr std::size_t kInvoiceKinds = 3;
constexpr std::size_t kVatRates = 4;

// Name and UTF-8 text of the element children of an export's header parts,
// the first of each name, in document order. Nothing is filed from them;
// they let a check compare the export with the table it goes into.
using HeaderFields = std::vector<std::pair<std::string, std::string>>;

// Kinds 1 and 2: two GBK value texts for each row of the table, row 1
// first; a row without an item holds empty texts.
struct RowValues {
  struct Row {
    std::string first;
    std::string second;
    // UTF-8 text of the item's child at position 0, the item's own row
    // number in the usual export; empty when there is none.
    std::string label;
  };
  std::vector<Row> rows;  // one for each row of the table
  std::size_t items = 0;  // items the export holds
  HeaderFields header;    // of the section's _JG and _BTXX parts
};

// Kind 3: the invoices totalled by kind and rate, and what the walk over
// them saw.
struct VatTotals {
  // [kind][rate group * 3 + count|amount|tax]
  std::array<std::array<double, 3 * kVatRates>, kInvoiceKinds> cells{};
  std::size_t invoices = 0;  // records read
  std::size_t voided = 0;
  std::size_t counted = 0;   // added to a cell
  std::size_t ignored = 0;   // a rate the schedule does not total
  std::size_t kind_one = 0;  // counted, but of a kind on no line
  HeaderFields header;       // of the root's SB_KPJK_JG, when there is one
};

using Values = std::variant<RowValues, VatTotals>;

}  // namespace sbrep
