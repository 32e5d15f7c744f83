#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/code_page.h"
#include "plugin/field_values.h"

namespace pagefields::cli {

enum class OutputFormat { kTable, kTsv, kCsv, kJsonl, kHtml };

// The first column of every format names the file.
inline constexpr const char* kFileColumn = "File";

// Writes one line per page. Pages arrive in output order; string rows of `values` hold the
// text a host buffer receives (still in the page's code page).
class PageWriter {
 public:
  virtual ~PageWriter() = default;
  virtual void Page(const std::string& path, const FieldValues& values) = 0;
  // Called once after the last page.
  virtual void Finish() {}
};

// A writer of `format` showing the FieldTable rows `columns` on `out`. The values' text is
// written as it was delivered, the paths in the form `form` gives them. jsonl always shows
// paths in UTF-8 and keeps the bytes of one that is not UTF-8 under "File_bytes".
std::unique_ptr<PageWriter> MakePageWriter(OutputFormat format, std::vector<Field> columns,
                                           const TextForm& form, std::FILE* out);

}  // namespace pagefields::cli
