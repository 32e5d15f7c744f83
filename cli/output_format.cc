#include "cli/output_format.h"

#include "cli/page_writers.h"

namespace pagefields::cli {

std::string ColumnWriter::ValueText(int row, const RawFieldValue& value) const {
  if (FieldTable[row].type == FieldTypeNumeric32) return std::to_string(value.number);
  return code_page_ != nullptr ? code_page_->ToUtf8(value.text) : value.text;
}

void ColumnWriter::WriteLine(std::string line) const {
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), out_);
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
