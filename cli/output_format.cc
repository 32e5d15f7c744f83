#include "cli/output_format.h"

#include "cli/page_writers.h"

namespace pagefields::cli {

std::string ValueText(int row, const RawFieldValue& value, const CodePage* code_page) {
  if (FieldTable[row].type == FieldTypeNumeric32) return std::to_string(value.number);
  return code_page != nullptr ? code_page->ToUtf8(value.text) : value.text;
}

std::unique_ptr<PageWriter> MakePageWriter(OutputFormat format, std::vector<int> columns,
                                           const CodePage* code_page, std::FILE* out) {
  switch (format) {
    case OutputFormat::kTable:
      return MakeTableWriter(std::move(columns), code_page, out);
    case OutputFormat::kCsv:
      return MakeCsvWriter(std::move(columns), code_page, out);
    case OutputFormat::kJsonl:
      return MakeJsonlWriter(std::move(columns), code_page, out);
    case OutputFormat::kTsv:
      break;
  }
  return MakeTsvWriter(std::move(columns), code_page, out);
}

}  // namespace pagefields::cli
