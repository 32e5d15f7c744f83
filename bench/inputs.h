#pragma once

#include <string>
#include <vector>

namespace pagefields::bench {

// One generated document: a family name, its size class and its bytes.
struct Input {
  std::string family;
  std::string size_label;
  bool hostile = false;
  std::string bytes;
};

// Realistic pages of about 100 KB and 8 MiB, and every hostile family at 1, 2, 4 and 8 MiB.
std::vector<Input> MakeInputs();

}  // namespace pagefields::bench
