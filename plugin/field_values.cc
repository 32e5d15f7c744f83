#include "plugin/field_values.h"

#include <algorithm>
#include <utility>

#include "extract/element_text.h"
#include "extract/links.h"
#include "extract/meta_content.h"
#include "extract/noindex.h"
#include "extract/text_size.h"
#include "extract/word_count.h"
#include "plugin/delivery.h"
#include "plugin/entities.h"
#include "text/utf8.h"

namespace pagefields {
namespace {

// A text row with its length row and its word-count row.
struct TextTriple {
  Field text;
  Field length;
  Field words;

  FieldSet All() const { return {text, length, words}; }
};

constexpr TextTriple kTitleTriple{Field::kTitle, Field::kTitleLength, Field::kTitleWords};
constexpr TextTriple kDescriptionTriple{Field::kDescription, Field::kDescriptionLength,
                                        Field::kDescriptionWords};
constexpr TextTriple kKeywordsTriple{Field::kKeywords, Field::kKeywordsLength,
                                     Field::kKeywordsWords};
constexpr FieldSet kLinkCounts{Field::kLinks, Field::kWebLinks, Field::kMailLinks,
                               Field::kInternalLinks};

bool IsUtf8UpToNul(std::string_view text) {
  return IsUtf8(text.substr(0, text.find('\0')));
}

RawFieldValue TextValue(std::string_view text, std::size_t shown_bytes) {
  return {0, std::string(text.substr(0, shown_bytes)), IsUtf8UpToNul(text)};
}

// Fills a text row, its length row and its word-count row from one extractor result; the
// text row keeps only the bytes its delivery can show.
void FillTextTriple(FieldValues& values, FieldSet wanted, const TextTriple& rows,
                    std::string_view text, std::size_t shown_bytes) {
  if (wanted.Has(rows.length)) values[rows.length].number = static_cast<std::int32_t>(text.size());
  if (wanted.Has(rows.words)) values[rows.words].number = CountWords(text);
  if (wanted.Has(rows.text)) values[rows.text] = TextValue(text, shown_bytes);
}

// The same for a meta row, whose value is the normalised form of its raw bytes. Blanks, CR
// and LF all separate words, so the raw bytes hold the value's words.
void FillMetaTriple(FieldValues& values, FieldSet wanted, const TextTriple& rows,
                    std::string_view raw, std::size_t shown_bytes) {
  if (wanted.Has(rows.length)) {
    values[rows.length].number = static_cast<std::int32_t>(NormalisedLength(raw));
  }
  if (wanted.Has(rows.words)) values[rows.words].number = CountWords(raw);
  if (wanted.Has(rows.text)) {
    values[rows.text].text = NormaliseBlanks(raw, shown_bytes);
    // Normalising turns each run of blanks, CR and LF into one blank and keeps every other
    // byte, NUL included, where it stands among the others: it cannot make or break UTF-8.
    values[rows.text].utf8 = IsUtf8UpToNul(raw);
  }
}

// The Noindex text's first `shown_bytes` raw bytes, or fewer that settle the first
// `shown_decoded` decoded bytes; `whole` tells whether that is all of the text. Pages hold
// few entities, so a cut at one and a half times the decoded count mostly settles them (it
// does while fewer than one raw byte in eighteen starts an entity) at a small part of the
// cost of a cut for a text of entities only; that cut is taken when it does not.
std::string NoindexShown(std::string_view document, std::size_t shown_bytes,
                         std::size_t shown_decoded, bool& whole) {
  const std::size_t first_cut = shown_decoded + shown_decoded / 2 + 6;
  // An extraction gives fewer bytes than its cut only when the text ends before it.
  const auto extract = [&](std::size_t cut) {
    std::string text = ExtractNoindexText(document, cut);
    whole = text.size() < cut;
    return text;
  };
  if (shown_bytes == kWholeText || first_cut >= shown_bytes) return extract(shown_bytes);
  std::string text = extract(first_cut);
  if (whole || SettledDecodedBytes(text) >= shown_decoded) return text;
  return extract(shown_bytes);
}

// How much of a page's start is looked at for a byte above 127 before its Noindex text is
// taken. Pages that are not ASCII mostly show one early, in their title or first lines.
constexpr std::size_t kAsciiPeekBytes = 4096;

// The Noindex row. Whether the whole text is UTF-8 is asked only when `judge_utf8`, on its
// first kNoindexJudgedBytes. A text cut shorter than that is judged from a longer cut, unless
// the page is ASCII, which makes every text of it UTF-8.
RawFieldValue NoindexValue(std::string_view document, std::size_t shown_bytes,
                           std::size_t shown_decoded, bool judge_utf8) {
  RawFieldValue value;
  // One byte past the bound tells a text cut there from one that ends there.
  constexpr std::size_t kJudgedCut = kNoindexJudgedBytes + 1;
  const bool cut_short = judge_utf8 && shown_bytes <= kNoindexJudgedBytes;
  const std::size_t peeked = std::min(document.size(), kAsciiPeekBytes);
  if (cut_short && !IsAscii(document.substr(0, peeked))) {
    value.text = ExtractNoindexText(document, kJudgedCut);
  } else {
    bool whole = false;
    value.text = NoindexShown(document, shown_bytes, shown_decoded, whole);
    if (cut_short && !whole) {
      if (IsAscii(document.substr(peeked))) {
        value.utf8 = true;
        return value;
      }
      value.text = ExtractNoindexText(document, kJudgedCut);
    }
  }
  if (!judge_utf8) return value;
  std::string_view judged = value.text;
  judged = judged.substr(0, judged.find('\0'));
  // A text cut at the bound may end inside a character that goes on behind it.
  if (judged.size() > kNoindexJudgedBytes) {
    judged = judged.substr(0, kNoindexJudgedBytes);
    judged = judged.substr(0, WholeCharactersLength(judged));
  }
  // Most texts are ASCII, which a block read tells at once.
  value.utf8 = IsAscii(judged) || IsUtf8(judged);
  return value;
}

// `shown_decoded`: the delivered bytes that `shown_bytes` raw bytes give at least.
FieldValues ComputeFieldsUpTo(std::string_view document, std::string_view folder, FieldSet wanted,
                              const TargetCheck& exists, const MissingLinkSink& every_missing,
                              std::size_t shown_bytes, std::size_t shown_decoded, bool judge_utf8) {
  FieldValues values{};
  if (wanted.HasAny(kTitleTriple.All())) {
    FillTextTriple(values, wanted, kTitleTriple, ElementTextView(document, "Title"), shown_bytes);
  }
  if (wanted.HasAny(kDescriptionTriple.All())) {
    FillMetaTriple(values, wanted, kDescriptionTriple, MetaContentView(document, "Description"),
                   shown_bytes);
  }
  if (wanted.HasAny(kKeywordsTriple.All())) {
    FillMetaTriple(values, wanted, kKeywordsTriple, MetaContentView(document, "Keywords"),
                   shown_bytes);
  }
  if (wanted.Has(Field::kH1)) {
    values[Field::kH1] = TextValue(ElementTextView(document, "H1"), shown_bytes);
  }
  if (wanted.Has(Field::kH2)) {
    values[Field::kH2] = TextValue(ElementTextView(document, "H2"), shown_bytes);
  }
  const bool wants_counts = wanted.HasAny(kLinkCounts);
  if (wants_counts || wanted.Has(Field::kBrokenLink)) {
    // Counting only, or the probe that also counts every link when the counts are wanted.
    LinkCounts counts;
    std::string broken_link;
    ScanLinks(folder, document, counts, broken_link,
              {.probe = wanted.Has(Field::kBrokenLink),
               .exists = exists,
               .count_all = wants_counts,
               .every_missing = every_missing});
    if (wants_counts) {
      values[Field::kLinks].number = counts.WebCount + counts.MailCount + counts.InternalCount;
      values[Field::kWebLinks].number = counts.WebCount;
      values[Field::kMailLinks].number = counts.MailCount;
      values[Field::kInternalLinks].number = counts.InternalCount;
    }
    values[Field::kBrokenLink].utf8 = IsUtf8UpToNul(broken_link);
    values[Field::kBrokenLink].text = std::move(broken_link);
  }
  if (wanted.Has(Field::kTextSize)) values[Field::kTextSize].number = MeasureTextSize(document);
  if (wanted.Has(Field::kNoindex)) {
    values[Field::kNoindex] = NoindexValue(document, shown_bytes, shown_decoded, judge_utf8);
  }
  return values;
}

}  // namespace

FieldValues ComputeFields(std::string_view document, std::string_view folder, FieldSet wanted,
                          const TargetCheck& exists) {
  return ComputeFieldsUpTo(document, folder, wanted, exists, nullptr, kWholeText, kWholeText, true);
}

FieldValues ComputeFieldsForBuffer(std::string_view document, std::string_view folder,
                                   FieldSet wanted, int max_len, const TextDelivery& delivery,
                                   const TargetCheck& exists,
                                   const MissingLinkSink& every_missing) {
  // One delivered byte more than the buffer holds: a UTF-8 cut looks at the byte behind it.
  return ComputeFieldsUpTo(
      document, folder, wanted, exists, every_missing, RawBytesForBuffer(max_len),
      max_len < 1 ? 0 : static_cast<std::size_t>(max_len), delivery.judges_utf8());
}

}  // namespace pagefields
