/* A host's view of the product: load sbrep.dll by name, find SetSBRepData by
 * its plain name, call it through a stdcall pointer, and check that the call
 * leaves the stack as it found it. Prints "N passed, N failed". */
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "c_check.h"

typedef int32_t(__stdcall* SetSBRepDataFn)(const char*, int32_t, char*);

#if defined(__i386__)
/* The arguments stand in globals, so the pushes below address them
 * absolutely and not relative to the stack pointer they move. */
static const char* g_path;
static int32_t g_kind;
static char* g_buffer;
#endif

/* Calls fn and reports how far the stack pointer moved across the call: a
 * stdcall callee pops its own 12 bytes, so the answer must be 0. */
static int32_t Call(SetSBRepDataFn fn, const char* path, int32_t kind, char* buffer, long* moved) {
#if defined(__i386__)
  int32_t result;
  long before;
  long after;
  g_path = path;
  g_kind = kind;
  g_buffer = buffer;
  __asm__ volatile(
      "movl %%esp, %1\n\t"
      "pushl %6\n\t"
      "pushl %5\n\t"
      "pushl %4\n\t"
      "call *%3\n\t"
      "movl %%esp, %2\n\t"
      "movl %1, %%esp\n\t"
      : "=a"(result), "=&S"(before), "=&D"(after)
      : "b"(fn), "m"(g_path), "m"(g_kind), "m"(g_buffer)
      : "ecx", "edx", "memory", "cc");
  *moved = after - before;
  return result;
#else
  *moved = 0;
  return fn(path, kind, buffer);
#endif
}

static int AllCC(const char* buffer, size_t from, size_t to) {
  size_t i;
  for (i = from; i < to; ++i) {
    if ((unsigned char)buffer[i] != 0xCC) return 0;
  }
  return 1;
}

int main(void) {
  static const wchar_t kKey[] =
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\dexlan.exe";
  /* 没有安装申报软件! */
  static const char kNotInstalled[] =
      "\xc3\xbb\xd3\xd0\xb0\xb2\xd7\xb0\xc9\xea\xb1\xa8\xc8\xed\xbc\xfe\x21";
  static const int32_t kNoWriter[] = {0, 4, -1};
  char buffer[64];
  long moved = 0;
  size_t i;
  HMODULE dll = LoadLibraryW(L"sbrep.dll");
  SetSBRepDataFn fn;

  Check(dll != NULL, "LoadLibraryW(sbrep.dll)");
  if (dll == NULL) return 1;
  fn = (SetSBRepDataFn)(void*)GetProcAddress(dll, "SetSBRepData");
  Check(fn != NULL, "GetProcAddress(SetSBRepData)");
  if (fn == NULL) return 1;
  Check(GetProcAddress(dll, "_SetSBRepData@12") == NULL, "no decorated name");

  for (i = 0; i < sizeof kNoWriter / sizeof kNoWriter[0]; ++i) {
    memset(buffer, 0xCC, sizeof buffer);
    Check(Call(fn, "C:\\nothing.xml", kNoWriter[i], buffer, &moved) == 0, "kind outside 1..3");
    Check(moved == 0, "stack unchanged across the call");
    Check(AllCC(buffer, 0, sizeof buffer), "buffer untouched");
  }

  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_32KEY, 0);
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_64KEY, 0);
  memset(buffer, 0xCC, sizeof buffer);
  Check(Call(fn, "C:\\nothing.xml", 1, buffer, &moved) == -1, "no install gives -1");
  Check(moved == 0, "stack unchanged across a failing call");
  Check(memcmp(buffer, kNotInstalled, sizeof kNotInstalled) == 0, "message bytes and NUL");
  Check(AllCC(buffer, sizeof kNotInstalled, sizeof buffer), "bytes after the NUL untouched");

  FreeLibrary(dll);
  return Report();
}
