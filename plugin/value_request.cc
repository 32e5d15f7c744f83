#include "plugin/value_request.h"

#include <bit>
#include <cstring>
#include <string>

#include "plugin/copy_to_buffer.h"
#include "plugin/document.h"
#include "plugin/field_table.h"
#include "plugin/field_values.h"

namespace pagefields {
namespace {

// Writes `field`'s value into the host buffer and returns the field's type code. Any failure
// happens before the buffer is touched.
int WriteValue(Field field, const RawFieldValue& value, void* destination, int max_len,
               const TextDelivery& delivery) {
  const int type = RowOf(field).type;
  if (type == FieldTypeNumeric32) {
    static_assert(std::endian::native == std::endian::little, "hosts expect little-endian");
    std::memcpy(destination, &value.number, sizeof value.number);
    return type;
  }
  const std::string text = DeliveredText(value, max_len, delivery);
  CopyToBuffer(static_cast<char*>(destination), text.c_str(), max_len);
  return type;
}

}  // namespace

std::optional<DocumentText> LoadPageFile(const char* path) {
  return LoadDocument(path);
}

int AnswerValueRequest(const ValueRequest& request, const TextDelivery& delivery,
                       const PageLoader& load) {
  if ((request.flags & 1) != 0) return ValueDelayed;
  if (request.path == nullptr) return ValueNotSupported;
  try {
    const std::optional<DocumentText> document = load(request.path);
    if (!document) return ValueNotSupported;
    // An index outside the table has no type to deliver by.
    const std::optional<Field> field = FieldAt(request.field_index);
    if (!field || request.destination == nullptr) return ValueNotSupported;
    const FieldValues values = ComputeFieldsForBuffer(*document, FolderOfPath(request.path),
                                                      {*field}, request.max_len, delivery);
    return WriteValue(*field, values[*field], request.destination, request.max_len, delivery);
  } catch (...) {
    return ValueNotSupported;
  }
}

}  // namespace pagefields
