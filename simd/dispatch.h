#pragma once

// Runs a scan on the active kernel (see isa.h). A scan is a generic callable taking the
// kernel as its one argument:
//
//   return simd::Dispatch([&](auto kernel) {
//     using K = decltype(kernel);
//     return CountWordsWith<K>(text);
//   });
//
// Each kernel's run is compiled for that kernel's instructions and flattened: the whole scan,
// the helpers it calls included, is inlined into it, so no code compiled for wider
// instructions is shared with the baseline.

#include "simd/isa.h"
#include "simd/kernels.h"

namespace pagefields::simd {
namespace detail {

#if defined(PAGEFIELDS_SIMD_X86)
template <typename Scan>
[[gnu::target("avx2,popcnt,bmi"), gnu::flatten]] auto RunAvx2(const Scan& scan) {
  return scan(Avx2Kernel{});
}

template <typename Scan>
[[gnu::target("sse2"), gnu::flatten]] auto RunSse2(const Scan& scan) {
  return scan(Sse2Kernel{});
}
#endif

template <typename Scan>
[[gnu::flatten]] auto RunScalar(const Scan& scan) {
  return scan(ScalarKernel{});
}

}  // namespace detail

// The scan on the kernel `isa` (which must run here; see Runs).
template <typename Scan>
auto DispatchOn(Isa isa, const Scan& scan) {
#if defined(PAGEFIELDS_SIMD_X86)
  if (isa == Isa::kAvx2) return detail::RunAvx2(scan);
  if (isa == Isa::kSse2) return detail::RunSse2(scan);
#endif
  static_cast<void>(isa);
  return detail::RunScalar(scan);
}

// The scan on the active kernel.
template <typename Scan>
auto Dispatch(const Scan& scan) {
  return DispatchOn(ActiveIsa(), scan);
}

}  // namespace pagefields::simd
