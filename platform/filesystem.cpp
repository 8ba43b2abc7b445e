#include "platform/filesystem.h"

#include <new>

namespace sbrep::fs {

Ops& FileSystem() {
  static Ops ops = PlatformFileSystem();
  return ops;
}

std::string Describe(const Outcome& outcome) {
  const char* text = "error";
  switch (outcome.status) {
    case Status::kOk:
      return "ok";
    case Status::kNotFound:
      text = "not found";
      break;
    case Status::kAccessDenied:
      text = "access denied";
      break;
    case Status::kSharingViolation:
      text = "in use by another program";
      break;
    case Status::kTooLarge:
      text = "too large";
      break;
    case Status::kExists:
      text = "already exists";
      break;
    case Status::kOther:
      text = "error";
      break;
    case Status::kOutOfMemory:
      text = "out of memory";
      break;
    case Status::kInternal:
      text = "internal error";
      break;
  }
  return std::string(text) + " (" + std::to_string(outcome.native_code) + ")";
}

Outcome Checked(Outcome outcome) {
  if (outcome.status == Status::kOutOfMemory) throw std::bad_alloc();
  return outcome;
}

bool IsFolder(const std::string& path) {
  Attributes attributes;
  return !path.empty() && Checked(FileSystem().stat(path, &attributes)).ok() && attributes.exists &&
         attributes.directory;
}

bool IsFile(const std::string& path) {
  Attributes attributes;
  return !path.empty() && Checked(FileSystem().stat(path, &attributes)).ok() && attributes.exists &&
         !attributes.directory;
}

std::string FolderOf(const std::string& path) {
  const auto cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string NameOf(const std::string& path) {
  const auto cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

Outcome File::Open(const std::string& path, OpenMode mode) {
  Close();
  const Outcome outcome = FileSystem().open(path, mode, &handle_);
  open_ = outcome.ok();
  return Checked(outcome);
}

Outcome File::ReadAll(std::string* bytes, std::uint64_t limit) {
  bytes->clear();
  char chunk[1 << 16];
  for (;;) {
    std::size_t got = 0;
    const Outcome outcome = FileSystem().read(handle_, chunk, sizeof chunk, &got);
    if (!Checked(outcome).ok()) return outcome;
    if (got == 0) return {};
    if (bytes->size() + got > limit) return {Status::kTooLarge, 0};
    bytes->append(chunk, got);
  }
}

Outcome File::WriteAll(const std::string& bytes) {
  return Checked(FileSystem().write(handle_, bytes.data(), bytes.size()));
}

File::~File() {
  if (open_) FileSystem().close(handle_);
}

Outcome File::Close() {
  if (!open_) return {};
  open_ = false;
  return Checked(FileSystem().close(handle_));
}

}  // namespace sbrep::fs
