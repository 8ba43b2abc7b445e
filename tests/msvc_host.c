/* A host built the MSVC way, by clang and lld-link: it links sbrep.lib (with
 * /SAFESEH on x86) and no C run-time, and calls SetSBRepData through the
 * import and through a pointer of sbrep.h's type from GetProcAddress. Prints
 * "N passed, N failed". */
#include "sbrep.h"

/* kernel32, declared here: there is no Windows SDK to include. */
typedef void* Handle;
__declspec(dllimport) void __stdcall ExitProcess(unsigned code);
__declspec(dllimport) Handle __stdcall GetStdHandle(unsigned long which);
__declspec(dllimport) int __stdcall WriteFile(Handle file, const void* data, unsigned long size,
                                              unsigned long* written, void* overlapped);
__declspec(dllimport) Handle __stdcall GetModuleHandleA(const char* name);
__declspec(dllimport) void* __stdcall GetProcAddress(Handle module, const char* name);

static int passed;
static int failed;

static void Write(const char* text) {
  unsigned long size = 0;
  unsigned long written;
  while (text[size] != '\0') ++size;
  WriteFile(GetStdHandle((unsigned long)-11), text, size, &written, 0);
}

static void WriteNumber(int n) {
  char digits[12];
  int at = 11;
  digits[at] = '\0';
  do {
    digits[--at] = (char)('0' + n % 10);
    n /= 10;
  } while (n > 0);
  Write(digits + at);
}

static void Check(int ok, const char* what) {
  if (ok) {
    ++passed;
  } else {
    ++failed;
    Write("FAILED: ");
    Write(what);
    Write("\n");
  }
}

/* Fills the buffer byte by byte: with no C run-time there is no memset. */
static void Fill(volatile char* buffer, int size) {
  int i;
  for (i = 0; i < size; ++i) buffer[i] = (char)0xCC;
}

void __stdcall Start(void) {
  char buffer[64];
  int i;
  int nul = -1;
  SetSBRepDataFn found;

  Fill(buffer, 64);
  Check(SetSBRepData("C:\\nothing.xml", 0, buffer) == 0, "a kind outside 1..3 gives 0");
  for (i = 0; i < 64 && (unsigned char)buffer[i] == 0xCC; ++i) {
  }
  Check(i == 64, "the buffer is untouched");

  /* Not installed, or no such export: either way a failure with a text. */
  Check(SetSBRepData("C:\\nothing.xml", SBREP_BALANCE_SHEET, buffer) == -1, "a failure gives -1");
  for (i = 0; i < SBREP_MESSAGE_CAPACITY && nul < 0; ++i) {
    if (buffer[i] == '\0') nul = i;
  }
  Check(nul > 0, "a message and its NUL within the capacity");

  found = (SetSBRepDataFn)GetProcAddress(GetModuleHandleA("sbrep.dll"), "SetSBRepData");
  Check(found == SetSBRepData, "the import is the export GetProcAddress finds");
  Check(found != 0 && found("C:\\nothing.xml", 0, buffer) == 0, "a call through the pointer");

  WriteNumber(passed);
  Write(" passed, ");
  WriteNumber(failed);
  Write(" failed\n");
  ExitProcess(failed == 0 ? 0 : 1);
}
