/* Calling sbrep.dll from C or C++: a wide path in, the message out as UTF-16
 * whatever the system's code page. Link sbrep.lib (MSVC) or libsbrep.dll.a
 * (MinGW), with the sbrep.dll of the program's architecture beside it. */
#include <windows.h>

#include <stdlib.h>

#include "sbrep.h"

/* Fills one table. Returns 0 on success; -1 when the DLL refused, with its
 * message in message (capacity wide characters, the NUL included); -2 when
 * the system's ANSI code page, in which the DLL reads the path, cannot hold
 * path, which would otherwise reach it with '?' in it. */
int SbrepTransfer(const wchar_t* path, int32_t kind, wchar_t* message, int capacity) {
  char gbk[SBREP_MESSAGE_CAPACITY];
  char* ansi_path;
  BOOL lossy = FALSE;
  /* UTF-8 as the ANSI code page loses nothing and takes no lossy flag. */
  BOOL* lossy_flag = GetACP() == CP_UTF8 ? NULL : &lossy;
  DWORD flags = GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  int32_t result;
  int size = WideCharToMultiByte(CP_ACP, flags, path, -1, NULL, 0, NULL, lossy_flag);
  if (size == 0 || lossy) return -2;
  ansi_path = (char*)malloc((size_t)size);
  if (ansi_path == NULL) return -2;
  WideCharToMultiByte(CP_ACP, flags, path, -1, ansi_path, size, NULL, NULL);
  result = SetSBRepData(ansi_path, kind, gbk);
  free(ansi_path);
  if (result == 0) return 0;
  /* GBK, code page 936, on every system: not the ANSI code page. */
  if (MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, gbk, -1, message, capacity) == 0 &&
      capacity > 0) {
    message[0] = L'\0';
  }
  return -1;
}
