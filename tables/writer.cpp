// STUB: to be implemented.
#include <stdexcept>

#include "export/last_message.h"
#include "tables/writers.h"

namespace sbrep {
RowValues ReadBalanceSheet(const std::string&) { throw std::logic_error("stub"); }
RowValues ReadIncomeStatement(const std::string&) { throw std::logic_error("stub"); }
VatTotals ReadVatScheduleOne(const std::string&) { throw std::logic_error("stub"); }
TableLines BuildBalanceSheet(const TableLines&, const RowValues&) { throw std::logic_error("stub"); }
TableLines BuildIncomeStatement(const TableLines&, const RowValues&) {
  throw std::logic_error("stub");
}
TableLines BuildVatScheduleOne(const TableLines&, const VatTotals&) {
  throw std::logic_error("stub");
}
Preparation PrepareTable(TableKind, const std::string&, const std::optional<std::string>&) {
  throw std::logic_error("stub");
}
WriteOutcome WriteTable(TableKind kind, const char* xml_path) noexcept {
  WriteOutcome outcome;
  try {
    const std::string path = xml_path == nullptr ? "" : xml_path;
    RunOpeningSequence(kind, path);
  } catch (const Error& e) {
    StoreLastMessage(e.message());
    outcome.result = -1;
    outcome.error = e;
  } catch (...) {
    StoreLastMessage(Message::kProcessingFailed);
    outcome.result = -1;
  }
  return outcome;
}
int WriteBalanceSheet(const char* xml_path) noexcept {
  return WriteTable(TableKind::kBalanceSheet, xml_path).result;
}
int WriteIncomeStatement(const char* xml_path) noexcept {
  return WriteTable(TableKind::kIncomeStatement, xml_path).result;
}
int WriteVatScheduleOne(const char* xml_path) noexcept {
  return WriteTable(TableKind::kVatScheduleOne, xml_path).result;
}
}  // namespace sbrep
