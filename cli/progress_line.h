// The line that shows how far the read of a large export has got, on a
// terminal, once the read has taken about a second.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

#include "core/read_progress.h"

namespace sbrep::cli {

// "reading the export: 45% (59.2 of 131.6 MB)".
std::string ProgressText(std::uint64_t bytes_read, std::uint64_t file_size);

class ProgressLine {
 public:
  // Shows nothing unless `enabled` (the stream is a terminal).
  ProgressLine(std::ostream& stream, bool enabled);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // What the read calls; empty when the line is not enabled.
  ReadProgress callback();
  // Ends the line and clears it from the screen; later calls do nothing.
  void Stop();

 private:
  void Run();

  std::ostream& stream_;
  bool enabled_;
  std::atomic<std::uint64_t> read_{0};
  std::atomic<std::uint64_t> size_{0};
  std::atomic<bool> started_{false};
  std::chrono::steady_clock::time_point start_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::size_t shown_ = 0;  // the width of the line on screen
  std::string last_;       // what it shows
  std::thread thread_;
};

}  // namespace sbrep::cli
