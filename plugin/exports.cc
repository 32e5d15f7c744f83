// The library's four exported functions. No exception may leave them: every failure is
// answered with a result code the host understands.
#include "plugin/content_plugin.h"
#include "plugin/copy_to_buffer.h"
#include "plugin/delivery.h"
#include "plugin/field_table.h"
#include "plugin/value_request.h"

using namespace pagefields;

extern "C" {

PAGEFIELDS_EXPORT int PAGEFIELDS_CALL ContentGetSupportedField(int FieldIndex, char* FieldName,
                                                               char* Units, int MaxLen) {
  const std::optional<Field> field = FieldAt(FieldIndex);
  if (!field) return NoMoreFields;
  const FieldRow& row = RowOf(*field);
  // The table's names and units are literals, so their data is NUL-terminated.
  CopyToBuffer(FieldName, row.name.data(), MaxLen);
  CopyToBuffer(Units, row.units.data(), MaxLen);
  return row.type;
}

PAGEFIELDS_EXPORT void PAGEFIELDS_CALL ContentGetDetectString(char* /*DetectString*/,
                                                              int /*MaxLen*/) {}

PAGEFIELDS_EXPORT int PAGEFIELDS_CALL ContentGetValue(const char* FileName, int FieldIndex,
                                                      int /*UnitIndex*/, void* FieldValue,
                                                      int MaxLen, int Flags) {
  return AnswerValueRequest({.path = FileName,
                             .field_index = FieldIndex,
                             .destination = FieldValue,
                             .max_len = MaxLen,
                             .flags = Flags},
                            kHostDelivery);
}

PAGEFIELDS_EXPORT void PAGEFIELDS_CALL ContentPluginUnloading(void) {}

}  // extern "C"
