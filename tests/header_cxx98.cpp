// sbrep.h as a C++98 host includes it, built with -pedantic-errors: compiled,
// never run.
#include "include/sbrep.h"

int SbrepHeaderCxx98();

int SbrepHeaderCxx98() {
  SetSBRepDataFn call = &SetSBRepData;
  char message[SBREP_MESSAGE_CAPACITY];
  return call("export.xml", SBREP_VAT_SCHEDULE_ONE, message) + SBREP_VERSION_MINOR;
}
