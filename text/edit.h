#pragma once

namespace pagefields {

// True for the bytes a trim strips: codes 0 to 32, compared unsigned.
constexpr bool IsBlank(char byte) {
  return static_cast<unsigned char>(byte) <= 0x20;
}

}  // namespace pagefields
