// How a long read says how far it has got, so that a person waiting on a
// large export can see it move.
#pragma once

#include <cstdint>
#include <functional>

namespace sbrep {

// Called now and then while a file is read: the bytes read so far and the
// file's size (0 when the size cannot be had). May be empty.
using ReadProgress = std::function<void(std::uint64_t bytes_read, std::uint64_t file_size)>;

}  // namespace sbrep
