#pragma once

#include <array>
#include <string_view>

#include "plugin/content_plugin.h"

namespace pagefields {

inline constexpr int FieldTypeNumeric32 = PAGEFIELDS_FIELD_TYPE_NUMERIC32;
inline constexpr int FieldTypeString = PAGEFIELDS_FIELD_TYPE_STRING;
inline constexpr int NoMoreFields = PAGEFIELDS_NO_MORE_FIELDS;
inline constexpr int ValueDelayed = PAGEFIELDS_VALUE_DELAYED;
inline constexpr int ValueNotSupported = PAGEFIELDS_VALUE_NOT_SUPPORTED;

struct FieldRow {
  std::string_view name;
  std::string_view units;
  int type;
};

inline constexpr int kFieldCount = 18;

// The columns the host shows, in the order it enumerates them. "Brocken_A" is the
// established column name that hosts and users refer to; it stays spelled so.
inline constexpr std::array<FieldRow, kFieldCount> FieldTable = {{
    {"Title", "", FieldTypeString},
    {"Length(Title)", "", FieldTypeNumeric32},
    {"Count(Title)", "", FieldTypeNumeric32},
    {"Description", "", FieldTypeString},
    {"Length(Description)", "", FieldTypeNumeric32},
    {"Count(Description)", "", FieldTypeNumeric32},
    {"Keywords", "", FieldTypeString},
    {"Length(Keywords)", "", FieldTypeNumeric32},
    {"Count(Keywords)", "", FieldTypeNumeric32},
    {"H1", "", FieldTypeString},
    {"H2", "", FieldTypeString},
    {"Count(A)", "", FieldTypeNumeric32},
    {"Count(A_http)", "", FieldTypeNumeric32},
    {"Count(A_mail)", "", FieldTypeNumeric32},
    {"Count(A_int)", "", FieldTypeNumeric32},
    {"Brocken_A", "", FieldTypeString},
    {"TextSize", "", FieldTypeNumeric32},
    {"Noindex", "", FieldTypeString},
}};

constexpr bool IsFieldIndex(int index) {
  return index >= 0 && index < kFieldCount;
}

}  // namespace pagefields
