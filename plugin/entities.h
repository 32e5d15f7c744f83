#pragma once

#include <string>
#include <string_view>

namespace pagefields {

// Decodes the six entities a string value may carry, exact bytes only: &laquo; &raquo;
// &quot; &nbsp; &ndash; &mdash; become the Windows-1251/1252 bytes AB BB 22 20 96 97.
// Every other entity, and these in capitals, pass through unchanged.
std::string DecodeEntities(std::string_view text);

}  // namespace pagefields
