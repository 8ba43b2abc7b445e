// The exported entry point: dispatch by table kind, and the copy of
// LastMessage into the caller's buffer on failure.
#include <cstring>

#include "export/last_message.h"
#include "include/sbrep.h"
#include "tables/writers.h"

extern "C" int32_t SBREP_CALL SetSBRepData(const char* xml_path, int32_t table_kind,
                                           char* message) {
  int result = 0;
  try {
    switch (table_kind) {
      case SBREP_BALANCE_SHEET:
        result = sbrep::WriteBalanceSheet(xml_path);
        break;
      case SBREP_INCOME_STATEMENT:
        result = sbrep::WriteIncomeStatement(xml_path);
        break;
      case SBREP_VAT_SCHEDULE_ONE:
        result = sbrep::WriteVatScheduleOne(xml_path);
        break;
      default:
        return 0;
    }
  } catch (...) {
    // The writers catch everything; this is the last resort.
    sbrep::StoreLastMessage(sbrep::Message::kProcessingFailed);
    result = -1;
  }
  if (result == 0) return 0;
  if (message != nullptr) {
    const std::string_view text = sbrep::LastMessage();
    std::memcpy(message, text.data(), text.size());
    message[text.size()] = '\0';
  }
  return -1;
}
