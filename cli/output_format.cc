#include "cli/output_format.h"

#include <charconv>

#include "cli/page_writers.h"

namespace pagefields::cli {

std::string ColumnWriter::ValueText(Field row, const RawFieldValue& value) {
  if (RowOf(row).type != FieldTypeNumeric32) return value.text;
  std::string text;
  AppendNumber(text, value.number);
  return text;
}

void ColumnWriter::AppendNumber(std::string& out, std::int32_t number) {
  char digits[16];
  const auto [end, error] = std::to_chars(digits, digits + sizeof digits, number);
  out.append(digits, end);
}

void ColumnWriter::WriteLine(std::string_view line) const {
  std::fwrite(line.data(), 1, line.size(), out_);
  std::fputc('\n', out_);
}

std::unique_ptr<PageWriter> MakePageWriter(OutputFormat format, std::vector<Field> columns,
                                           const TextForm& form, std::FILE* out) {
  switch (format) {
    case OutputFormat::kTable:
      return MakeTableWriter(std::move(columns), form, out);
    case OutputFormat::kCsv:
      return MakeCsvWriter(std::move(columns), form, out);
    case OutputFormat::kJsonl:
      return MakeJsonlWriter(std::move(columns), form, out);
    case OutputFormat::kTsv:
    case OutputFormat::kHtml:  // MakeHtmlWriter, with the summary
      break;
  }
  return MakeTsvWriter(std::move(columns), form, out);
}

}  // namespace pagefields::cli
