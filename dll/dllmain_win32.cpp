// Library attach. The DLL pins itself in the process, then gives the loading
// thread a single-threaded COM apartment.
//
// Pinned, because the C++ runtime linked into it (libstdc++ with winpthreads
// and emulated thread-local storage) allocates a TLS slot, an event, a thread
// handle, two semaphores and some memory on first use, and frees none of it
// when the DLL is unloaded: each load and unload cost 4 handles and about
// 17 KB, and after about 1,080 cycles the process ran out of TLS slots and
// the runtime aborted it. A pinned DLL is loaded once; FreeLibrary leaves
// it, and the next LoadLibrary finds it. LastMessage lives on with it, which
// no caller can see: it is read only after a call has stored its own text.
//
// The apartment is the DLL's promise to hosts: it is never left, so a host
// that later asks for a multithreaded one on that thread gets
// RPC_E_CHANGED_MODE. A pinned DLL attaches once, so it is the first loading
// thread that gets it. Results are ignored, and loading never fails on
// their account.
#include <objbase.h>
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    HMODULE self = nullptr;
    (void)GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                             reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&DllMain)), &self);
    (void)CoInitialize(nullptr);
  }
  return TRUE;
}
