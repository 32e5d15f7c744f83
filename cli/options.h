#pragma once

#include <string>
#include <variant>
#include <vector>

#include "cli/output_format.h"

namespace pagefields::cli {

// What one run of the program was asked to do.
struct Options {
  std::vector<std::string> paths;
  OutputFormat format = OutputFormat::kTsv;
  bool raw = false;          // tsv only: text bytes as they are, no code-page conversion
  std::vector<int> columns;  // FieldTable rows to show, in the order given
  int code_page = 1251;
  int max_len = 0;  // host buffer size whose cut the values get; 0: no cut
  int jobs = 1;
  bool all_files = false;
  bool quiet = false;
  bool fail_on_broken = false;
};

// What the program knows of its surroundings before it reads any file.
struct Environment {
  bool stdout_is_terminal = false;
  unsigned cores = 1;
};

// The options of the command line, or the exit code to end with at once: 0 after --help or
// --version, 2 after a usage error (its message already written to standard error).
std::variant<Options, int> ParseArguments(int argc, char** argv, const Environment& environment);

}  // namespace pagefields::cli
