#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "extract/file_probe.h"
#include "extract/links.h"
#include "plugin/field_table.h"

namespace pagefields {
struct TextDelivery;
}

namespace pagefields {

// A field's value before delivery: the number of a numeric row, or the raw text of a string
// row (entities not yet decoded; lengths and word counts are always taken on this text).
struct RawFieldValue {
  std::int32_t number = 0;
  std::string text;
  bool utf8 = false;  // the whole raw text, up to its first NUL, is strict UTF-8
};

// How much of a Noindex text is judged UTF-8 or not. Nested blocks repeat their text once
// per opening marker, so the whole text can grow with the square of the page; it is not
// built. A longer text is judged on its start: a start that is UTF-8 is delivered as UTF-8,
// and shows as such, whatever follows. Every other string value is judged whole.
inline constexpr std::size_t kNoindexJudgedBytes = std::size_t{1} << 16;

using FieldValues = PerField<RawFieldValue>;

// Computes the `wanted` rows of one loaded document; the other rows stay 0 and empty.
// Rows that derive from the same extractor result (a title, its length and its word count)
// share one run of that extractor; the link counts and the broken link share one walk over
// the anchors. `folder` is the DocumentFolder the link probe joins to; `exists` answers the
// probe's questions.
FieldValues ComputeFields(std::string_view document, std::string_view folder, FieldSet wanted,
                          const TargetCheck& exists = FileExistsNotDir);

// As ComputeFields, for a host buffer of `max_len` bytes that receives text as `delivery`
// makes it: a string row may hold only the raw bytes (RawBytesForBuffer) that its shown
// bytes come from. When the broken link is wanted and `every_missing` is given, the walk that
// finds it hands every missing target of the page to `every_missing` (see ProbeOptions).
FieldValues ComputeFieldsForBuffer(std::string_view document, std::string_view folder,
                                   FieldSet wanted, int max_len, const TextDelivery& delivery,
                                   const TargetCheck& exists = FileExistsNotDir,
                                   const MissingLinkSink& every_missing = nullptr);

}  // namespace pagefields
