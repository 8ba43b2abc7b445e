// The three tables a transfer can fill, numbered as a host passes them.
#pragma once

namespace sbrep {

enum class TableKind { kBalanceSheet = 1, kIncomeStatement = 2, kVatScheduleOne = 3 };

}  // namespace sbrep
