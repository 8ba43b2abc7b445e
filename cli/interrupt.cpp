// The hold and the text, shared by both platforms' handlers. The state is
// one atomic, so that a handler on any thread and the main thread agree on
// whether a save is under way.
#include "cli/interrupt.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <nlohmann/json.hpp>
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
char g_jsons[2][2 * kTextSize] = {};
std::atomic<int> g_current{0};
bool g_leading_newline = false;
std::string g_text = g_texts[0];  // as last set, without the leading newline
std::string g_json_command;       // empty: no JSON

void Copy(const std::string& text, char* into, std::size_t size) {
  const std::size_t n = std::min(text.size(), size - 1);
  std::memcpy(into, text.data(), n);
  into[n] = '\0';
}

// The object a script reads: the text's lines, without "sbrep: ", as the
// verdict.
std::string JsonOf(const std::string& text) {
  if (g_json_command.empty()) return {};
  std::string verdict = text.rfind("sbrep: ", 0) == 0 ? text.substr(7) : text;
  while (!verdict.empty() && verdict.back() == '\n') verdict.pop_back();
  for (char& c : verdict) {
    if (c == '\n') c = ' ';
  }
  const nlohmann::ordered_json json = {{"command", g_json_command},
                                       {"ok", false},
                                       {"interrupted", true},
                                       {"verdict", verdict},
                                       {"exit_status", kExitInterrupted}};
  return json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

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
  Copy((g_leading_newline ? "\n" : "") + text, g_texts[next], kTextSize);
  // A cut object would be no JSON: none at all then.
  const std::string json = JsonOf(text);
  Copy(json.size() < sizeof g_jsons[next] ? json : std::string(), g_jsons[next],
       sizeof g_jsons[next]);
  g_current.store(next);
}

void SetInterruptJson(const std::string& command) {
  {
    const HoldInterrupts hold;
    g_json_command = command;
  }
  SetInterruptText(g_text);
}

const char* InterruptText() { return g_texts[g_current.load()]; }

const char* InterruptJson() { return g_jsons[g_current.load()]; }

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
