#include "simd/isa.h"

#include <cstdlib>

#include "simd/kernels.h"

namespace pagefields::simd {
namespace {

constexpr int kNoOverride = -1;

// The kernel a ScopedIsa holds this thread to, or kNoOverride.
thread_local int thread_override = kNoOverride;

Isa Widest() {
#if defined(PAGEFIELDS_SIMD_X86)
  // Sets up the processor facts unless a constructor did already (it may not have in a DLL).
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") &&
      __builtin_cpu_supports("bmi")) {
    return Isa::kAvx2;
  }
  if (__builtin_cpu_supports("sse2")) return Isa::kSse2;
#endif
  return Isa::kScalar;
}

// The widest kernel that runs, unless the environment names a narrower one.
Isa Choose() {
  const Isa widest = Widest();
  const char* named = std::getenv("PAGEFIELDS_SIMD");
  if (named == nullptr) return widest;
  for (const Isa isa : kAllIsas) {
    if (IsaName(isa) == named && isa <= widest) return isa;
  }
  return widest;
}

}  // namespace

std::string_view IsaName(Isa isa) {
  switch (isa) {
    case Isa::kScalar:
      return "scalar";
    case Isa::kSse2:
      return "sse2";
    case Isa::kAvx2:
      return "avx2";
  }
  return "scalar";
}

bool Runs(Isa isa) {
  static const Isa widest = Widest();
  return isa <= widest;
}

Isa ActiveIsa() {
  if (thread_override != kNoOverride) return static_cast<Isa>(thread_override);
  static const Isa chosen = Choose();
  return chosen;
}

ScopedIsa::ScopedIsa(Isa isa) : previous_(thread_override) {
  thread_override = static_cast<int>(isa);
}

ScopedIsa::~ScopedIsa() {
  thread_override = previous_;
}

}  // namespace pagefields::simd
