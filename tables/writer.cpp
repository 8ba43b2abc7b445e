// The frame every writer runs: opening checks, XML stage, file stage, and
// the mapping of any failure to one stored message and -1.
#include <exception>
#include <new>

#include "export/last_message.h"
#include "filingclient/caller_path.h"
#include "tables/writers.h"

namespace sbrep {
namespace {

// Runs one stage so that whatever it throws leaves it as an Error. Errors of
// the stage's own making keep their message and fault; anything else is the
// machine's doing.
template <typename Stage>
void RunStage(Stage&& stage) {
  try {
    stage();
  } catch (const Error&) {
    throw;
  } catch (const std::bad_alloc&) {
    ThrowMachineError("out of memory");
  } catch (const std::exception& e) {
    ThrowMachineError(e.what());
  } catch (...) {
    ThrowMachineError("unknown failure");
  }
}

// The file stage is the protected region: whatever fails in it reports the
// catch-all text, even an Error that carries another message.
template <typename Stage>
void RunFileStage(Stage&& stage) {
  try {
    RunStage(stage);
  } catch (const Error& e) {
    if (e.message() == Message::kProcessingFailed) throw;
    ThrowTableError(e.detail());
  }
}

}  // namespace

Preparation PrepareTable(TableKind kind, const std::string& xml_path,
                         const std::optional<std::string>& client_folder) {
  Preparation p;
  p.kind = kind;
  RunStage([&] { p.paths = RunOpeningSequence(kind, xml_path, client_folder); });
  RunStage([&] {
    switch (kind) {
      case TableKind::kBalanceSheet:
        p.rows = ReadBalanceSheet(p.paths.xml_path);
        break;
      case TableKind::kIncomeStatement:
        p.rows = ReadIncomeStatement(p.paths.xml_path);
        break;
      case TableKind::kVatScheduleOne:
        p.totals = ReadVatScheduleOne(p.paths.xml_path);
        break;
    }
  });
  RunFileStage([&] {
    p.old_lines = LoadTableLines(p.paths.table_path);
    switch (kind) {
      case TableKind::kBalanceSheet:
        p.new_lines = BuildBalanceSheet(p.old_lines, p.rows);
        break;
      case TableKind::kIncomeStatement:
        p.new_lines = BuildIncomeStatement(p.old_lines, p.rows);
        break;
      case TableKind::kVatScheduleOne:
        p.new_lines = BuildVatScheduleOne(p.old_lines, p.totals);
        break;
    }
  });
  return p;
}

WriteOutcome WriteTable(TableKind kind, const char* xml_path) noexcept {
  WriteOutcome outcome;
  try {
    std::string path;
    RunStage([&] { path = DecodeCallerPath(xml_path); });
    const Preparation p = PrepareTable(kind, path);
    RunFileStage([&] { SaveTableLines(p.new_lines, p.paths.table_path); });
  } catch (const Error& e) {
    StoreLastMessage(e.message());
    outcome.result = -1;
    try {
      outcome.error = e;
    } catch (...) {
      // Out of memory for the detail: the result and the message stand.
    }
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
