#pragma once

#include <cstdint>
#include <string_view>

namespace pagefields {

// The instructions the count may use: the widest this processor has, or only the portable
// ones (so that tests can compare the two).
enum class BlockInstructions { kWidest, kPortable };

// Bytes left of `document` once its CR LF pairs are removed, each "<p>" and "<br>" (any case,
// exactly so) becomes CR LF, and every tag span is stripped.
std::int32_t MeasureTextSize(std::string_view document,
                             BlockInstructions instructions = BlockInstructions::kWidest);

}  // namespace pagefields
