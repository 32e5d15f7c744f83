#pragma once

// The writers behind MakePageWriter, one per format, and the value text they share.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/code_page.h"
#include "cli/output_format.h"

namespace pagefields::cli {

// What every writer holds: the columns to show, the code page and the stream.
class ColumnWriter : public PageWriter {
 protected:
  ColumnWriter(std::vector<int> columns, const CodePage* code_page, std::FILE* out)
      : columns_(std::move(columns)), code_page_(code_page), out_(out) {}

  // Row `row`'s value as text: a number in decimal, a string through the code page into
  // UTF-8 (unchanged without one). Nothing is escaped yet.
  std::string ValueText(int row, const RawFieldValue& value) const;
  // Appends a numeric row's value in decimal.
  static void AppendNumber(std::string& out, std::int32_t number);

  // Writes `line` and a line break.
  void WriteLine(std::string_view line) const;

  const std::vector<int> columns_;
  const CodePage* const code_page_;
  std::FILE* const out_;
};

std::unique_ptr<PageWriter> MakeTableWriter(std::vector<int> columns, const CodePage* code_page,
                                            std::FILE* out);
std::unique_ptr<PageWriter> MakeTsvWriter(std::vector<int> columns, const CodePage* code_page,
                                          std::FILE* out);
std::unique_ptr<PageWriter> MakeCsvWriter(std::vector<int> columns, const CodePage* code_page,
                                          std::FILE* out);
std::unique_ptr<PageWriter> MakeJsonlWriter(std::vector<int> columns, const CodePage* code_page,
                                            std::FILE* out);

}  // namespace pagefields::cli
