// The hold and the text, shared by both platforms' handlers. The state is
// one atomic, so that a handler on any thread and the main thread agree on
// whether a save is under way.
#include "cli/interrupt.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace sbrep::cli {
namespace {

enum State : int { kFree, kHeld, kEnding };

std::atomic<int> g_state{kFree};
std::atomic<bool> g_pending{false};
int g_depth = 0;  // the main thread's holds

// Two buffers, so that the handler always reads a whole text. A text is
// only changed under a hold, while no handler reads it.
constexpr std::size_t kTextSize = 1024;
char g_texts[2][kTextSize] = {"sbrep: interrupted; nothing was changed\n"};
std::atomic<int> g_current{0};
bool g_leading_newline = false;
std::string g_text = g_texts[0];  // as last set, without the leading newline

}  // namespace

void CatchInterrupts(bool leading_newline) {
  g_leading_newline = leading_newline;
  SetInterruptText(g_text);
  InstallInterruptHandler();
}

void SetInterruptText(const std::string& text) {
  const HoldInterrupts hold;
  g_text = text;
  const int next = 1 - g_current.load();
  std::string shown = (g_leading_newline ? "\n" : "") + text;
  if (shown.size() >= kTextSize) shown.resize(kTextSize - 1);
  std::memcpy(g_texts[next], shown.c_str(), shown.size() + 1);
  g_current.store(next);
}

const char* InterruptText() { return g_texts[g_current.load()]; }

bool InterruptArrived() {
  int expected = kFree;
  if (g_state.compare_exchange_strong(expected, kEnding)) return true;
  if (expected == kHeld) g_pending.store(true);
  return false;
}

HoldInterrupts::HoldInterrupts() {
  if (g_depth++ > 0) return;
  for (;;) {
    int expected = kFree;
    if (g_state.compare_exchange_strong(expected, kHeld)) return;
    // A handler is ending the process: nothing may start now.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

HoldInterrupts::~HoldInterrupts() {
  if (--g_depth > 0) return;
  g_state.store(kFree);
  if (g_pending.exchange(false)) {
    int expected = kFree;
    if (g_state.compare_exchange_strong(expected, kEnding)) EndInterrupted();
  }
}

}  // namespace sbrep::cli
