// SHA-256, for telling whole files apart: the journal's record of the bytes a
// rewrite is about to write, and the facts kept beside each backup.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace sbrep {

class Sha256 {
 public:
  using Digest = std::array<std::uint8_t, 32>;

  Sha256();
  void Add(std::string_view bytes);
  Digest Finish();

 private:
  void Compress(const std::uint8_t* block);

  std::array<std::uint32_t, 8> state_;
  std::array<std::uint8_t, 64> block_{};
  std::size_t used_ = 0;
  std::uint64_t length_ = 0;
};

Sha256::Digest Sha256Of(std::string_view bytes);

// Lower-case hex, as shown to people and kept in text files.
std::string HexOf(const Sha256::Digest& digest);

}  // namespace sbrep
