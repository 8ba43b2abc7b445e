// How a backend makes an entry of the table that cannot throw: the function
// runs inside a guard that turns what escapes it into an Outcome.
#pragma once

#include <new>

#include "platform/filesystem.h"

namespace sbrep::fs {

template <auto kFunction, typename = decltype(kFunction)>
struct Guarded;

template <auto kFunction, typename... Args>
struct Guarded<kFunction, Outcome (*)(Args...)> {
  static Outcome Call(Args... args) noexcept {
    try {
      return kFunction(args...);
    } catch (const std::bad_alloc&) {
      return {Status::kOutOfMemory, 0};
    } catch (...) {  // the contract is that nothing leaves an entry
      return {Status::kInternal, 0};
    }
  }
};

// The entry for a function that may throw (it converts paths, or fills a
// string): `ops.stat = NoThrow<&Stat>;`.
template <auto kFunction>
constexpr auto NoThrow = &Guarded<kFunction>::Call;

}  // namespace sbrep::fs
