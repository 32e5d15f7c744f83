#include "cli/link_writer.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <vector>

#include "cli/line_escape.h"
#include "cli/line_text.h"
#include "text/utf8.h"

namespace pagefields::cli {
namespace {

using Cells = std::array<std::string, 4>;

void WriteLine(std::FILE* out, std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), out);
  std::fputc('\n', out);
}

// tsv and csv: a header line, then each link's four cells, escaped (and quoted in csv).
class DelimitedLinkWriter : public LinkWriter {
 public:
  DelimitedLinkWriter(bool csv, const TextForm& form, std::FILE* out)
      : csv_(csv), form_(form), out_(out) {
    Write({kFileColumn, kLinkColumns[0], kLinkColumns[1], kLinkColumns[2]});
  }

  void Link(const std::string& page, const FoundMissingLink& link) override {
    Write({form_.PathText(page), link.written, link.probed, form_.PathText(link.asked)});
  }

 private:
  void Write(const Cells& cells) {
    line_.clear();
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) line_ += csv_ ? ',' : '\t';
      if (!csv_) {
        line_text_.Append(line_, cells[i]);
        continue;
      }
      escaped_.clear();
      line_text_.Append(escaped_, cells[i]);
      AppendCsvField(line_, escaped_);
    }
    WriteLine(out_, line_);
  }

  bool csv_;
  TextForm form_;
  std::FILE* out_;
  const LineText line_text_;
  std::string line_;
  std::string escaped_;
};

class JsonlLinkWriter : public LinkWriter {
 public:
  JsonlLinkWriter(const TextForm& form, std::FILE* out) : form_(form), out_(out) {}

  void Link(const std::string& page, const FoundMissingLink& link) override {
    nlohmann::ordered_json line;
    line[kFileColumn] = form_.PathText(page);
    if (!IsUtf8(page)) line["File_bytes"] = HexBytes(page);
    line[kLinkColumns[0]] = link.written;
    line[kLinkColumns[1]] = link.probed;
    line[kLinkColumns[2]] = form_.PathText(link.asked);
    if (!IsUtf8(link.asked)) line["Path_bytes"] = HexBytes(link.asked);
    WriteLine(out_, line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
  }

 private:
  TextForm form_;
  std::FILE* out_;
};

// table: every column as wide as its widest cell, two spaces between columns.
class TableLinkWriter : public LinkWriter {
 public:
  TableLinkWriter(const TextForm& form, std::FILE* out) : form_(form), out_(out) {
    lines_.push_back({kFileColumn, kLinkColumns[0], kLinkColumns[1], kLinkColumns[2]});
  }

  void Link(const std::string& page, const FoundMissingLink& link) override {
    lines_.push_back({EscapeForLine(form_.PathText(page)), EscapeForLine(link.written),
                      EscapeForLine(link.probed), EscapeForLine(form_.PathText(link.asked))});
  }

  void Finish() override {
    std::array<std::size_t, 4> widths{};
    for (const Cells& cells : lines_) {
      for (std::size_t i = 0; i < cells.size(); ++i) {
        widths[i] = std::max(widths[i], DisplayWidth(cells[i]));
      }
    }
    for (const Cells& cells : lines_) {
      std::string line;
      for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) line += "  ";
        line += cells[i] + std::string(widths[i] - DisplayWidth(cells[i]), ' ');
      }
      line.erase(line.find_last_not_of(' ') + 1);
      WriteLine(out_, line);
    }
  }

 private:
  TextForm form_;
  std::FILE* out_;
  std::vector<Cells> lines_;  // the header, then one line per link
};

}  // namespace

std::unique_ptr<LinkWriter> MakeLinkWriter(OutputFormat format, const TextForm& form,
                                           std::FILE* out) {
  switch (format) {
    case OutputFormat::kTable:
      return std::make_unique<TableLinkWriter>(form, out);
    case OutputFormat::kCsv:
      return std::make_unique<DelimitedLinkWriter>(true, form, out);
    case OutputFormat::kJsonl:
      return std::make_unique<JsonlLinkWriter>(form, out);
    case OutputFormat::kTsv:
    case OutputFormat::kHtml:  // refused with --broken-links
      break;
  }
  return std::make_unique<DelimitedLinkWriter>(false, form, out);
}

}  // namespace pagefields::cli
