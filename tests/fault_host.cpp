// The programs of the fault runs (scripts/faults): a host that transfers, and
// may be killed at a chosen step of the file system; sbrep check, likewise;
// and a reader that watches a table for torn bytes. It links the library's
// own objects, so that the step counter sees every file operation.
//
//   fault_host transfer KIND XML CLIENT [--kill-at N] [--in-place] [--count C]
//              [--forbid-in-place]
//   fault_host check KIND XML CLIENT [--kill-at N]
//   fault_host read TABLE STOP-FILE GOOD...
//   fault_host save TABLE BYTES
//
// transfer registers CLIENT and calls SetSBRepData C times (1 by default).
// --kill-at N kills the process at the Nth step that changes a file or a
// lock (a write puts half of its bytes down first). --in-place refuses the
// rename, as the filing client's handle does, without the second of
// retries. --forbid-in-place fails when a call rewrites the table in place.
// read reads TABLE until STOP-FILE exists and fails on bytes that are none
// of the GOOD files; it pauses between reads, as a reader's handle refuses a
// rename on Windows. save writes the bytes of the file BYTES over TABLE
// through a handle that shares read and write, as the filing client saves
// its own table. Exit status: 0 done, 1 a call or check failed, 2 a torn
// read, 3 a rewrite in place, 64 usage, 137 killed.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/sbrep_cli.h"
#include "harness/host.h"
#include "platform/filesystem.h"
#include "support/support.h"

namespace sbrep::test {
namespace {

struct Options {
  long kill_at = 0;  // 0: never
  bool in_place = false;
  bool forbid_in_place = false;
  long count = 1;
};

// Counts the steps that change a file or a lock, and ends the process at
// the one asked for.
class StepKiller {
 public:
  static void Install(const Options& options) {
    options_ = options;
    fs::Ops& ops = fs::FileSystem();
    ops.open = [](const std::string& path, fs::OpenMode mode, fs::Handle* out) noexcept {
      if (mode != fs::OpenMode::kRead) {
        Step();
        if (mode == fs::OpenMode::kReadWrite && options_.forbid_in_place &&
            fs::NameOf(path).rfind("TABLE", 0) == 0) {
          std::fprintf(stderr, "fault_host: the table was opened to be rewritten in place\n");
          std::exit(3);
        }
      }
      return Real().open(path, mode, out);
    };
    ops.write = [](fs::Handle handle, const void* data, std::size_t size) noexcept {
      if (++steps_ == options_.kill_at) {
        Real().write(handle, data, size / 2);
        KillThisProcess();
      }
      return Real().write(handle, data, size);
    };
    ops.truncate = [](fs::Handle handle, std::uint64_t size) noexcept {
      Step();
      return Real().truncate(handle, size);
    };
    ops.flush = [](fs::Handle handle) noexcept {
      Step();
      return Real().flush(handle);
    };
    ops.replace = [](const std::string& from, const std::string& to) noexcept {
      Step();
      if (options_.in_place) return fs::Outcome{fs::Status::kAccessDenied, 5};
      return Real().replace(from, to);
    };
    ops.remove = [](const std::string& path) noexcept {
      Step();
      return Real().remove(path);
    };
    ops.set_attributes = [](const std::string& path, std::uint32_t native) noexcept {
      Step();
      return Real().set_attributes(path, native);
    };
    ops.carry_identity = [](const std::string& from, const std::string& to) noexcept {
      Step();
      return Real().carry_identity(from, to);
    };
    ops.sync_folder = [](const std::string& folder) noexcept {
      Step();
      return Real().sync_folder(folder);
    };
    ops.lock = [](const std::string& path, unsigned wait_ms, fs::Handle* out) noexcept {
      Step();
      return Real().lock(path, wait_ms, out);
    };
    ops.unlock = [](fs::Handle lock) noexcept {
      Step();
      return Real().unlock(lock);
    };
    if (options_.in_place) ops.sleep_ms = [](unsigned) noexcept {};
  }

 private:
  static const fs::Ops& Real() { return fs::PlatformFileSystem(); }
  static void Step() {
    if (++steps_ == options_.kill_at) KillThisProcess();
  }
  static inline Options options_;
  static inline long steps_ = 0;
};

// Reads the options after the positional arguments; false on an unknown one.
bool ReadOptions(const std::vector<std::string>& args, std::size_t from, Options* options) {
  for (std::size_t i = from; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool has_value = i + 1 < args.size();
    if (arg == "--kill-at" && has_value) {
      options->kill_at = std::atol(args[++i].c_str());
    } else if (arg == "--count" && has_value) {
      options->count = std::atol(args[++i].c_str());
    } else if (arg == "--in-place") {
      options->in_place = true;
    } else if (arg == "--forbid-in-place") {
      options->forbid_in_place = true;
    } else {
      return false;
    }
  }
  return true;
}

int Transfer(const std::vector<std::string>& args) {
  Options options;
  if (args.size() < 4 || !ReadOptions(args, 4, &options)) return 64;
  RegisterFilingClient(args[3]);
  StepKiller::Install(options);
  int status = 0;
  for (long i = 0; i < options.count; ++i) {
    const CallResult call = CallSetSBRepData(args[2], std::atoi(args[1].c_str()));
    if (call.result != 0) {
      std::printf("call %ld: %d %s\n", i + 1, call.result,
                  GbkToUtf8ForTest(call.message()).c_str());
      status = 1;
    }
  }
  return status;
}

int Check(const std::vector<std::string>& args) {
  Options options;
  if (args.size() < 4 || !ReadOptions(args, 4, &options)) return 64;
  StepKiller::Install(options);
  std::ostringstream out;
  std::ostringstream err;
  std::istringstream in;
  cli::Console console{out, err, in, false, false, {}};
  const int status = cli::RunCli({"check", args[1], args[2], "--client", args[3]}, console);
  if (status != 0) std::printf("%s%s", out.str().c_str(), err.str().c_str());
  return status == 0 ? 0 : 1;
}

// Reads through the platform's own calls, sharing as a reader that lets a
// rename replace the file.
std::string ReadTable(const std::string& path) {
  const fs::Ops& ops = fs::PlatformFileSystem();
  fs::Handle handle = 0;
  if (!ops.open(path, fs::OpenMode::kRead, &handle).ok()) return "(unreadable)";
  std::string bytes;
  char chunk[4096];
  std::size_t got = 0;
  while (ops.read(handle, chunk, sizeof chunk, &got).ok() && got > 0) bytes.append(chunk, got);
  ops.close(handle);
  return bytes;
}

int Read(const std::vector<std::string>& args) {
  if (args.size() < 4) return 64;
  std::vector<std::string> good;
  for (std::size_t i = 3; i < args.size(); ++i) good.push_back(ReadBytes(args[i]));
  long reads = 0;
  while (!Exists(args[2])) {
    const std::string bytes = ReadTable(args[1]);
    ++reads;
    bool known = false;
    for (const auto& g : good) known = known || bytes == g;
    if (!known) {
      std::printf("read %ld: %zu bytes that are none of the %zu good tables\n", reads, bytes.size(),
                  good.size());
      return 2;
    }
    // A reader's open handle refuses the rename on Windows, and one that
    // never let go would send every save in place.
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::printf("%ld reads, none torn\n", reads);
  return 0;
}

int Save(const std::vector<std::string>& args) {
  if (args.size() != 3) return 64;
  const std::string bytes = ReadBytes(args[2]);
  const fs::Ops& ops = fs::PlatformFileSystem();
  fs::Handle handle = 0;
  if (!ops.open(args[1], fs::OpenMode::kReadWrite, &handle).ok()) return 1;
  const bool saved = ops.write(handle, bytes.data(), bytes.size()).ok() &&
                     ops.truncate(handle, bytes.size()).ok() && ops.flush(handle).ok();
  return ops.close(handle).ok() && saved ? 0 : 1;
}

}  // namespace
}  // namespace sbrep::test

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return 64;
  if (args[0] == "transfer") return sbrep::test::Transfer(args);
  if (args[0] == "check") return sbrep::test::Check(args);
  if (args[0] == "read") return sbrep::test::Read(args);
  if (args[0] == "save") return sbrep::test::Save(args);
  return 64;
}
