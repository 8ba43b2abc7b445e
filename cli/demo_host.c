/* The smallest host: loads sbrep.dll, calls SetSBRepData once as an
 * accounting program would, and prints the result and the message bytes
 * (GBK) it got back.
 *   demo_host KIND EXPORT.xml    (the path in the ANSI code page) */
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "sbrep.h"

int main(int argc, char** argv) {
  HMODULE dll;
  SetSBRepDataFn set_sb_rep_data;
  char message[2 * SBREP_MESSAGE_CAPACITY];
  int32_t result;

  if (argc != 3) {
    fprintf(stderr, "usage: demo_host KIND EXPORT.xml\n");
    return 64;
  }
  dll = LoadLibraryW(L"sbrep.dll");
  if (dll == NULL) {
    fprintf(stderr, "demo_host: cannot load sbrep.dll (%lu)\n", (unsigned long)GetLastError());
    return 2;
  }
  set_sb_rep_data = (SetSBRepDataFn)(void (*)(void))GetProcAddress(dll, "SetSBRepData");
  if (set_sb_rep_data == NULL) {
    fprintf(stderr, "demo_host: sbrep.dll has no SetSBRepData\n");
    FreeLibrary(dll);
    return 2;
  }
  /* At least 32 bytes, as the DLL asks. */
  memset(message, 0, sizeof message);
  result = set_sb_rep_data(argv[2], (int32_t)atoi(argv[1]), message);
  printf("result: %ld\n", (long)result);
  if (result != 0) printf("message: %s\n", message);
  FreeLibrary(dll);
  return result == 0 ? 0 : 1;
}
