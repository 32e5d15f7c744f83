#pragma once

#include <functional>
#include <optional>

#include "plugin/delivery.h"
#include "plugin/document_text.h"

namespace pagefields {

// One value request as a host makes it: the file, the field by the host's index, the buffer
// of `max_len` bytes that receives the value, and the request flags.
struct ValueRequest {
  const char* path = nullptr;
  int field_index = 0;
  void* destination = nullptr;
  int max_len = 0;
  int flags = 0;
};

// The page a request's path names, or nullopt when there is none to answer from.
using PageLoader = std::function<std::optional<DocumentText>(const char* path)>;

// Reads the file at `path` as the plugin does (LoadDocument).
std::optional<DocumentText> LoadPageFile(const char* path);

// Answers `request` with the page `load` gives for its path: the field's type code, with
// exactly 4 little-endian bytes in the buffer for a numeric field and DeliveredText and a
// NUL for a string field; ValueDelayed when bit 0 of the flags asks for a delayed answer;
// ValueNotSupported for a null path, no page, an index outside the table or a null buffer.
// The buffer is untouched unless the type code is returned. The broken-link probe looks
// beside the path. Never throws.
int AnswerValueRequest(const ValueRequest& request, const TextDelivery& delivery,
                       const PageLoader& load = LoadPageFile);

}  // namespace pagefields
