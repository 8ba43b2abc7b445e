#include "table_file/journal.h"

#include <array>
#include <cstdint>

#include "platform/filesystem.h"

namespace sbrep {
namespace {

constexpr std::string_view kMagic = "sbrep journal 1\n";

std::uint32_t Crc32(std::string_view bytes) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const unsigned char b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

void PutNumber(std::string* out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// Reads a little-endian number of `bytes` bytes at *at; false past the end.
bool TakeNumber(std::string_view in, std::size_t* at, int bytes, std::uint64_t* value) {
  if (in.size() - *at < static_cast<std::size_t>(bytes)) return false;
  *value = 0;
  for (int i = 0; i < bytes; ++i) {
    *value |= static_cast<std::uint64_t>(static_cast<unsigned char>(in[*at + i])) << (8 * i);
  }
  *at += static_cast<std::size_t>(bytes);
  return true;
}

}  // namespace

std::string JournalPath(const std::string& table_path) {
  return fs::FolderOf(table_path) + "~" + fs::NameOf(table_path) + ".sbrep-journal";
}

std::string EncodeJournal(std::string_view table_name, std::string_view old_bytes) {
  std::string journal(kMagic);
  PutNumber(&journal, table_name.size(), 4);
  journal += table_name;
  PutNumber(&journal, old_bytes.size(), 8);
  journal += old_bytes;
  PutNumber(&journal, Crc32(journal), 4);
  return journal;
}

std::optional<std::string> DecodeJournal(std::string_view journal, std::string_view table_name) {
  if (journal.size() < kMagic.size() + 4 || journal.substr(0, kMagic.size()) != kMagic) {
    return std::nullopt;
  }
  const std::string_view body = journal.substr(0, journal.size() - 4);
  std::size_t at = body.size();
  std::uint64_t crc = 0;
  if (!TakeNumber(journal, &at, 4, &crc) || crc != Crc32(body)) return std::nullopt;
  at = kMagic.size();
  std::uint64_t name_size = 0;
  if (!TakeNumber(body, &at, 4, &name_size) || body.size() - at < name_size) return std::nullopt;
  if (body.substr(at, name_size) != table_name) return std::nullopt;
  at += name_size;
  std::uint64_t old_size = 0;
  if (!TakeNumber(body, &at, 8, &old_size) || body.size() - at != old_size) return std::nullopt;
  return std::string(body.substr(at));
}

}  // namespace sbrep
