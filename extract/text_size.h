#pragma once

#include <cstdint>
#include <string_view>

namespace pagefields {

// Bytes left of `document` once its CR LF pairs are removed, each "<p>" and "<br>" (any case,
// exactly so) becomes CR LF, and every tag span is stripped.
std::int32_t MeasureTextSize(std::string_view document);

}  // namespace pagefields
