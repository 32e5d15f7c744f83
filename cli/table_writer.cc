// table: the pages gathered, then written with every column as wide as its widest cell.
#include <algorithm>

#include "cli/line_escape.h"
#include "cli/page_writers.h"

namespace pagefields::cli {
namespace {

class TableWriter : public ColumnWriter {
 public:
  TableWriter(std::vector<Field> columns, const TextForm& form, std::FILE* out)
      : ColumnWriter(std::move(columns), form, out) {
    std::vector<std::string> header{kFileColumn};
    for (const Field row : columns_) header.emplace_back(RowOf(row).name);
    lines_.push_back(std::move(header));
  }

  void Page(const std::string& path, const FieldValues& values) override {
    std::vector<std::string> cells{EscapeForLine(form_.PathText(path))};
    for (const Field row : columns_) {
      cells.push_back(EscapeForLine(ValueText(row, values[row])));
    }
    lines_.push_back(std::move(cells));
  }

  void Finish() override {
    std::vector<std::size_t> widths(columns_.size() + 1, 0);
    for (const auto& cells : lines_) {
      for (std::size_t i = 0; i < cells.size(); ++i) {
        widths[i] = std::max(widths[i], DisplayWidth(cells[i]));
      }
    }
    for (const auto& cells : lines_) WriteAligned(cells, widths);
  }

 private:
  // Numbers stand right-aligned under their name, text left-aligned; two spaces between
  // columns. Blanks at the end of a line are dropped.
  void WriteAligned(const std::vector<std::string>& cells, const std::vector<std::size_t>& widths) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      const std::string padding(widths[i] - DisplayWidth(cells[i]), ' ');
      if (i > 0) line += "  ";
      if (i > 0 && RowOf(columns_[i - 1]).type == FieldTypeNumeric32) {
        line += padding + cells[i];
      } else {
        line += cells[i] + padding;
      }
    }
    line.erase(line.find_last_not_of(' ') + 1);
    WriteLine(std::move(line));
  }

  std::vector<std::vector<std::string>> lines_;  // the header, then one line per page
};

}  // namespace

std::unique_ptr<PageWriter> MakeTableWriter(std::vector<Field> columns, const TextForm& form,
                                            std::FILE* out) {
  return std::make_unique<TableWriter>(std::move(columns), form, out);
}

}  // namespace pagefields::cli
