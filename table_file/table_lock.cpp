#include "table_file/table_lock.h"

#include <utility>

#include "core/error.h"
#include "table_file/journal.h"
#include "table_file/save.h"

namespace sbrep {

TableLock::~TableLock() { Release(); }

TableLock::TableLock(TableLock&& other) noexcept
    : handle_(other.handle_),
      held_(std::exchange(other.held_, false)),
      recovery_(other.recovery_) {}

TableLock& TableLock::operator=(TableLock&& other) noexcept {
  if (this != &other) {
    Release();
    handle_ = other.handle_;
    held_ = std::exchange(other.held_, false);
    recovery_ = other.recovery_;
  }
  return *this;
}

void TableLock::Release() noexcept {
  if (held_) fs::FileSystem().unlock(handle_);
  held_ = false;
}

TableLock LockTable(const std::string& table_path) {
  const std::string path = LocateTable(table_path).path;
  TableLock lock;
  const fs::Outcome taken =
      fs::Checked(fs::FileSystem().lock(path, kTableLockWaitMs, &lock.handle_));
  if (taken.status == fs::Status::kSharingViolation) {
    ThrowTableError("another transfer holds " + fs::NameOf(path) + " (waited " +
                    std::to_string(kTableLockWaitMs / 1000) + " s)");
  }
  if (!taken.ok()) {
    ThrowTableError("cannot lock " + fs::NameOf(path) + ": " + fs::Describe(taken));
  }
  lock.held_ = true;
  lock.recovery_ = RollBackInterruptedSave(path);
  return lock;
}

Recovery HealTable(const std::string& table_path) {
  fs::Attributes journal;
  const fs::Outcome looked =
      fs::Checked(fs::FileSystem().stat(JournalPath(LocateTable(table_path).path), &journal));
  if (looked.ok() && !journal.exists) return Recovery::kNone;
  return LockTable(table_path).recovery();
}

}  // namespace sbrep
