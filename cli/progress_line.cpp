// The line is drawn by a thread of its own: a read of the file may end long
// before the parse that follows it, and the line must stay while that runs.
#include "cli/progress_line.h"

#include <cstdio>

namespace sbrep::cli {
namespace {

// Shown once the read has taken this long; a quicker one shows nothing.
constexpr std::chrono::milliseconds kDelay{1000};
constexpr std::chrono::milliseconds kTick{200};

std::string Megabytes(std::uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / (1024.0 * 1024.0));
  return text;
}

}  // namespace

std::string ProgressText(std::uint64_t bytes_read, std::uint64_t file_size) {
  if (file_size == 0) return "reading the export: " + Megabytes(bytes_read) + " MB";
  const std::uint64_t percent = bytes_read >= file_size ? 100 : bytes_read * 100 / file_size;
  return "reading the export: " + std::to_string(percent) + "% (" + Megabytes(bytes_read) + " of " +
         Megabytes(file_size) + " MB)";
}

ProgressLine::ProgressLine(std::ostream& stream, bool enabled)
    : stream_(stream), enabled_(enabled) {
  if (enabled_) thread_ = std::thread([this] { Run(); });
}

ProgressLine::~ProgressLine() { Stop(); }

ReadProgress ProgressLine::callback() {
  if (!enabled_) return {};
  return [this](std::uint64_t bytes_read, std::uint64_t file_size) {
    if (!started_.load()) {
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        start_ = std::chrono::steady_clock::now();
      }
      started_.store(true);
    }
    size_.store(file_size);
    read_.store(bytes_read);
  };
}

void ProgressLine::Stop() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (shown_ > 0) stream_ << '\r' << std::string(shown_, ' ') << '\r' << std::flush;
  shown_ = 0;
}

void ProgressLine::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    wake_.wait_for(lock, kTick);
    if (stopping_ || !started_.load() || std::chrono::steady_clock::now() - start_ < kDelay) {
      continue;
    }
    const std::string text = ProgressText(read_.load(), size_.load());
    if (text == last_) continue;
    last_ = text;
    const std::size_t width = text.size();
    stream_ << '\r' << text << (width < shown_ ? std::string(shown_ - width, ' ') : "")
            << std::flush;
    if (width > shown_) shown_ = width;
  }
}

}  // namespace sbrep::cli
