/* The checks of the C host programs: each failure is printed as it happens,
 * and Report prints "N passed, N failed" and gives the exit status. */
#ifndef SBREP_TESTS_C_CHECK_H
#define SBREP_TESTS_C_CHECK_H

#include <stdio.h>

static int passed;
static int failed;

static void Check(int ok, const char* what) {
  if (ok) {
    ++passed;
  } else {
    ++failed;
    printf("FAILED: %s\n", what);
  }
}

static int Report(void) {
  printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}

#endif
