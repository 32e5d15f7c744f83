#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>

#include "extract/file_probe.h"
#include "plugin/field_table.h"

namespace pagefields {

// A field's value before delivery: the number of a numeric row, or the raw text of a string
// row (entities not yet decoded; lengths and word counts are always taken on this text).
struct RawFieldValue {
  std::int32_t number = 0;
  std::string text;
};

using FieldSet = std::bitset<kFieldCount>;
using FieldValues = std::array<RawFieldValue, kFieldCount>;

// Computes the `wanted` rows of one loaded document; the other rows stay 0 and empty.
// Rows that derive from the same extractor result (a title, its length and its word count)
// share one run of that extractor; the link counts and the broken link share one walk over
// the anchors. `folder` is the DocumentFolder the link probe joins to; `exists` answers the
// probe's questions.
FieldValues ComputeFields(std::string_view document, std::string_view folder, FieldSet wanted,
                          const TargetCheck& exists = FileExistsNotDir);

// As ComputeFields, for a host buffer of `max_len` bytes: a string row may hold only the raw
// bytes that its first max_len - 1 delivered bytes come from.
FieldValues ComputeFieldsForBuffer(std::string_view document, std::string_view folder,
                                   FieldSet wanted, int max_len,
                                   const TargetCheck& exists = FileExistsNotDir);

// The bytes a host buffer of `max_len` bytes receives for a string value: the decoded text
// up to its first NUL, cut to max_len - 1 bytes. A max_len of 0 or less means no cut.
std::string DeliveredText(std::string_view raw, int max_len);

// Writes row `index`'s value into the host buffer and returns the row's type code: exactly
// 4 little-endian bytes for a numeric row, the delivered text and a NUL for a string row.
// Any failure happens before the buffer is touched.
int DeliverField(int index, const RawFieldValue& value, void* destination, int max_len);

}  // namespace pagefields
