// Fault injection through the file-system seam: fakes over the platform's
// table that count every call by operation and file, and make chosen calls
// fail. Only for programs that link the library's own objects.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/filesystem.h"

namespace sbrep::test {

// The file an operation works on, told apart by name.
enum class Target { kTable, kTemp, kJournal, kFolder, kOther };

enum class How {
  kFails,         // this call fails
  kKeepsFailing,  // this call and every later one fail
  kCorruptsRead,  // this read hands back one byte changed
};

// The nth call (counting from 1) of `op` on `target`. A failing write puts
// half of its bytes down first, as a full disk or a lost network drive does.
struct InjectedFault {
  const char* op;
  Target target;
  int nth;
  How how;
  fs::Status status = fs::Status::kOther;
};

// Installs fakes over the platform's file system that count every call and
// make the listed ones fail; the real table comes back on destruction.
class Injector {
 public:
  explicit Injector(std::vector<InjectedFault> faults) : faults_(std::move(faults)) {
    current_ = this;
    saved_ = fs::FileSystem();
    fs::Ops& ops = fs::FileSystem();
    ops.stat = [](const std::string& path, fs::Attributes* out) {
      return current_->Pass("stat", TargetOf(path), [&] { return Real().stat(path, out); });
    };
    ops.open = &Open;
    ops.read = &Read;
    ops.write = &Write;
    ops.seek = [](fs::Handle h, std::uint64_t offset) {
      return current_->Pass("seek", current_->Of(h), [&] { return Real().seek(h, offset); });
    };
    ops.truncate = [](fs::Handle h, std::uint64_t size) {
      return current_->Pass("truncate", current_->Of(h), [&] { return Real().truncate(h, size); });
    };
    ops.flush = [](fs::Handle h) {
      return current_->Pass("flush", current_->Of(h), [&] { return Real().flush(h); });
    };
    ops.close = [](fs::Handle h) {
      // The handle is closed even when the call reports failure.
      const fs::Outcome real = Real().close(h);
      return current_->Hit("close", current_->Of(h)).value_or(real);
    };
    ops.replace = [](const std::string& from, const std::string& to) {
      return current_->Pass("replace", TargetOf(from), [&] { return Real().replace(from, to); });
    };
    ops.remove = [](const std::string& path) {
      return current_->Pass("remove", TargetOf(path), [&] { return Real().remove(path); });
    };
    ops.set_attributes = [](const std::string& path, std::uint32_t native) {
      return current_->Pass("set_attributes", TargetOf(path),
                            [&] { return Real().set_attributes(path, native); });
    };
    ops.carry_identity = [](const std::string& from, const std::string& to) {
      return current_->Pass("carry_identity", TargetOf(to),
                            [&] { return Real().carry_identity(from, to); });
    };
    ops.locate = [](const std::string& path, fs::Location* out) {
      return current_->Pass("locate", TargetOf(path), [&] { return Real().locate(path, out); });
    };
    ops.lock = [](const std::string& path, unsigned wait_ms, fs::Handle* out) {
      return current_->Pass("lock", TargetOf(path), [&] {
        return Real().lock(path, current_->lock_wait_ms.value_or(wait_ms), out);
      });
    };
    ops.sync_folder = [](const std::string& folder) {
      return current_->Pass("sync_folder", Target::kFolder,
                            [&] { return Real().sync_folder(folder); });
    };
    ops.sleep_ms = [](unsigned ms) {
      ++current_->sleeps;
      current_->slept_ms += ms;
    };
  }

  ~Injector() {
    fs::FileSystem() = saved_;
    current_ = nullptr;
  }

  int Calls(const std::string& op, Target target) const {
    const auto it = calls_.find({op, target});
    return it == calls_.end() ? 0 : it->second;
  }

  int sleeps = 0;
  unsigned slept_ms = 0;
  // How long a lock waits, in place of what the caller asks.
  std::optional<unsigned> lock_wait_ms;

 private:
  static const fs::Ops& Real() { return fs::PlatformFileSystem(); }

  static Target TargetOf(const std::string& path) {
    const std::string name = fs::NameOf(path);
    if (name.empty()) return Target::kFolder;
    if (name.find(".sbrep-journal") != std::string::npos) return Target::kJournal;
    if (name[0] == '~') return Target::kTemp;
    return name.rfind("TABLE", 0) == 0 ? Target::kTable : Target::kOther;
  }

  Target Of(fs::Handle handle) const {
    const auto it = handles_.find(handle);
    return it == handles_.end() ? Target::kOther : it->second;
  }

  const InjectedFault* Match(const std::string& op, Target target) {
    const int n = ++calls_[{op, target}];
    for (const auto& fault : faults_) {
      if (op != fault.op || target != fault.target) continue;
      if (n == fault.nth || (fault.how == How::kKeepsFailing && n > fault.nth)) return &fault;
    }
    return nullptr;
  }

  // The fault's outcome, or the real call's: the real call never runs when a
  // fault hits.
  template <typename Call>
  fs::Outcome Pass(const std::string& op, Target target, Call&& call) {
    if (auto failed = Hit(op, target)) return *failed;
    return call();
  }

  std::optional<fs::Outcome> Hit(const std::string& op, Target target) {
    const InjectedFault* fault = Match(op, target);
    if (fault == nullptr) return std::nullopt;
    return fs::Outcome{fault->status, 9999};
  }

  static fs::Outcome Open(const std::string& path, fs::OpenMode mode, fs::Handle* out) {
    if (auto failed = current_->Hit("open", TargetOf(path))) return *failed;
    const fs::Outcome outcome = Real().open(path, mode, out);
    if (outcome.ok()) current_->handles_[*out] = TargetOf(path);
    return outcome;
  }

  static fs::Outcome Read(fs::Handle h, void* buffer, std::size_t size, std::size_t* got) {
    const InjectedFault* fault = current_->Match("read", current_->Of(h));
    if (fault == nullptr || fault->how != How::kCorruptsRead) {
      if (fault != nullptr) return {fault->status, 9999};
      return Real().read(h, buffer, size, got);
    }
    const fs::Outcome outcome = Real().read(h, buffer, size, got);
    if (outcome.ok() && *got > 0) static_cast<char*>(buffer)[*got / 2] ^= 0x20;
    return outcome;
  }

  static fs::Outcome Write(fs::Handle h, const void* data, std::size_t size) {
    const InjectedFault* fault = current_->Match("write", current_->Of(h));
    if (fault == nullptr) return Real().write(h, data, size);
    Real().write(h, data, size / 2);
    return {fault->status, 9999};
  }

  static inline Injector* current_ = nullptr;
  std::vector<InjectedFault> faults_;
  fs::Ops saved_;
  std::map<std::pair<std::string, Target>, int> calls_;
  std::map<fs::Handle, Target> handles_;
};

}  // namespace sbrep::test
