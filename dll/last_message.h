// LastMessage: the one module-wide message slot, stored by SetSBRepData
// alone. Empty at load; each store replaces it whole; nothing clears it.
#pragma once

#include <string_view>

#include "core/messages.h"

namespace sbrep {

void StoreLastMessage(Message message) noexcept;

// The GBK bytes of the text stored last, or empty text.
std::string_view LastMessage() noexcept;

}  // namespace sbrep
