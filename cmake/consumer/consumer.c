/* Calls the DLL through the import library the package picked: a kind that
 * does nothing, then a transfer of an export that is not there. */
#include <stdio.h>
#include <string.h>

#include "sbrep.h"

int main(void) {
  char message[SBREP_MESSAGE_CAPACITY];
  int32_t none;
  int32_t missing;
  memset(message, 0, sizeof message);
  none = SetSBRepData("export.xml", 0, message);
  missing = SetSBRepData("C:\\no such folder\\export.xml", SBREP_BALANCE_SHEET, message);
  printf("sbrep %s, %d-bit: kind 0 %d, missing export %d\n", SBREP_VERSION_STRING,
         (int)(sizeof(void*) * 8), (int)none, (int)missing);
  return none == 0 && missing == -1 && message[0] != '\0' ? 0 : 1;
}
