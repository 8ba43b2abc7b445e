#include "table_file/journal.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "platform/filesystem.h"

namespace sbrep {
namespace {

// Format 1 kept the old bytes alone; format 2 adds the record of the new ones.
constexpr std::string_view kMagicOne = "sbrep journal 1\n";
constexpr std::string_view kMagic = "sbrep journal 2\n";
constexpr std::size_t kMagicSize = 16;
static_assert(kMagicOne.size() == kMagicSize && kMagic.size() == kMagicSize);

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

// The pieces the new bytes are made of, in order.
std::array<std::string_view, 3> PiecesOf(const NewBytesRecord& record, std::string_view old) {
  return {old.substr(0, record.prefix), record.middle, old.substr(old.size() - record.suffix)};
}

// Whether the new bytes from offset `at` on begin with `bytes`.
bool NewBytesAt(const NewBytesRecord& record, std::string_view old, std::uint64_t at,
                std::string_view bytes) {
  std::uint64_t start = 0;
  for (const std::string_view piece : PiecesOf(record, old)) {
    const std::uint64_t end = start + piece.size();
    if (at < end && !bytes.empty()) {
      const std::size_t n =
          static_cast<std::size_t>(std::min<std::uint64_t>(end - at, bytes.size()));
      if (piece.substr(static_cast<std::size_t>(at - start), n) != bytes.substr(0, n)) return false;
      at += n;
      bytes.remove_prefix(n);
    }
    start = end;
  }
  return bytes.empty();
}

// The record, when its pieces fit the old bytes and make the recorded whole.
bool HoldsTogether(const NewBytesRecord& record, std::string_view old) {
  if (record.prefix > old.size() || record.suffix > old.size() - record.prefix) return false;
  if (record.prefix + record.middle.size() + record.suffix != record.size) return false;
  Sha256 hash;
  for (const std::string_view piece : PiecesOf(record, old)) hash.Add(piece);
  return hash.Finish() == record.digest;
}

}  // namespace

std::string JournalPath(const std::string& table_path) {
  return fs::FolderOf(table_path) + "~" + fs::NameOf(table_path) + ".sbrep-journal";
}

std::string EncodeJournal(std::string_view table_name, std::string_view old_bytes,
                          std::string_view new_bytes) {
  const std::size_t most = std::min(old_bytes.size(), new_bytes.size());
  std::size_t prefix = 0;
  while (prefix < most && old_bytes[prefix] == new_bytes[prefix]) ++prefix;
  std::size_t suffix = 0;
  while (suffix < most - prefix &&
         old_bytes[old_bytes.size() - 1 - suffix] == new_bytes[new_bytes.size() - 1 - suffix]) {
    ++suffix;
  }
  const std::string_view middle = new_bytes.substr(prefix, new_bytes.size() - prefix - suffix);
  const Sha256::Digest digest = Sha256Of(new_bytes);

  std::string journal(kMagic);
  PutNumber(&journal, table_name.size(), 4);
  journal += table_name;
  PutNumber(&journal, old_bytes.size(), 8);
  journal += old_bytes;
  PutNumber(&journal, new_bytes.size(), 8);
  journal.append(digest.begin(), digest.end());
  PutNumber(&journal, prefix, 8);
  PutNumber(&journal, suffix, 8);
  PutNumber(&journal, middle.size(), 8);
  journal += middle;
  PutNumber(&journal, Crc32(journal), 4);
  return journal;
}

std::optional<Journal> DecodeJournal(std::string_view journal, std::string_view table_name) {
  if (journal.size() < kMagicSize + 4) return std::nullopt;
  const std::string_view magic = journal.substr(0, kMagicSize);
  if (magic != kMagic && magic != kMagicOne) return std::nullopt;
  const std::string_view body = journal.substr(0, journal.size() - 4);
  std::size_t at = body.size();
  std::uint64_t crc = 0;
  if (!TakeNumber(journal, &at, 4, &crc) || crc != Crc32(body)) return std::nullopt;
  at = kMagicSize;
  std::uint64_t name_size = 0;
  if (!TakeNumber(body, &at, 4, &name_size) || body.size() - at < name_size) return std::nullopt;
  if (body.substr(at, name_size) != table_name) return std::nullopt;
  at += name_size;
  std::uint64_t old_size = 0;
  if (!TakeNumber(body, &at, 8, &old_size) || body.size() - at < old_size) return std::nullopt;
  Journal decoded;
  decoded.old_bytes = std::string(body.substr(at, old_size));
  at += old_size;
  if (magic == kMagicOne) {
    if (at != body.size()) return std::nullopt;
    return decoded;
  }
  NewBytesRecord record;
  std::uint64_t middle_size = 0;
  if (!TakeNumber(body, &at, 8, &record.size) || body.size() - at < record.digest.size()) {
    return std::nullopt;
  }
  std::copy_n(body.begin() + static_cast<std::ptrdiff_t>(at), record.digest.size(),
              record.digest.begin());
  at += record.digest.size();
  if (!TakeNumber(body, &at, 8, &record.prefix) || !TakeNumber(body, &at, 8, &record.suffix) ||
      !TakeNumber(body, &at, 8, &middle_size) || body.size() - at != middle_size) {
    return std::nullopt;
  }
  record.middle = std::string(body.substr(at));
  if (!HoldsTogether(record, decoded.old_bytes)) return std::nullopt;
  decoded.new_bytes = std::move(record);
  return decoded;
}

TableState StateOf(const Journal& journal, std::string_view now) {
  const std::string_view old = journal.old_bytes;
  if (now == old) return TableState::kOld;
  if (!journal.new_bytes) return TableState::kChanged;
  const NewBytesRecord& record = *journal.new_bytes;
  if (now.size() == record.size && Sha256Of(now) == record.digest) return TableState::kNew;
  // The rewrite and the rollback both write from the start and truncate
  // only once all their bytes are down, so the file never gets shorter than
  // the old bytes, and grows only with new ones.
  if (now.size() < old.size() || now.size() > std::max<std::uint64_t>(old.size(), record.size)) {
    return TableState::kChanged;
  }
  std::size_t from = 0;
  while (from < old.size() && now[from] == old[from]) ++from;
  std::size_t to = now.size();
  if (to == old.size()) {
    while (to > from && now[to - 1] == old[to - 1]) --to;
  }
  return NewBytesAt(record, old, from, now.substr(from, to - from)) ? TableState::kInterrupted
                                                                    : TableState::kChanged;
}

}  // namespace sbrep
