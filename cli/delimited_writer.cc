// tsv and csv: a header line of the names, then one line of values per page.
#include <string_view>

#include "cli/line_escape.h"
#include "cli/page_writers.h"

namespace pagefields::cli {
namespace {

// A field of a csv line, quoted as RFC 4180 asks when it holds a comma or a quote.
// Escaping has already removed line breaks.
std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (const char byte : text) {
    if (byte == '"') quoted += '"';
    quoted += byte;
  }
  quoted += '"';
  return quoted;
}

std::string TsvField(std::string_view text) {
  return std::string(text);
}

class DelimitedWriter : public ColumnWriter {
 public:
  using Field = std::string (*)(std::string_view);

  DelimitedWriter(char separator, Field field, std::vector<int> columns, const CodePage* code_page,
                  std::FILE* out)
      : ColumnWriter(std::move(columns), code_page, out), separator_(separator), field_(field) {
    std::string header = field_(kFileColumn);
    for (const int row : columns_) {
      header += separator_;
      header += field_(FieldTable[row].name);
    }
    WriteLine(std::move(header));
  }

  void Page(const std::string& path, const FieldValues& values) override {
    std::string line = field_(EscapeForLine(path));
    for (const int row : columns_) {
      line += separator_;
      line += field_(EscapeForLine(ValueText(row, values[row])));
    }
    WriteLine(std::move(line));
  }

 private:
  char separator_;
  Field field_;
};

}  // namespace

std::unique_ptr<PageWriter> MakeTsvWriter(std::vector<int> columns, const CodePage* code_page,
                                          std::FILE* out) {
  return std::make_unique<DelimitedWriter>('\t', TsvField, std::move(columns), code_page, out);
}

std::unique_ptr<PageWriter> MakeCsvWriter(std::vector<int> columns, const CodePage* code_page,
                                          std::FILE* out) {
  return std::make_unique<DelimitedWriter>(',', CsvField, std::move(columns), code_page, out);
}

}  // namespace pagefields::cli
