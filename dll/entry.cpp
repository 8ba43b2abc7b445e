// The entry point, SetSBRepData: the host's number to a table kind, the
// transfer, and on failure the message slot and its copy into the caller's
// buffer.
#include <cstring>

#include "dll/last_message.h"
#include "include/sbrep.h"
#include "transfer/call_log.h"
#include "transfer/table_kinds.h"
#include "transfer/transfer.h"

static_assert(static_cast<int>(sbrep::TableKind::kBalanceSheet) == SBREP_BALANCE_SHEET &&
                  static_cast<int>(sbrep::TableKind::kIncomeStatement) == SBREP_INCOME_STATEMENT &&
                  static_cast<int>(sbrep::TableKind::kVatScheduleOne) == SBREP_VAT_SCHEDULE_ONE,
              "the kinds are numbered as sbrep.h documents them");

// Every call here is noexcept, so no exception can leave SetSBRepData.
extern "C" int32_t SBREP_CALL SetSBRepData(const char* xml_path, int32_t table_kind,
                                           char* message) {
  const sbrep::KindEntry* kind = sbrep::FindTableKind(table_kind);
  // Any other kind does nothing: no registry read, no file, no message.
  if (kind == nullptr) return 0;
  sbrep::CallLog log(*kind);
  sbrep::TransferOptions options;
  options.facts = log.facts();
  const sbrep::TransferOutcome outcome = sbrep::TransferTable(*kind, xml_path, {}, options);
  if (outcome.result != 0) {
    sbrep::StoreLastMessage(outcome.message);
    if (message != nullptr) {
      const std::string_view text = sbrep::LastMessage();
      std::memcpy(message, text.data(), text.size());
      message[text.size()] = '\0';
    }
  }
  // Last, when the call has done all it does.
  log.Finish(outcome);
  return outcome.result == 0 ? 0 : -1;
}
