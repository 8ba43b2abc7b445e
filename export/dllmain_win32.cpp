// Library attach: COM for the loading thread, which hosts may rely on. The
// result is ignored and loading never fails on its account.
#include <objbase.h>
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    (void)CoInitialize(nullptr);
  }
  return TRUE;
}
