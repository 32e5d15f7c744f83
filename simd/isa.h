#pragma once

#include <string_view>

namespace pagefields::simd {

// The instruction sets the scans have kernels for, narrowest first. Every build has the
// scalar kernel; x86 builds with GCC or Clang also have SSE2 and AVX2 (with POPCNT and BMI),
// which run only where the processor has them.
enum class Isa { kScalar, kSse2, kAvx2 };

inline constexpr Isa kAllIsas[] = {Isa::kScalar, Isa::kSse2, Isa::kAvx2};

std::string_view IsaName(Isa isa);

// Whether this build has the kernel and this processor runs it.
bool Runs(Isa isa);

// The kernel the scans use on this thread: the one a ScopedIsa on this thread names, else the
// process's choice. That is made once, at the first question, and is the widest kernel that
// runs here, or a narrower one named by the environment variable PAGEFIELDS_SIMD ("scalar",
// "sse2", "avx2"), so that a whole test or benchmark run can be held to one kernel.
Isa ActiveIsa();

// Holds the scans of the calling thread to one kernel while it lives, so that tests can
// compare every kernel with the scalar one. The kernel must run here (see Runs).
class ScopedIsa {
 public:
  explicit ScopedIsa(Isa isa);
  ~ScopedIsa();
  ScopedIsa(const ScopedIsa&) = delete;
  ScopedIsa& operator=(const ScopedIsa&) = delete;

 private:
  int previous_;
};

}  // namespace pagefields::simd
