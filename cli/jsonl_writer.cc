// jsonl: one JSON object per page, keyed by the field names, numbers as numbers.
#include <nlohmann/json.hpp>

#include "cli/line_escape.h"
#include "cli/page_writers.h"

namespace pagefields::cli {
namespace {

constexpr const char* kFileBytesKey = "File_bytes";

class JsonlWriter : public ColumnWriter {
 public:
  JsonlWriter(std::vector<Field> columns, const TextForm& form, std::FILE* out)
      : ColumnWriter(std::move(columns), form, out) {}

  void Page(const std::string& path, const FieldValues& values) override {
    nlohmann::ordered_json page;
    // A path that is not UTF-8 is named for people in UTF-8, decoded as text is, and for
    // programs by its exact bytes in hexadecimal.
    page[kFileColumn] = form_.PathText(path);
    if (!IsUtf8(path)) page[kFileBytesKey] = HexBytes(path);
    for (const Field row : columns_) {
      const std::string name(RowOf(row).name);
      if (RowOf(row).type == FieldTypeNumeric32) {
        page[name] = values[row].number;
      } else {
        page[name] = ValueText(row, values[row]);
      }
    }
    // JSON escapes control characters itself; every text is UTF-8 by now.
    WriteLine(page.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
  }
};

}  // namespace

std::unique_ptr<PageWriter> MakeJsonlWriter(std::vector<Field> columns, const TextForm& form,
                                            std::FILE* out) {
  return std::make_unique<JsonlWriter>(std::move(columns), form, out);
}

}  // namespace pagefields::cli
