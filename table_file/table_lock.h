// One transfer of a table at a time, across processes: the lock is held from
// before the table is read until after it is saved.
#pragma once

#include <string>

#include "platform/filesystem.h"
#include "table_file/in_place.h"

namespace sbrep {

// How long a transfer waits for another one of the same table.
constexpr unsigned kTableLockWaitMs = 5000;

// A held lock, let go when the object dies. Movable, so that it can travel
// with what a transfer has read.
class TableLock {
 public:
  TableLock() = default;
  ~TableLock();
  TableLock(TableLock&& other) noexcept;
  TableLock& operator=(TableLock&& other) noexcept;
  TableLock(const TableLock&) = delete;
  TableLock& operator=(const TableLock&) = delete;
  bool held() const { return held_; }
  // What the rollback of an interrupted save did when the lock was taken.
  Recovery recovery() const { return recovery_; }

 private:
  friend TableLock LockTable(const std::string& table_path);

  // Completes the rollback of a save that a killed process left, under the
  // table's lock, and lets the lock go. Takes no lock where no journal is
  // found: one made after the look belongs to a save that holds the lock.
  Recovery HealTable(const std::string& table_path);
  void Release() noexcept;
  fs::Handle handle_ = 0;
  bool held_ = false;
  Recovery recovery_ = Recovery::kNone;
};

// Takes the lock of the table at `table_path`, then rolls back a save that a
// process which died holding it left half done (RollBackInterruptedSave). Throws an Error
// (Fault::kTable) when another transfer keeps it for kTableLockWaitMs, or
// when the rollback fails.
TableLock LockTable(const std::string& table_path);

// Completes the rollback of a save that a killed process left, under the
// table's lock, and lets the lock go. Takes no lock where no journal is
// found: one made after the look belongs to a save that holds the lock.
Recovery HealTable(const std::string& table_path);

}  // namespace sbrep
