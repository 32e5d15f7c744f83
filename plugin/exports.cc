// The library's four exported functions. No exception may leave them: every failure is
// answered with a result code the host understands.
#include "plugin/content_plugin.h"
#include "plugin/copy_to_buffer.h"
#include "plugin/delivery.h"
#include "plugin/document.h"
#include "plugin/field_table.h"
#include "plugin/field_values.h"

using namespace pagefields;

extern "C" {

PAGEFIELDS_EXPORT int PAGEFIELDS_CALL ContentGetSupportedField(int FieldIndex, char* FieldName,
                                                               char* Units, int MaxLen) {
  if (!IsFieldIndex(FieldIndex)) return NoMoreFields;
  const FieldRow& row = FieldTable[FieldIndex];
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
  if ((Flags & 1) != 0) return ValueDelayed;
  if (FileName == nullptr) return ValueNotSupported;
  try {
    const auto document = LoadDocument(FileName);
    if (!document) return ValueNotSupported;
    // An index outside the table has no type to deliver by.
    if (!IsFieldIndex(FieldIndex) || FieldValue == nullptr) return ValueNotSupported;
    FieldSet wanted;
    wanted.set(static_cast<std::size_t>(FieldIndex));
    const FieldValues values =
        ComputeFieldsForBuffer(*document, FolderOfPath(FileName), wanted, MaxLen, kHostDelivery);
    return DeliverField(FieldIndex, values[FieldIndex], FieldValue, MaxLen, kHostDelivery);
  } catch (...) {
    return ValueNotSupported;
  }
}

PAGEFIELDS_EXPORT void PAGEFIELDS_CALL ContentPluginUnloading(void) {}

}  // extern "C"
