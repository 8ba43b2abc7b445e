/* The C host of examples/hosts/sbrep.c, whatever the system's code page: the
 * message reaches the caller as the same UTF-16 text, and a path that the
 * ANSI code page cannot hold is refused before the call. Prints the code page
 * and "N passed, N failed". */
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <wchar.h>

#include "c_check.h"
#include "sbrep.h"

int SbrepTransfer(const wchar_t* path, int32_t kind, wchar_t* message, int capacity);

int main(void) {
  static const wchar_t kKey[] =
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\dexlan.exe";
  /* 没有安装申报软件! */
  static const wchar_t kNotInstalled[] = L"\x6CA1\x6709\x5B89\x88C5\x7533\x62A5\x8F6F\x4EF6!";
  /* C:\导出\zcfzb.xml */
  static const wchar_t kChinesePath[] = L"C:\\\x5BFC\x51FA\\zcfzb.xml";
  const UINT code_page = GetACP();
  wchar_t message[64];
  int result;

  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_32KEY, 0);
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_64KEY, 0);
  Check(SbrepTransfer(L"C:\\nothing.xml", 0, message, 64) == 0, "a kind outside 1..3 gives 0");
  message[0] = L'\0';
  Check(SbrepTransfer(L"C:\\nothing.xml", SBREP_BALANCE_SHEET, message, 64) == -1,
        "no install gives -1");
  Check(wcscmp(message, kNotInstalled) == 0, "the message decodes from GBK");
  message[0] = L'\0';
  result = SbrepTransfer(kChinesePath, SBREP_BALANCE_SHEET, message, 64);
  if (code_page == 936 || code_page == CP_UTF8) {
    Check(result == -1 && wcscmp(message, kNotInstalled) == 0,
          "a Chinese path reaches the DLL where the ANSI code page holds it");
  } else {
    Check(result == -2, "a Chinese path is refused where the ANSI code page lacks it");
  }
  printf("ANSI code page %u\n", code_page);
  return Report();
}
