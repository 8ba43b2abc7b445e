// GoogleTest's main. Standard output is binary on Windows, so that the list
// of cases reads line for line as on POSIX when ctest discovers them.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
