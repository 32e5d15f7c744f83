#pragma once

#include <vector>

#include "simd/isa.h"

namespace pagefields {

// The kernels this processor runs, scalar first: a test runs its scan under a ScopedIsa of
// each and compares the answers with the scalar one's.
inline std::vector<simd::Isa> RunnableIsas() {
  std::vector<simd::Isa> isas;
  for (const simd::Isa isa : simd::kAllIsas) {
    if (simd::Runs(isa)) isas.push_back(isa);
  }
  return isas;
}

}  // namespace pagefields
