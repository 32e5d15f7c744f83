// tsv and csv: a header line of the names, then one line of values per page.
#include <string_view>

#include "cli/line_text.h"
#include "cli/page_writers.h"

namespace pagefields::cli {
namespace {

// Appends a field of a csv line, quoted as RFC 4180 asks when it holds a comma or a quote.
// Escaping has already removed line breaks.
void AppendCsvField(std::string& line, std::string_view text) {
  if (text.find_first_of(",\"") == std::string_view::npos) {
    line.append(text);
    return;
  }
  line += '"';
  for (const char byte : text) {
    if (byte == '"') line += '"';
    line += byte;
  }
  line += '"';
}

class DelimitedWriter : public ColumnWriter {
 public:
  DelimitedWriter(char separator, bool csv, std::vector<int> columns, const CodePage* code_page,
                  std::FILE* out)
      : ColumnWriter(std::move(columns), code_page, out),
        separator_(separator),
        csv_(csv),
        path_text_(nullptr),
        value_text_(code_page) {
    AppendField(path_text_, kFileColumn);
    for (const int row : columns_) {
      line_ += separator_;
      AppendField(path_text_, FieldTable[row].name);
    }
    WriteLine(line_);
  }

  void Page(const std::string& path, const FieldValues& values) override {
    line_.clear();
    AppendField(path_text_, path);
    for (const int row : columns_) {
      line_ += separator_;
      if (FieldTable[row].type == FieldTypeNumeric32) {
        AppendNumber(line_, values[row].number);
      } else {
        AppendField(value_text_, values[row].text);
      }
    }
    WriteLine(line_);
  }

 private:
  // Appends `bytes` as `text` gives them, quoted in csv.
  void AppendField(const LineText& text, std::string_view bytes) {
    if (!csv_) {
      text.Append(line_, bytes);
      return;
    }
    escaped_.clear();
    text.Append(escaped_, bytes);
    AppendCsvField(line_, escaped_);
  }

  char separator_;
  bool csv_;
  const LineText path_text_;   // paths keep their bytes
  const LineText value_text_;  // values go through the code page
  // Reused from page to page: the line, and a csv field before its quoting.
  std::string line_;
  std::string escaped_;
};

}  // namespace

std::unique_ptr<PageWriter> MakeTsvWriter(std::vector<int> columns, const CodePage* code_page,
                                          std::FILE* out) {
  return std::make_unique<DelimitedWriter>('\t', false, std::move(columns), code_page, out);
}

std::unique_ptr<PageWriter> MakeCsvWriter(std::vector<int> columns, const CodePage* code_page,
                                          std::FILE* out) {
  return std::make_unique<DelimitedWriter>(',', true, std::move(columns), code_page, out);
}

}  // namespace pagefields::cli
