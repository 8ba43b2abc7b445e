#include "harness/host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

namespace sbrep::test {
namespace {

std::filesystem::path U8(const std::string& utf8) { return std::filesystem::u8path(utf8); }

std::string Str(const std::filesystem::path& path) {
  const auto u8 = path.u8string();
  return std::string(u8.begin(), u8.end());
}

}  // namespace

ScratchFolder::ScratchFolder() {
  static std::atomic<unsigned> counter{0};
  std::mt19937_64 random(
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  const auto name =
      "sbrep-test-" + std::to_string(random() % 1000000000u) + "-" + std::to_string(counter++);
  const auto path = std::filesystem::temp_directory_path() / name;
  std::filesystem::create_directories(path);
  path_ = Str(path);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  // Read-only files would stop the removal on Windows.
  for (auto it = std::filesystem::recursive_directory_iterator(U8(path_), ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(U8(path_), ignored);
}

std::string ScratchFolder::Join(const std::string& relative) const {
  return Str(U8(path_) / U8(relative));
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(U8(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  const auto target = U8(path);
  if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path());
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << "cannot write " << path;
}

bool Exists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(U8(path), ignored);
}

void RemoveFile(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove(U8(path), ignored);
}

void MakeFolder(const std::string& path) { std::filesystem::create_directories(U8(path)); }

void MakeReadOnly(const std::string& path, bool read_only) {
  using std::filesystem::perms;
  const auto write = perms::owner_write | perms::group_write | perms::others_write;
  std::filesystem::permissions(
      U8(path), write,
      read_only ? std::filesystem::perm_options::remove : std::filesystem::perm_options::add);
}

std::string ListFolder(const std::string& path) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(U8(path), ignored)) {
    names.push_back(Str(entry.path().filename()));
  }
  std::sort(names.begin(), names.end());
  std::string joined;
  for (const auto& name : names) joined += (joined.empty() ? "" : " ") + name;
  return joined;
}

std::string DataPath(const std::string& relative) { return Str(U8(DataRoot()) / U8(relative)); }

std::string ReadData(const std::string& relative) {
  const std::string bytes = ReadBytes(DataPath(relative));
  EXPECT_FALSE(bytes.empty()) << "missing fixture " << relative;
  return bytes;
}

FilingClient::FilingClient() {
  MakeFolder(scratch_.Join("Dexlan/ICDAT"));
  registry_.SetString(scratch_.path());
}

std::string FilingClient::TablePath(const std::string& name) const {
  return scratch_.Join("Dexlan/ICDAT/" + name);
}

void FilingClient::PutTable(const std::string& name, const std::string& bytes) {
  WriteBytes(TablePath(name), bytes);
}

}  // namespace sbrep::test
