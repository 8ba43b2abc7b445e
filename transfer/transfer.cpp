// The frame every transfer runs: opening checks, XML stage, file stage, and
// the mapping of any failure to one message and -1.
#include "transfer/transfer.h"

#include <exception>
#include <new>

#include "platform/codepage.h"
#include "platform/filesystem.h"
#include "table_file/save.h"

namespace sbrep {
namespace {

// The detail of a stop that gave no reason.
constexpr char kStopped[] = "stopped before the save";

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

// Notes what the opening checks found, for the log line. Whatever fails here
// is left out of the line and changes nothing else.
void NoteOpening(const OpeningPaths& paths, CallFacts* facts) noexcept {
  if (facts == nullptr) return;
  try {
    facts->table_path = paths.table_path;
    fs::Attributes attributes;
    if (fs::FileSystem().stat(paths.xml_path, &attributes).ok() && attributes.exists) {
      facts->export_size = attributes.size;
    }
    if (fs::FileSystem().stat(paths.table_path, &attributes).ok() && attributes.exists) {
      facts->table_size_before = attributes.size;
    }
  } catch (...) {
  }
}

Preparation Prepare(const KindEntry& kind, const std::string& xml_path,
                    const std::optional<std::string>& client_folder, const ReadProgress& progress,
                    Recovery* recovery, CallFacts* facts) {
  Preparation p;
  p.kind = &kind;
  RunStage([&] {
    p.paths = RunOpeningSequence(kind.file_name, kind.missing_table, xml_path, client_folder);
  });
  NoteOpening(p.paths, facts);
  // A table that a killed save left torn is whole again before the export
  // can fail the call. The lock is let go for the read of the export, which
  // may take long, and taken again for the file stage.
  RunFileStage([&] { p.recovery = HealTable(p.paths.table_path); });
  if (recovery != nullptr) *recovery = p.recovery;
  RunStage([&] { p.values = kind.read(kind, p.paths.xml_path, progress); });
  RunFileStage([&] {
    p.lock = LockTable(p.paths.table_path);
    if (p.recovery == Recovery::kNone) p.recovery = p.lock.recovery();
    if (recovery != nullptr) *recovery = p.recovery;
    p.old_lines = LoadTableLines(p.paths.table_path);
    p.new_lines = kind.build(kind, p.old_lines, p.values);
  });
  return p;
}

}  // namespace

Preparation PrepareTable(const KindEntry& kind, const std::string& xml_path,
                         const std::optional<std::string>& client_folder,
                         const ReadProgress& progress, Recovery* recovery) {
  return Prepare(kind, xml_path, client_folder, progress, recovery, nullptr);
}

TransferOutcome TransferTable(const KindEntry& kind, const char* host_path,
                              const ReadProgress& progress,
                              const TransferOptions& options) noexcept {
  TransferOutcome outcome;
  try {
    std::string path;
    RunStage([&] { path = AnsiToUtf8(host_path); });
    if (options.facts != nullptr) {
      try {
        options.facts->xml_path = path;
      } catch (...) {
      }
    }
    const Preparation p =
        Prepare(kind, path, options.client_folder, progress, &outcome.recovery, options.facts);
    if (options.before_save) {
      Verdict verdict = Verdict::kSave;
      RunStage([&] { verdict = options.before_save(p); });
      if (verdict == Verdict::kStop) {
        ThrowMachineError(options.stop_reason != nullptr ? *options.stop_reason
                                                         : std::string(kStopped));
      }
    }
    RunFileStage([&] { SaveTableLines(p.new_lines, p.paths.table_path); });
  } catch (const Error& e) {
    outcome.result = -1;
    outcome.message = e.message();
    try {
      outcome.error = e;
    } catch (...) {
      // Out of memory for the detail: the result and the message stand.
    }
  } catch (...) {
    outcome.result = -1;
    outcome.message = Message::kProcessingFailed;
  }
  return outcome;
}

}  // namespace sbrep
