#include "dll/last_message.h"

namespace sbrep {
namespace {

// The texts are static, so a store never allocates and cannot fail.
Message g_last_message = Message::kEmpty;

}  // namespace

void StoreLastMessage(Message message) noexcept { g_last_message = message; }

std::string_view LastMessage() noexcept { return MessageBytes(g_last_message); }

}  // namespace sbrep
