#pragma once

namespace pagefields {

// Copies the NUL-terminated `source` into the host buffer `destination` of `max_len` bytes:
// at most max_len - 1 bytes and a NUL, cut at the byte limit. Writes nothing when max_len
// is below 1 or either pointer is null.
void CopyToBuffer(char* destination, const char* source, int max_len);

}  // namespace pagefields
