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

// What every writer holds: the columns to show, the form of the text and the stream.
class ColumnWriter : public PageWriter {
 protected:
  ColumnWriter(std::vector<Field> columns, const TextForm& form, std::FILE* out)
      : columns_(std::move(columns)), form_(form), out_(out) {}

  // Row `row`'s value as text: a number in decimal, a string as it was delivered. Nothing is
  // escaped yet.
  static std::string ValueText(Field row, const RawFieldValue& value);
  // Appends a numeric row's value in decimal.
  static void AppendNumber(std::string& out, std::int32_t number);

  // Writes `line` and a line break.
  void WriteLine(std::string_view line) const;

  const std::vector<Field> columns_;
  const TextForm form_;
  std::FILE* const out_;
};

std::unique_ptr<PageWriter> MakeTableWriter(std::vector<Field> columns, const TextForm& form,
                                            std::FILE* out);
std::unique_ptr<PageWriter> MakeTsvWriter(std::vector<Field> columns, const TextForm& form,
                                          std::FILE* out);
std::unique_ptr<PageWriter> MakeCsvWriter(std::vector<Field> columns, const TextForm& form,
                                          std::FILE* out);
std::unique_ptr<PageWriter> MakeJsonlWriter(std::vector<Field> columns, const TextForm& form,
                                            std::FILE* out);

}  // namespace pagefields::cli
