#include "cli/shown_text.h"

#include <cstdio>

#include "platform/codepage.h"

namespace sbrep::cli {

std::string Printable(const std::string& gbk) {
  if (auto utf8 = GbkToUtf8(gbk)) return std::move(*utf8);
  std::string shown;
  for (unsigned char c : gbk) {
    if (c < 0x80) {
      shown += static_cast<char>(c);
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      shown += escaped;
    }
  }
  return shown;
}

std::string ShownMessage(Message message) {
  return Printable(std::string(MessageBytes(message))) + " (" + std::string(MessageGloss(message)) +
         ")";
}

std::string HexBytes(const std::string& bytes, const std::string& separator) {
  std::string hex;
  for (const unsigned char c : bytes) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02x", c);
    if (!hex.empty()) hex += separator;
    hex += digits;
  }
  return hex;
}

}  // namespace sbrep::cli
