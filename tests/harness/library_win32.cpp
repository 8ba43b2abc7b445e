#include <windows.h>

#include "harness/library.h"

namespace sbrep::test {

Library::Library() {
  const HMODULE module = LoadLibraryW(L"sbrep.dll");
  handle_ = module;
  if (module != nullptr) {
    entry_ = reinterpret_cast<SetSBRepDataFn>(
        reinterpret_cast<void*>(GetProcAddress(module, "SetSBRepData")));
  }
}

Library::~Library() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
}

Usage ProcessUsage() {
  Usage usage;
  // Wine reports no handle count, so the handle values in use are counted.
  DWORD flags = 0;
  for (std::uintptr_t value = 4; value < 0x10000; value += 4) {
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++usage.handles;
  }
  MEMORY_BASIC_INFORMATION region;
  const char* at = nullptr;
  while (VirtualQuery(at, &region, sizeof region) == sizeof region) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) {
      usage.memory += static_cast<std::int64_t>(region.RegionSize);
    }
    const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    if (next <= at) break;
    at = next;
  }
  const DWORD slot = TlsAlloc();
  if (slot != TLS_OUT_OF_INDEXES) {
    usage.tls_slots = slot;
    TlsFree(slot);
  }
  return usage;
}

}  // namespace sbrep::test
