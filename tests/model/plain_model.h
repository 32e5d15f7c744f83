#pragma once

// A deliberately plain transcription of the value request and its eighteen fields: naive
// searches, the literal loops, the literal replace/delete steps. It is slow on purpose and
// shares nothing with the library but the field table; it serves as the oracle that the
// differential fuzz target and the benchmark compare the library against.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace pagefields::model {

// The attributes of a path, as the file system answers them: kQueryFailed, or a bit set
// with kDirectoryBit for a folder.
inline constexpr std::uint32_t kQueryFailed = 0xFFFFFFFFu;
inline constexpr std::uint32_t kDirectoryBit = 0x10u;
using AttributeQuery = std::function<std::uint32_t(const std::string& path)>;

// What one value request answers: the result code and the exact bytes stored into
// FieldValue from its first byte on (4 for a number, text and NUL for a string, none for a
// refusal or for a string row with MaxLen below 1).
struct ModelAnswer {
  int result = 0;
  std::string written;
  std::string text;  // a string row's value before its entities are decoded
};

// What a buffer of max_len bytes receives from a host that reads strings as UTF-8, for the
// string value `text` (before its entities are decoded): the value up to its first NUL; when
// that is strict UTF-8, with the six entities as UTF-8 characters, else with the entities
// decoded to single bytes and all of it decoded from Windows-1251; then as many whole
// characters as fit in max_len - 1 bytes, and a NUL. Nothing when max_len is below 1.
// Whether the value is UTF-8 is judged on its first `judged_bytes` bytes.
std::string ModelUtf8Delivery(const std::string& text, int max_len,
                              std::size_t judged_bytes = std::string::npos);

// One request for field `field_index` of a file whose bytes are `file_bytes`, held in
// memory; `folder` is its DocumentFolder and `query` answers the broken-link probe.
ModelAnswer ModelGetValue(std::string_view file_bytes, std::string_view folder, int field_index,
                          int max_len, const AttributeQuery& query);

// ---- The literal text steps the model is made of, exposed for their own tests. ----

// `source` with every occurrence of `find` (taken left to right, never overlapping)
// exchanged for `replace`. Inserted text is not searched again. No match, an empty
// `find` or an empty `source`: `source` unchanged.
std::string ReplaceStr(const std::string& source, const std::string& find,
                       const std::string& replace);

// As ReplaceStr, with the occurrences found ignoring letter case (Windows-1251 letters
// included). The text around the matches keeps its case; `replace` is inserted byte for byte.
std::string ReplaceText(const std::string& source, const std::string& find,
                        const std::string& replace);

// Deletes `count` bytes of `text` from 1-based `index`. No change when count < 1, text is
// empty, or index is outside 1..length; a range reaching past the end cuts text at index.
void DeleteChars(std::string& text, int index, int count);

// Strips blank bytes (0x00..0x20) from both ends of `text`; inner bytes stay.
void TrimInPlace(std::string& text);

// `text` without trailing blanks, then read as NUL-terminated text: leading bytes 0x01..0x20
// are skipped and the result ends before the first NUL at or after that point.
std::string TrimCopy(const std::string& text);

// Removes from `text` every span from a "<" through the first ">" at or after it, reading
// left to right; a ">" without a "<" stays, and so does everything from a "<" that no ">"
// follows.
void StripTags(std::string& text);

// ---- The raw extractor results, exposed for the model's own tests and the benchmark. ----
std::string ModelElementText(const std::string& document, const std::string& tag_name);
int ModelCountWords(const std::string& text);
std::string ModelMetaContent(const std::string& document, const std::string& meta_name);
struct ModelLinks {
  int web = 0;
  int mail = 0;
  int internal = 0;
  std::string broken;
};
ModelLinks ModelScanLinks(const std::string& folder, const std::string& document, bool probe,
                          const AttributeQuery& query);
int ModelTextSize(const std::string& document);
std::string ModelNoindexText(const std::string& document);

}  // namespace pagefields::model
