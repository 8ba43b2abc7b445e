// Library attach. The loading thread gets a single-threaded COM apartment, as
// the DLL has always given it, and hosts may rely on that. The apartment is
// never left, so a host that later asks for a multithreaded one on that
// thread gets RPC_E_CHANGED_MODE. The result is ignored, and loading never
// fails on its account.
#include <objbase.h>
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    (void)CoInitialize(nullptr);
  }
  return TRUE;
}
