#pragma once

// The writers behind MakePageWriter, one per format, and the value text they share.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/code_page.h"
#include "cli/output_format.h"

namespace pagefields::cli {

// Row `row`'s value as text: a number in decimal, a string through `code_page` into UTF-8
// (unchanged when `code_page` is null). Nothing is escaped yet.
std::string ValueText(int row, const RawFieldValue& value, const CodePage* code_page);

std::unique_ptr<PageWriter> MakeTableWriter(std::vector<int> columns, const CodePage* code_page,
                                            std::FILE* out);
std::unique_ptr<PageWriter> MakeTsvWriter(std::vector<int> columns, const CodePage* code_page,
                                          std::FILE* out);
std::unique_ptr<PageWriter> MakeCsvWriter(std::vector<int> columns, const CodePage* code_page,
                                          std::FILE* out);
std::unique_ptr<PageWriter> MakeJsonlWriter(std::vector<int> columns, const CodePage* code_page,
                                            std::FILE* out);

}  // namespace pagefields::cli
