#pragma once

// Code compiled for AVX2 is built beside the baseline code on x86 with GCC or Clang, and is
// run only once the processor is known to have it.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define PAGEFIELDS_HAS_AVX2_PATH 1
#endif

namespace pagefields {

#if defined(PAGEFIELDS_HAS_AVX2_PATH)
// Whether this processor runs AVX2 and POPCNT instructions.
inline bool HasAvx2AndPopcnt() {
  // Sets up the processor facts unless a constructor did already (it may not have in a DLL).
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
}
#endif

}  // namespace pagefields
