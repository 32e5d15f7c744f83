// tsv and csv: a header line of the names, then one line of values per page.
#include <string_view>

#include "cli/line_escape.h"
#include "cli/line_text.h"
#include "cli/page_writers.h"

namespace pagefields::cli {
namespace {

class DelimitedWriter : public ColumnWriter {
 public:
  DelimitedWriter(char separator, bool csv, std::vector<Field> columns, const TextForm& form,
                  std::FILE* out)
      : ColumnWriter(std::move(columns), form, out),
        separator_(separator),
        csv_(csv),
        line_text_() {
    AppendField(kFileColumn);
    for (const Field row : columns_) {
      line_ += separator_;
      AppendField(RowOf(row).name);
    }
    WriteLine(line_);
  }

  void Page(const std::string& path, const FieldValues& values) override {
    line_.clear();
    AppendField(form_.PathText(path));
    for (const Field row : columns_) {
      line_ += separator_;
      if (RowOf(row).type == FieldTypeNumeric32) {
        AppendNumber(line_, values[row].number);
      } else {
        AppendField(values[row].text);
      }
    }
    WriteLine(line_);
  }

 private:
  // Appends `bytes` escaped, and quoted in csv.
  void AppendField(std::string_view bytes) {
    if (!csv_) {
      line_text_.Append(line_, bytes);
      return;
    }
    escaped_.clear();
    line_text_.Append(escaped_, bytes);
    AppendCsvField(line_, escaped_);
  }

  char separator_;
  bool csv_;
  const LineText line_text_;
  // Reused from page to page: the line, and a csv field before its quoting.
  std::string line_;
  std::string escaped_;
};

}  // namespace

std::unique_ptr<PageWriter> MakeTsvWriter(std::vector<Field> columns, const TextForm& form,
                                          std::FILE* out) {
  return std::make_unique<DelimitedWriter>('\t', false, std::move(columns), form, out);
}

std::unique_ptr<PageWriter> MakeCsvWriter(std::vector<Field> columns, const TextForm& form,
                                          std::FILE* out) {
  return std::make_unique<DelimitedWriter>(',', true, std::move(columns), form, out);
}

}  // namespace pagefields::cli
