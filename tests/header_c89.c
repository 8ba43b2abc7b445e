/* sbrep.h as a C89 host includes it, built with -pedantic-errors: compiled,
 * never run. */
#include "include/sbrep.h"

int SbrepHeaderC89(void);

int SbrepHeaderC89(void) {
  SetSBRepDataFn call = SetSBRepData;
  char message[SBREP_MESSAGE_CAPACITY];
  return call("export.xml", SBREP_BALANCE_SHEET, message) + SBREP_VERSION_MAJOR;
}
