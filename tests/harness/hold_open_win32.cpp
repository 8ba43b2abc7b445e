// Windows: a read and write handle with the chosen sharing mode.
#include <windows.h>

#include "harness/hold_open.h"
#include "platform/utf16_win32.h"

namespace sbrep::test {

HoldOpen::HoldOpen(const std::string& path, Sharing sharing) {
  const DWORD share = sharing == Sharing::kNone ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
  const HANDLE handle = CreateFileW(win32::Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, share,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ok_ = handle != INVALID_HANDLE_VALUE;
  handle_ = reinterpret_cast<std::intptr_t>(handle);
}

HoldOpen::~HoldOpen() {
  if (ok_) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool HoldOpen::Enforced() { return true; }

std::uint32_t DistinctAttributes() { return FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE; }

}  // namespace sbrep::test
