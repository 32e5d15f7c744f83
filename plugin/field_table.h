#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>

#include "plugin/content_plugin.h"

namespace pagefields {

inline constexpr int FieldTypeNumeric32 = PAGEFIELDS_FIELD_TYPE_NUMERIC32;
inline constexpr int FieldTypeString = PAGEFIELDS_FIELD_TYPE_STRING;
inline constexpr int NoMoreFields = PAGEFIELDS_NO_MORE_FIELDS;
inline constexpr int ValueDelayed = PAGEFIELDS_VALUE_DELAYED;
inline constexpr int ValueNotSupported = PAGEFIELDS_VALUE_NOT_SUPPORTED;

// The columns the host shows, in the order it enumerates them: a host names a field by its
// place in this order. kNoindex stays last; kFieldCount counts from it.
enum class Field : int {
  kTitle,
  kTitleLength,
  kTitleWords,
  kDescription,
  kDescriptionLength,
  kDescriptionWords,
  kKeywords,
  kKeywordsLength,
  kKeywordsWords,
  kH1,
  kH2,
  kLinks,
  kWebLinks,
  kMailLinks,
  kInternalLinks,
  kBrokenLink,
  kTextSize,
  kNoindex,
};

inline constexpr int kFieldCount = static_cast<int>(Field::kNoindex) + 1;

// The field's place in FieldTable, and the index a host knows it by.
constexpr std::size_t RowIndex(Field field) {
  return static_cast<std::size_t>(field);
}

struct FieldRow {
  Field field;
  std::string_view name;
  std::string_view units;
  int type;
};

// "Brocken_A" is the established column name that hosts and users refer to; it stays
// spelled so.
inline constexpr std::array<FieldRow, kFieldCount> FieldTable = {{
    {Field::kTitle, "Title", "", FieldTypeString},
    {Field::kTitleLength, "Length(Title)", "", FieldTypeNumeric32},
    {Field::kTitleWords, "Count(Title)", "", FieldTypeNumeric32},
    {Field::kDescription, "Description", "", FieldTypeString},
    {Field::kDescriptionLength, "Length(Description)", "", FieldTypeNumeric32},
    {Field::kDescriptionWords, "Count(Description)", "", FieldTypeNumeric32},
    {Field::kKeywords, "Keywords", "", FieldTypeString},
    {Field::kKeywordsLength, "Length(Keywords)", "", FieldTypeNumeric32},
    {Field::kKeywordsWords, "Count(Keywords)", "", FieldTypeNumeric32},
    {Field::kH1, "H1", "", FieldTypeString},
    {Field::kH2, "H2", "", FieldTypeString},
    {Field::kLinks, "Count(A)", "", FieldTypeNumeric32},
    {Field::kWebLinks, "Count(A_http)", "", FieldTypeNumeric32},
    {Field::kMailLinks, "Count(A_mail)", "", FieldTypeNumeric32},
    {Field::kInternalLinks, "Count(A_int)", "", FieldTypeNumeric32},
    {Field::kBrokenLink, "Brocken_A", "", FieldTypeString},
    {Field::kTextSize, "TextSize", "", FieldTypeNumeric32},
    {Field::kNoindex, "Noindex", "", FieldTypeString},
}};

// Each row holds the field of its own place, named: a row missing, added or moved against
// the enum stops the build.
constexpr bool RowsFollowTheFields() {
  for (std::size_t row = 0; row < FieldTable.size(); ++row) {
    if (RowIndex(FieldTable[row].field) != row || FieldTable[row].name.empty()) return false;
  }
  return true;
}
static_assert(RowsFollowTheFields());

constexpr const FieldRow& RowOf(Field field) {
  return FieldTable[RowIndex(field)];
}

// The field a host's `index` names; nullopt outside the table. Host indexes become fields
// here and nowhere else.
constexpr std::optional<Field> FieldAt(int index) {
  if (index < 0 || index >= kFieldCount) return std::nullopt;
  return static_cast<Field>(index);
}

// Every field, in table order.
inline constexpr std::array<Field, kFieldCount> kAllFields = [] {
  std::array<Field, kFieldCount> fields{};
  for (int index = 0; index < kFieldCount; ++index) fields[index] = static_cast<Field>(index);
  return fields;
}();

// A set of fields.
class FieldSet {
 public:
  constexpr FieldSet() = default;
  constexpr FieldSet(std::initializer_list<Field> fields) {
    for (const Field field : fields) Add(field);
  }
  static constexpr FieldSet All() {
    FieldSet all;
    all.bits_ = (std::uint32_t{1} << kFieldCount) - 1;
    return all;
  }

  constexpr FieldSet& Add(Field field) {
    bits_ |= Bit(field);
    return *this;
  }
  constexpr FieldSet& AddAll(FieldSet fields) {
    bits_ |= fields.bits_;
    return *this;
  }
  constexpr bool Has(Field field) const { return (bits_ & Bit(field)) != 0; }
  constexpr bool HasAny(FieldSet fields) const { return (bits_ & fields.bits_) != 0; }

 private:
  static_assert(kFieldCount < 32, "one bit per field");
  static constexpr std::uint32_t Bit(Field field) { return std::uint32_t{1} << RowIndex(field); }
  std::uint32_t bits_ = 0;
};

// One value of every field, looked up by the field.
template <typename Value>
class PerField {
 public:
  Value& operator[](Field field) { return values_[RowIndex(field)]; }
  const Value& operator[](Field field) const { return values_[RowIndex(field)]; }

 private:
  std::array<Value, kFieldCount> values_{};
};

}  // namespace pagefields
