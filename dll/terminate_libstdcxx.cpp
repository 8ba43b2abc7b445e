// The DLL's terminate handler, in place of libstdc++'s verbose one: no error
// leaves SetSBRepData, so the process only ends here through a fault, and
// the verbose handler's demangler and formatted output would be a tenth of
// the DLL, for a message to a console that a host seldom has.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
