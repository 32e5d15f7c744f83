// jsonl: one JSON object per page, keyed by the field names, numbers as numbers.
#include <nlohmann/json.hpp>

#include "cli/page_writers.h"

namespace pagefields::cli {
namespace {

class JsonlWriter : public ColumnWriter {
 public:
  JsonlWriter(std::vector<int> columns, const CodePage* code_page, std::FILE* out)
      : ColumnWriter(std::move(columns), code_page, out) {}

  void Page(const std::string& path, const FieldValues& values) override {
    nlohmann::ordered_json page;
    page[kFileColumn] = path;
    for (const int row : columns_) {
      const std::string name(FieldTable[row].name);
      if (FieldTable[row].type == FieldTypeNumeric32) {
        page[name] = values[row].number;
      } else {
        page[name] = ValueText(row, values[row]);
      }
    }
    // JSON escapes control characters itself; bytes that are not UTF-8 (only a path can
    // hold them) become U+FFFD.
    WriteLine(page.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
  }
};

}  // namespace

std::unique_ptr<PageWriter> MakeJsonlWriter(std::vector<int> columns, const CodePage* code_page,
                                            std::FILE* out) {
  return std::make_unique<JsonlWriter>(std::move(columns), code_page, out);
}

}  // namespace pagefields::cli
