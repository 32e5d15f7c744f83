#include "plugin/field_values.h"

#include <bit>
#include <cstring>
#include <utility>

#include "extract/element_text.h"
#include "extract/links.h"
#include "extract/meta_content.h"
#include "extract/noindex.h"
#include "extract/text_size.h"
#include "extract/word_count.h"
#include "plugin/copy_to_buffer.h"
#include "plugin/entities.h"

namespace pagefields {
namespace {

enum Row : int {
  kTitle = 0,
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

// Fills a text row, its length row and its word-count row from one extractor result; the
// text row keeps only the bytes its delivery can show.
void FillTextTriple(FieldValues& values, FieldSet wanted, int text_row, std::string_view text,
                    std::size_t shown_bytes) {
  if (wanted[text_row + 1]) values[text_row + 1].number = static_cast<std::int32_t>(text.size());
  if (wanted[text_row + 2]) values[text_row + 2].number = CountWords(text);
  if (wanted[text_row]) values[text_row].text = text.substr(0, shown_bytes);
}

// The same for a meta row, whose value is the normalised form of its raw bytes. Blanks, CR
// and LF all separate words, so the raw bytes hold the value's words.
void FillMetaTriple(FieldValues& values, FieldSet wanted, int text_row, std::string_view raw,
                    std::size_t shown_bytes) {
  if (wanted[text_row + 1]) {
    values[text_row + 1].number = static_cast<std::int32_t>(NormalisedLength(raw));
  }
  if (wanted[text_row + 2]) values[text_row + 2].number = CountWords(raw);
  if (wanted[text_row]) values[text_row].text = NormaliseBlanks(raw, shown_bytes);
}

bool WantsAny(FieldSet wanted, int first_row, int row_count) {
  for (int row = first_row; row < first_row + row_count; ++row) {
    if (wanted[row]) return true;
  }
  return false;
}

// The raw bytes whose decoding gives all that a host buffer of `max_len` bytes shows.
std::size_t RawBytesShown(int max_len) {
  if (max_len < 1) return 0;
  return RawBytesForDecoded(static_cast<std::size_t>(max_len) - 1);
}

// The Noindex text's first `shown_bytes` raw bytes, or fewer that settle the first
// `shown_decoded` decoded bytes. Pages hold few entities, so a cut at one and a half times
// the decoded count mostly settles them (it does while fewer than one raw byte in eighteen
// starts an entity) at a small part of the cost of a cut for a text of entities only; that
// cut is taken when it does not.
std::string NoindexShown(std::string_view document, std::size_t shown_bytes,
                         std::size_t shown_decoded) {
  const std::size_t first_cut = shown_decoded + shown_decoded / 2 + 6;
  if (shown_bytes == kWholeText || first_cut >= shown_bytes) {
    return ExtractNoindexText(document, shown_bytes);
  }
  std::string text = ExtractNoindexText(document, first_cut);
  // Shorter than the cut: the whole text.
  if (text.size() < first_cut || SettledDecodedBytes(text) >= shown_decoded) return text;
  return ExtractNoindexText(document, shown_bytes);
}

// `shown_decoded`: the delivered bytes that `shown_bytes` raw bytes give at least.
FieldValues ComputeFieldsUpTo(std::string_view document, std::string_view folder, FieldSet wanted,
                              const TargetCheck& exists, std::size_t shown_bytes,
                              std::size_t shown_decoded) {
  FieldValues values{};
  if (WantsAny(wanted, kTitle, 3)) {
    FillTextTriple(values, wanted, kTitle, ElementTextView(document, "Title"), shown_bytes);
  }
  if (WantsAny(wanted, kDescription, 3)) {
    FillMetaTriple(values, wanted, kDescription, MetaContentView(document, "Description"),
                   shown_bytes);
  }
  if (WantsAny(wanted, kKeywords, 3)) {
    FillMetaTriple(values, wanted, kKeywords, MetaContentView(document, "Keywords"), shown_bytes);
  }
  if (wanted[kH1]) values[kH1].text = ElementTextView(document, "H1").substr(0, shown_bytes);
  if (wanted[kH2]) values[kH2].text = ElementTextView(document, "H2").substr(0, shown_bytes);
  if (WantsAny(wanted, kLinks, 4) || wanted[kBrokenLink]) {
    // Counting mode, or probe mode that also counts every link when the counts are wanted.
    LinkCounts counts;
    if (wanted[kBrokenLink]) counts.InternalCount = kProbeBrokenLinks;
    std::string broken_link;
    ScanLinks(folder, document, counts, broken_link, {exists, WantsAny(wanted, kLinks, 4)});
    if (WantsAny(wanted, kLinks, 4)) {
      values[kLinks].number = counts.WebCount + counts.MailCount + counts.InternalCount;
      values[kWebLinks].number = counts.WebCount;
      values[kMailLinks].number = counts.MailCount;
      values[kInternalLinks].number = counts.InternalCount;
    }
    values[kBrokenLink].text = std::move(broken_link);
  }
  if (wanted[kTextSize]) values[kTextSize].number = MeasureTextSize(document);
  if (wanted[kNoindex]) values[kNoindex].text = NoindexShown(document, shown_bytes, shown_decoded);
  return values;
}

}  // namespace

FieldValues ComputeFields(std::string_view document, std::string_view folder, FieldSet wanted,
                          const TargetCheck& exists) {
  return ComputeFieldsUpTo(document, folder, wanted, exists, kWholeText, kWholeText);
}

FieldValues ComputeFieldsForBuffer(std::string_view document, std::string_view folder,
                                   FieldSet wanted, int max_len, const TargetCheck& exists) {
  return ComputeFieldsUpTo(document, folder, wanted, exists, RawBytesShown(max_len),
                           max_len < 1 ? 0 : static_cast<std::size_t>(max_len) - 1);
}

std::string DeliveredText(std::string_view raw, int max_len) {
  std::string text = DecodeEntities(raw);
  const std::size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  if (max_len > 0 && text.size() > static_cast<std::size_t>(max_len) - 1) {
    text.resize(static_cast<std::size_t>(max_len) - 1);
  }
  return text;
}

int DeliverField(int index, const RawFieldValue& value, void* destination, int max_len) {
  const int type = FieldTable[index].type;
  if (type == FieldTypeNumeric32) {
    static_assert(std::endian::native == std::endian::little, "hosts expect little-endian");
    std::memcpy(destination, &value.number, sizeof value.number);
    return type;
  }
  // Only the raw bytes that the buffer can show are decoded.
  const std::string_view raw = std::string_view(value.text).substr(0, RawBytesShown(max_len));
  const std::string decoded = DecodeEntities(raw);
  CopyToBuffer(static_cast<char*>(destination), decoded.c_str(), max_len);
  return type;
}

}  // namespace pagefields
