// Fault injection through the file-system seam: fakes over the platform's
// table that count every call by operation and file, and make chosen calls
// fail. Only for programs that link the library's own objects.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <tuple>
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
    Count<&fs::Ops::stat>(ops, "stat");
    ops.open = &Open;
    ops.read = &Read;
    ops.write = &Write;
    Count<&fs::Ops::seek>(ops, "seek");
    Count<&fs::Ops::truncate>(ops, "truncate");
    Count<&fs::Ops::flush>(ops, "flush");
    ops.close = &Close;
    Count<&fs::Ops::replace>(ops, "replace");
    Count<&fs::Ops::remove>(ops, "remove");
    Count<&fs::Ops::set_attributes>(ops, "set_attributes");
    Count<&fs::Ops::carry_identity, 1>(ops, "carry_identity");  // by the file it goes to
    Count<&fs::Ops::locate>(ops, "locate");
    ops.lock = &Lock;
    Count<&fs::Ops::sync_folder, kAFolder>(ops, "sync_folder");
    ops.sleep_ms = &Sleep;
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

  std::optional<fs::Outcome> Hit(const std::string& op, Target target) {
    const InjectedFault* fault = Match(op, target);
    if (fault == nullptr) return std::nullopt;
    return fs::Outcome{fault->status, 9999};
  }

  Target Of(const std::string& path) const { return TargetOf(path); }

  // For Count: the call works on a folder, whatever its argument.
  static constexpr int kAFolder = -1;

  // The fake of one entry: counts the call under `op` for the file named by
  // argument `kFile` (a path or a handle), gives a matching fault's outcome
  // without making the real call, and makes it otherwise.
  template <auto kEntry, int kFile, typename = decltype(kEntry)>
  struct Counted;

  template <auto kEntry, int kFile, typename... Args>
  struct Counted<kEntry, kFile, fs::Outcome (*fs::Ops::*)(Args...) noexcept> {
    static inline const char* op = nullptr;
    static fs::Outcome Call(Args... args) noexcept {
      Target target = Target::kFolder;
      if constexpr (kFile != kAFolder) target = current_->Of(std::get<kFile>(std::tie(args...)));
      if (auto failed = current_->Hit(op, target)) return *failed;
      return (Real().*kEntry)(args...);
    }
  };

  template <auto kEntry, int kFile = 0>
  static void Count(fs::Ops& ops, const char* op) {
    Counted<kEntry, kFile>::op = op;
    ops.*kEntry = &Counted<kEntry, kFile>::Call;
  }

  static fs::Outcome Open(const std::string& path, fs::OpenMode mode, fs::Handle* out) noexcept {
    if (auto failed = current_->Hit("open", TargetOf(path))) return *failed;
    const fs::Outcome outcome = Real().open(path, mode, out);
    if (outcome.ok()) current_->handles_[*out] = TargetOf(path);
    return outcome;
  }

  static fs::Outcome Read(fs::Handle h, void* buffer, std::size_t size, std::size_t* got) noexcept {
    const InjectedFault* fault = current_->Match("read", current_->Of(h));
    if (fault == nullptr || fault->how != How::kCorruptsRead) {
      if (fault != nullptr) return {fault->status, 9999};
      return Real().read(h, buffer, size, got);
    }
    const fs::Outcome outcome = Real().read(h, buffer, size, got);
    if (outcome.ok() && *got > 0) static_cast<char*>(buffer)[*got / 2] ^= 0x20;
    return outcome;
  }

  static fs::Outcome Write(fs::Handle h, const void* data, std::size_t size) noexcept {
    const InjectedFault* fault = current_->Match("write", current_->Of(h));
    if (fault == nullptr) return Real().write(h, data, size);
    Real().write(h, data, size / 2);
    return {fault->status, 9999};
  }

  static fs::Outcome Close(fs::Handle h) noexcept {
    // The handle is closed even when the call reports failure.
    const fs::Outcome real = Real().close(h);
    return current_->Hit("close", current_->Of(h)).value_or(real);
  }

  static fs::Outcome Lock(const std::string& path, unsigned wait_ms, fs::Handle* out) noexcept {
    if (auto failed = current_->Hit("lock", TargetOf(path))) return *failed;
    return Real().lock(path, current_->lock_wait_ms.value_or(wait_ms), out);
  }

  static void Sleep(unsigned ms) noexcept {
    ++current_->sleeps;
    current_->slept_ms += ms;
  }

  static inline Injector* current_ = nullptr;
  std::vector<InjectedFault> faults_;
  fs::Ops saved_;
  std::map<std::pair<std::string, Target>, int> calls_;
  std::map<fs::Handle, Target> handles_;
};

}  // namespace sbrep::test
